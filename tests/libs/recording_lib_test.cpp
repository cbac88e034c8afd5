// The recording libraries keep the block they receive, in the layout their
// version selects, with the texts and tables it points to, and run
// scripted callbacks.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <memory>

#include "kunzip_harness.h"
#include "recording_reader.h"

namespace {

void* Load(const std::string& name) {
    void* lib = dlopen((std::string(KELP_LIB_DIR) + "/" + name).c_str(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(lib, nullptr) << dlerror();
    return lib;
}

int32_t AnswerPassword(KCallbackRecord* r) {
    ++*static_cast<int*>(r->EngineRef);
    if (r->Action == KCB_PASSWORD) {
        std::strcpy(r->Text, "answer");
        r->Number1 = 1;
    }
    return r->Action == KCB_BATCH_END ? KELP_CALLBACK_CANCEL : 0;
}

TEST(RecordingLibrary, KeepsOldUnzipAndCurrentZipBlocks) {
    harness::TempFolder tmp;
    std::string file = tmp / "record", script = tmp / "script";
    harness::WriteFile(script, "8 0 3 member.txt\n3 0 0 \n");
    setenv("KELP_RECORD_FILE", file.c_str(), 1);
    setenv("KELP_RECORD_SCRIPT", script.c_str(), 1);
    setenv("KELP_RECORD_RESULT", "9", 1);
    char archive[] = "arc.zip", password[] = "pw", spec[] = "*.txt", suffixes[] = ".gif:.png",
         exclude[] = "*.o";
    int callbacks = 0;

    void* unzip = Load("recording150/" KUNZIP_LIBRARY_FILE);
    ASSERT_NE(unzip, nullptr);
    EXPECT_EQ(reinterpret_cast<GetKUnzipVersionFn>(dlsym(unzip, KUNZIP_VERSION_NAME))(), 150);
    auto old = std::make_unique<KUnzipParamsOld>();
    *old = {};
    old->EngineRef = &callbacks;
    old->Callback = AnswerPassword;
    old->PasswordText = password;
    old->ArchiveNameText = archive;
    old->SpecCount = 1;
    old->SpecTexts[0] = spec;
    old->EndMarker = KELP_END_MARKER;
    EXPECT_EQ(reinterpret_cast<KUnzipExecFn>(dlsym(unzip, KUNZIP_EXEC_NAME))(old.get()), 9);
    dlclose(unzip);

    void* zip = Load("recording152/" KZIP_LIBRARY_FILE);
    ASSERT_NE(zip, nullptr);
    char* excludes[] = {exclude};
    KZipSpec zipSpec{};
    zipSpec.SpecText = spec;
    zipSpec.SpecRecurse = static_cast<KBool16>(0xFFFF);
    KZipParams current{};
    current.ArchiveNameText = archive;
    current.StoreSuffixes = suffixes;
    current.SpecCount = 1;
    current.SpecTable = &zipSpec;
    current.ExcludeCount = 1;
    current.ExcludeTable = excludes;
    current.EndMarker = KELP_END_MARKER;
    EXPECT_EQ(reinterpret_cast<KZipExecFn>(dlsym(zip, KZIP_EXEC_NAME))(&current), 9);
    dlclose(zip);
    for (const char* name : {"KELP_RECORD_FILE", "KELP_RECORD_SCRIPT", "KELP_RECORD_RESULT"})
        unsetenv(name);

    auto calls = recording::ReadRecording(file);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].block.size(), sizeof(KUnzipParamsOld));
    EXPECT_EQ(calls[0].As<KUnzipParamsOld>().EndMarker, KELP_END_MARKER);
    EXPECT_EQ(calls[0].texts["PasswordText"], "pw");
    EXPECT_EQ(calls[0].texts["SpecTexts[0]"], "*.txt");
    EXPECT_EQ(callbacks, 2);
    ASSERT_EQ(calls[0].callbacks.size(), 2u);
    EXPECT_EQ(calls[0].callbacks[0].text, "answer");
    EXPECT_EQ(calls[0].callbacks[0].number1, 1);
    EXPECT_EQ(calls[0].callbacks[1].result, KELP_CALLBACK_CANCEL);

    EXPECT_EQ(calls[1].entry, "KZipExec");
    EXPECT_EQ(calls[1].version, 152);
    EXPECT_EQ(calls[1].texts["StoreSuffixes"], ".gif:.png");
    EXPECT_EQ(calls[1].texts["ExcludeTable[0]"], "*.o");
    EXPECT_EQ(calls[1].texts["TempDirText"], std::nullopt);
    ASSERT_EQ(calls[1].tables["SpecTable"].size(), sizeof(KZipSpec));
    KZipSpec seen;
    std::memcpy(&seen, calls[1].tables["SpecTable"].data(), sizeof(seen));
    EXPECT_EQ(seen.SpecRecurse, static_cast<KBool16>(0xFFFF));
}

}  // namespace
