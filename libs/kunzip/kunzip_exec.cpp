// The exported entry points of the decompression library.
#include <exception>

#include "kelp_lib_abi.h"
#include "repair_batch.h"
#include "unzip_batch.h"
#include "unzip_request.h"

namespace {

constexpr int32_t kVersion = 190;

}  // namespace

extern "C" KELP_LIB_API int32_t GetKUnzipVersion(void) {
    return kVersion;
}

extern "C" KELP_LIB_API int32_t KUnzipExec(void* params) {
    // Nothing may escape into the caller: any failure ends the call with
    // the members done so far.
    try {
        auto request = kelp::kunzip::ReadRequest(params);
        if (!request) return 0;
        if (!request->repairTarget.empty()) return kelp::kunzip::RunRepair(*request);
        kelp::kunzip::UnzipBatch batch(*request);
        return batch.Run();
    } catch (const std::exception&) {
        return 0;
    } catch (...) {
        return 0;
    }
}
