// How an operation class reports to the engine's face: messages by id,
// engine errors, and the OnMessage and OnProgress events. Each is optional.
#pragma once

#include <cstdint>
#include <functional>
#include <new>
#include <string>

#include "engine/ezip_engine.h"
#include "engine/message_ids.h"

namespace kelp::engine {

enum ProgressType { ptFileStart, ptBytesDone, ptBatchEnd, ptFileCount, ptByteTotal };

struct JobSink {
    // ShowEngineMessage: message `id` followed by extra text.
    std::function<void(int id, const std::string& extra)> show;
    // ReportEngineError.
    std::function<void(const EZipEngine& error)> reportError;
    // OnMessage with code 0.
    std::function<void(const std::string& text)> message;
    // OnProgress.
    std::function<void(ProgressType type, const std::string& fileName, int64_t size)> progress;

    void Show(int id, const std::string& extra = {}) const {
        if (show) show(id, extra);
    }
    void Message(const std::string& text) const {
        if (message) message(text);
    }
    void Progress(ProgressType type, const std::string& fileName, int64_t size) const {
        if (progress) progress(type, fileName, size);
    }

    // Reports the exception being handled and gives the result code for it:
    // -7 after an engine error, -8 out of memory, -9 anything else.
    int ReportSetFailure() const {
        try {
            throw;
        } catch (const EZipEngine& e) {
            if (reportError) reportError(e);
            return -7;
        } catch (const std::bad_alloc&) {
            Show(MsgId::OutOfMemory);
            return -8;
        } catch (const std::exception& e) {
            Show(MsgId::SpanUnknownError, e.what());
            return -9;
        }
    }
};

}  // namespace kelp::engine
