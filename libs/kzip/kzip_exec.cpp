// The exported entry points of the compression library.
#include <exception>

#include "kelp_lib_abi.h"
#include "zip_batch.h"
#include "zip_request.h"

namespace {

constexpr int32_t kVersion = 190;

}  // namespace

extern "C" KELP_LIB_API int32_t GetKZipVersion(void) {
    return kVersion;
}

extern "C" KELP_LIB_API int32_t KZipExec(void* params) {
    // Nothing may escape into the caller. A failure before the new archive
    // is renamed into place leaves the old one as it was, so it counts 0.
    try {
        auto request = kelp::kzip::ReadRequest(params);
        if (!request) return 0;
        kelp::kzip::ZipBatch batch(*request);
        return batch.Run();
    } catch (const std::exception&) {
        return 0;
    } catch (...) {
        return 0;
    }
}
