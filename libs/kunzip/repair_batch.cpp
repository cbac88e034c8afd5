#include "repair_batch.h"

#include "archive_salvage.h"
#include "reporter.h"

namespace kelp::kunzip {

int32_t RunRepair(const UnzipRequest& request) {
    Reporter reporter(request.callback, request.engineRef);
    const zip::SalvageResult result = zip::SalvageArchive(
        request.archive, request.repairTarget, [&](std::string_view name, uint64_t size) {
            reporter.FileStart(name, static_cast<int64_t>(size));
            return !reporter.cancelled();
        });
    if (!result.written && !result.error.empty()) {
        const bool stopped = reporter.cancelled();
        reporter.Message(stopped ? kErrCancelled : kErrArchive,
                         stopped ? "Repair of " + request.archive + " stopped; nothing was written"
                                 : "Error found in " + request.archive + ": " + result.error);
        reporter.BatchEnd();
        return 0;
    }
    for (const zip::SalvageLoss& loss : result.lost)
        reporter.Message(loss.reason == "CRC mismatch" ? kErrCrc : kErrData,
                         "Lost: " + loss.name + ": " + loss.reason);
    for (const std::string& name : result.keptUnchecked)
        reporter.Message(kNoError,
                         "Kept unchecked: " + name +
                             ": encrypted, its data cannot be checked without the password");
    if (result.droppedPrefix > 0)
        reporter.Message(kNoError,
                         "Dropped: " + std::to_string(result.droppedPrefix) +
                             " bytes in front of the first member (a self-extractor program "
                             "or other data)");
    reporter.Message(
        kNoError, "Recovered " + std::to_string(result.recovered) + " of " +
                      std::to_string(result.known) + " members" +
                      (result.written ? " into " + request.repairTarget : "; nothing was written"));
    reporter.BatchEnd();
    return static_cast<int32_t>(result.recovered);
}

}  // namespace kelp::kunzip
