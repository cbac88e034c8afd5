// Runs the window's test action on one archive, the way "Test" does from the
// function panel (process viewer shown, log written and coloured), and prints
// the time it took and how much the process grew. Run by
// bench/window_test_log.sh; usage: kelp-window-test-bench ARCHIVE
#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <fstream>
#include <string>

#include "main_sc.h"

namespace {

// A "VmRSS:" or "VmHWM:" figure of /proc/self/status, in KiB.
long StatusKiB(const std::string& key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(key.size()));
    return 0;
}

}  // namespace

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
    const QStringList log = window.LogLines();
    QCoreApplication::processEvents();
    const qint64 ms = timer.elapsed();

    std::printf("window test: %lld ms, %lld log lines, memory growth %.1f MiB (peak %.1f MiB)\n",
                static_cast<long long>(ms), static_cast<long long>(log.size()),
                (StatusKiB("VmRSS:") - rss) / 1024.0, (StatusKiB("VmHWM:") - peak) / 1024.0);
    std::printf("last line: %s\n", log.isEmpty() ? "" : log.last().toUtf8().constData());
    return 0;
}
