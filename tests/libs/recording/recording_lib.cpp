// A stand-in for both libraries that keeps what the engine hands it.
//
// Each exec call appends to the file named by KELP_RECORD_FILE:
//   "call <entry> <version> <size>\n" + the raw block + "\n"
//   "text <field> <length>\n" + the bytes + "\n"   (one per text the block points to)
//   "null <field>\n"                                (a text pointer that is null)
//   "table <field> <length>\n" + the bytes + "\n"   (the specification table)
// When KELP_RECORD_SCRIPT names a file, each of its lines
// "<action> <number1> <number2> <text>" becomes one callback, after which
//   "callback <result> <action> <number1> <number2> <length>\n" + text + "\n"
// records the record as the engine left it.
// The exec result is KELP_RECORD_RESULT when set, else the specification count.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "kelp_lib_abi.h"

#ifndef KELP_RECORDING_VERSION
#error "KELP_RECORDING_VERSION must be defined"
#endif

namespace {

class Recorder {
  public:
    Recorder() {
        const char* path = std::getenv("KELP_RECORD_FILE");
        if (path) file_ = std::fopen(path, "ab");
    }
    ~Recorder() {
        if (file_) std::fclose(file_);
    }
    void Raw(const char* kind, const char* field, const void* data, size_t size) {
        if (!file_) return;
        std::fprintf(file_, "%s %s %zu\n", kind, field, size);
        if (size) std::fwrite(data, 1, size, file_);
        std::fputc('\n', file_);
    }
    void Text(const std::string& field, const char* text) {
        if (!file_) return;
        if (!text) {
            std::fprintf(file_, "null %s\n", field.c_str());
            return;
        }
        Raw("text", field.c_str(), text, std::strlen(text));
    }
    void Call(const char* entry, const void* block, size_t size) {
        if (!file_) return;
        std::fprintf(file_, "call %s %d %zu\n", entry, KELP_RECORDING_VERSION, size);
        std::fwrite(block, 1, size, file_);
        std::fputc('\n', file_);
    }
    void RunScript(KCallbackFn callback, void* engineRef) {
        const char* path = std::getenv("KELP_RECORD_SCRIPT");
        if (!path || !callback) return;
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) {
            KCallbackRecord r{};
            r.EngineRef = engineRef;
            int used = 0;
            if (std::sscanf(line.c_str(), "%d %d %d %n", &r.Action, &r.Number1, &r.Number2, &used) <
                3)
                continue;
            std::strncpy(r.Text, line.c_str() + used, sizeof(r.Text) - 1);
            int32_t result = callback(&r);
            if (!file_) continue;
            size_t len = strnlen(r.Text, sizeof(r.Text));
            std::fprintf(file_, "callback %d %d %d %d %zu\n", result, r.Action, r.Number1,
                         r.Number2, len);
            std::fwrite(r.Text, 1, len, file_);
            std::fputc('\n', file_);
        }
    }

  private:
    FILE* file_ = nullptr;
};

int32_t Result(int32_t specCount) {
    const char* value = std::getenv("KELP_RECORD_RESULT");
    return value ? std::atoi(value) : specCount;
}

std::string Indexed(const char* field, int i) {
    return std::string(field) + "[" + std::to_string(i) + "]";
}

template <typename Block>
void RecordCommonZip(Recorder& rec, const Block& b) {
    rec.Text("PasswordText", b.PasswordText);
    rec.Text("StoreSuffixes", b.StoreSuffixes);
    rec.Text("ArchiveNameText", b.ArchiveNameText);
}

}  // namespace

extern "C" KELP_LIB_API int32_t GetKZipVersion(void) {
    return KELP_RECORDING_VERSION;
}
extern "C" KELP_LIB_API int32_t GetKUnzipVersion(void) {
    return KELP_RECORDING_VERSION;
}

extern "C" KELP_LIB_API int32_t KZipExec(void* params) {
    if (!params) return 0;
    Recorder rec;
    if (KELP_RECORDING_VERSION < KZIP_CURRENT_LAYOUT_VERSION) {
        const auto& b = *static_cast<const KZipParamsOld*>(params);
        rec.Call("KZipExec", &b, sizeof(b));
        RecordCommonZip(rec, b);
        for (int i = 0; i < b.SpecCount && i < KELP_OLD_SPEC_SLOTS; ++i)
            rec.Text(Indexed("SpecTexts", i), b.SpecTexts[i]);
        rec.RunScript(b.Callback, b.EngineRef);
        return Result(b.SpecCount);
    }
    const auto& b = *static_cast<const KZipParams*>(params);
    rec.Call("KZipExec", &b, sizeof(b));
    RecordCommonZip(rec, b);
    rec.Text("TempDirText", b.TempDirText);
    rec.Text("CommentText", b.CommentText);
    if (b.SpecTable && b.SpecCount > 0) {
        rec.Raw("table", "SpecTable", b.SpecTable,
                sizeof(KZipSpec) * static_cast<size_t>(b.SpecCount));
        for (int i = 0; i < b.SpecCount; ++i) {
            rec.Text(Indexed("SpecText", i), b.SpecTable[i].SpecText);
            rec.Text(Indexed("SpecPassword", i), b.SpecTable[i].SpecPassword);
        }
    }
    for (int i = 0; b.ExcludeTable && i < b.ExcludeCount; ++i)
        rec.Text(Indexed("ExcludeTable", i), b.ExcludeTable[i]);
    rec.RunScript(b.Callback, b.EngineRef);
    return Result(b.SpecCount);
}

extern "C" KELP_LIB_API int32_t KUnzipExec(void* params) {
    if (!params) return 0;
    Recorder rec;
    if (KELP_RECORDING_VERSION < KUNZIP_CURRENT_LAYOUT_VERSION) {
        const auto& b = *static_cast<const KUnzipParamsOld*>(params);
        rec.Call("KUnzipExec", &b, sizeof(b));
        rec.Text("PasswordText", b.PasswordText);
        rec.Text("ArchiveNameText", b.ArchiveNameText);
        for (int i = 0; i < b.SpecCount && i < KELP_OLD_SPEC_SLOTS; ++i)
            rec.Text(Indexed("SpecTexts", i), b.SpecTexts[i]);
        rec.RunScript(b.Callback, b.EngineRef);
        return Result(b.SpecCount);
    }
    const auto& b = *static_cast<const KUnzipParams*>(params);
    rec.Call("KUnzipExec", &b, sizeof(b));
    rec.Text("PasswordText", b.PasswordText);
    rec.Text("ArchiveNameText", b.ArchiveNameText);
    if (b.SpecTable && b.SpecCount > 0) {
        rec.Raw("table", "SpecTable", b.SpecTable,
                sizeof(KUnzipSpec) * static_cast<size_t>(b.SpecCount));
        for (int i = 0; i < b.SpecCount; ++i)
            rec.Text(Indexed("SpecText", i), b.SpecTable[i].SpecText);
    }
    rec.RunScript(b.Callback, b.EngineRef);
    return Result(b.SpecCount);
}
