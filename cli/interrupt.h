// While an object of this class lives, Ctrl+C asks the engine's running
// library call to stop (the library sees it at its next report).
#pragma once

#include "engine/zip_engine.h"

namespace kelp::cli {

class InterruptCancels {
  public:
    explicit InterruptCancels(engine::ZipEngine& engine);
    ~InterruptCancels();
    InterruptCancels(const InterruptCancels&) = delete;
    InterruptCancels& operator=(const InterruptCancels&) = delete;

  private:
    void (*previous_)(int);
};

}  // namespace kelp::cli
