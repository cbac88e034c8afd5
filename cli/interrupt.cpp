#include "cli/interrupt.h"

#include <csignal>

namespace kelp::cli {

namespace {

engine::ZipEngine* g_running = nullptr;

extern "C" void CancelRunningCall(int) {
    if (g_running) g_running->CancelRequested = true;
}

}  // namespace

InterruptCancels::InterruptCancels(engine::ZipEngine& engine) {
    g_running = &engine;
    previous_ = std::signal(SIGINT, CancelRunningCall);
}

InterruptCancels::~InterruptCancels() {
    std::signal(SIGINT, previous_);
    g_running = nullptr;
}

}  // namespace kelp::cli
