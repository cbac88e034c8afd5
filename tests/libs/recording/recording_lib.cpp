// A stand-in for both libraries of an older version (KELP_RECORDING_VERSION),
// for the engine's tests of what such a library is and is not handed. Each
// exec call appends one line to the file KELP_RECORD_FILE names: the entry
// and the target folder of an extraction ("-" when none); it returns 0.
#include <cstdio>
#include <cstdlib>

#include "kelp_lib_abi.h"

#ifndef KELP_RECORDING_VERSION
#error "KELP_RECORDING_VERSION must be defined"
#endif

namespace {

int32_t Record(const char* entry, const char* target) {
    const char* path = std::getenv("KELP_RECORD_FILE");
    if (FILE* file = path ? std::fopen(path, "a") : nullptr) {
        std::fprintf(file, "%s %s\n", entry, target ? target : "-");
        std::fclose(file);
    }
    return 0;
}

}  // namespace

extern "C" KELP_LIB_API int32_t GetKZipVersion(void) {
    return KELP_RECORDING_VERSION;
}
extern "C" KELP_LIB_API int32_t GetKUnzipVersion(void) {
    return KELP_RECORDING_VERSION;
}
extern "C" KELP_LIB_API int32_t KZipExec(void*) {
    return Record("KZipExec", nullptr);
}
extern "C" KELP_LIB_API int32_t KUnzipExec(void* params) {
    const bool current = params && KELP_RECORDING_VERSION >= KUNZIP_CURRENT_LAYOUT_VERSION;
    return Record("KUnzipExec",
                  current ? static_cast<KUnzipParams*>(params)->TargetDirText : nullptr);
}
