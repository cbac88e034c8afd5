// Runs the window's test action on one archive, the way "Test" does from the
// function panel (process viewer shown, log written and coloured), and prints
// the time it took and how much the process grew. Run by
// bench/window_test_log.sh; usage: kelp-window-test-bench ARCHIVE
#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

#include "log_view.h"
#include "main_sc.h"
#include "process_memory.h"
#include "process_viewer.h"

using kelp::bench::StatusKiB;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kelp-window-test-bench ARCHIVE\n");
        return 2;
    }
    kelp::Main_sc window({QString::fromLocal8Bit(argv[1])});
    window.show();
    QCoreApplication::processEvents();
    const long rss = StatusKiB("VmRSS:"), peak = StatusKiB("VmHWM:");

    QElapsedTimer timer;
    timer.start();
    window.Dispatch(kelp::actTest);
    window.FlushLog();
    QCoreApplication::processEvents();
    const qint64 ms = timer.elapsed();

    // Counted in the log as it stands: turning every line into a string to
    // count them would cost more than the window's own work.
    const kelp::LogView& log = *window.Viewer->logView();
    std::printf("window test: %lld ms, %lld log lines, memory growth %.1f MiB (peak %.1f MiB)\n",
                static_cast<long long>(ms), static_cast<long long>(log.lineCount()),
                (StatusKiB("VmRSS:") - rss) / 1024.0, (StatusKiB("VmHWM:") - peak) / 1024.0);
    std::printf("last line: %s\n", log.line(log.lineCount() - 1).toUtf8().constData());
    return 0;
}
