// Opens one archive in the main window the way the command line does (the
// window built with the archive as its argument, shown, and its pending
// events run until the grid is painted) and prints the time that took and
// how much the process grew. Run by bench/open_archive.sh; usage:
// kelp-window-open-bench ARCHIVE
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>

#include "main_sc.h"
#include "process_memory.h"

using kelp::bench::StatusKiB;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kelp-window-open-bench ARCHIVE\n");
        return 2;
    }
    // The window moves the process to the desktop folder.
    const QString archive = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    // Fonts, styles and the platform plugin are loaded before the clock
    // starts: they are the same for any archive.
    { kelp::Main_sc warm({}); }
    QCoreApplication::processEvents();
    const long rss = StatusKiB("VmRSS:");

    QElapsedTimer timer;
    timer.start();
    kelp::Main_sc window({archive});
    window.show();
    QCoreApplication::processEvents();
    const qint64 ms = timer.elapsed();

    std::printf("window open: %lld ms, %d rows, memory growth %.1f MiB (process peak %.1f MiB)\n",
                static_cast<long long>(ms), window.memberGrid->RowCount() - 1,
                (StatusKiB("VmRSS:") - rss) / 1024.0, StatusKiB("VmHWM:") / 1024.0);
    return 0;
}
