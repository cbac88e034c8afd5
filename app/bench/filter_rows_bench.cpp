// Opens one archive in the main window (offscreen) and types into the filter
// field one key at a time, timing each key until the grid is painted again;
// then a pattern and the clearing of the field. Run by bench/filter_rows.sh;
// usage: kelp-filter-rows-bench ARCHIVE TEXT PATTERN
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>

#include <algorithm>
#include <cstdio>

#include "main_sc.h"

namespace {

// Sets the field's text and returns the time until the grid was repainted.
qint64 Timed(kelp::Main_sc& window, const QString& text) {
    QElapsedTimer timer;
    timer.start();
    window.memberFilterEdit->setText(text);
    window.memberGrid->viewport()->repaint();
    QCoreApplication::processEvents();
    return timer.elapsed();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: kelp-filter-rows-bench ARCHIVE TEXT PATTERN\n");
        return 2;
    }
    const QString archive = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString text = QString::fromLocal8Bit(argv[2]), pattern = QString::fromLocal8Bit(argv[3]);
    kelp::Main_sc window({archive});
    window.show();
    QCoreApplication::processEvents();
    const int listed = window.memberGrid->RowCount() - 1;

    qint64 worst = 0;
    for (qsizetype n = 1; n <= text.size(); ++n) {
        const qint64 ms = Timed(window, text.left(n));
        worst = std::max(worst, ms);
        std::printf("key %lld \"%s\": %lld ms, %d of %d rows shown\n", static_cast<long long>(n),
                    qPrintable(text.left(n)), static_cast<long long>(ms),
                    window.memberGrid->RowCount() - 1, listed);
    }
    const qint64 patternMs = Timed(window, pattern);
    std::printf("pattern \"%s\": %lld ms, %d rows shown\n", qPrintable(pattern),
                static_cast<long long>(patternMs), window.memberGrid->RowCount() - 1);
    const qint64 clearMs = Timed(window, QString());
    std::printf("cleared: %lld ms, %d rows shown\n", static_cast<long long>(clearMs),
                window.memberGrid->RowCount() - 1);
    std::printf("slowest key: %lld ms\n",
                static_cast<long long>(std::max({worst, patternMs, clearMs})));
    return 0;
}
