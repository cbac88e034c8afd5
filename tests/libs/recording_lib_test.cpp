// The recording libraries keep the block they receive, in the layout their
// version selects, with the texts it points to, and run scripted callbacks.
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <stdlib.h>

#include <memory>

#include "kunzip_harness.h"
#include "recording_reader.h"

namespace {

template <typename Fn>
Fn Symbol(void* lib, const char* name) {
    return reinterpret_cast<Fn>(dlsym(lib, name));
}

int32_t CountingCallback(KCallbackRecord* r) {
    ++*static_cast<int*>(r->EngineRef);
    if (r->Action == KCB_PASSWORD) {
        std::strcpy(r->Text, "answer");
        r->Number1 = 1;
    }
    return r->Action == KCB_BATCH_END ? KELP_CALLBACK_CANCEL : 0;
}

TEST(RecordingLibrary, KeepsOldAndCurrentUnzipBlocks) {
    harness::TempFolder tmp;
    std::string file = tmp / "record", script = tmp / "script";
    harness::WriteFile(script, "8 0 3 member.txt\n3 0 0 \n");
    setenv("KELP_RECORD_FILE", file.c_str(), 1);
    setenv("KELP_RECORD_SCRIPT", script.c_str(), 1);
    char archive[] = "arc.zip", password[] = "pw", spec[] = "*.txt";
    int callbacks = 0;
    for (int version : {150, 152}) {
        std::string path = std::string(KELP_LIB_DIR) + "/recording" + std::to_string(version) +
                           "/" KUNZIP_LIBRARY_FILE;
        void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib, nullptr) << dlerror();
        EXPECT_EQ(Symbol<GetKUnzipVersionFn>(lib, KUNZIP_VERSION_NAME)(), version);
        auto exec = Symbol<KUnzipExecFn>(lib, KUNZIP_EXEC_NAME);
        if (version == 150) {
            auto b = std::make_unique<KUnzipParamsOld>();
            *b = {};
            b->EngineRef = &callbacks;
            b->Callback = CountingCallback;
            b->PasswordText = password;
            b->ArchiveNameText = archive;
            b->SpecCount = 1;
            b->SpecTexts[0] = spec;
            b->EndMarker = KELP_END_MARKER;
            EXPECT_EQ(exec(b.get()), 1);
        } else {
            KUnzipSpec table[1] = {};
            table[0].SpecText = spec;
            KUnzipParams b{};
            b.EngineRef = &callbacks;
            b.Callback = CountingCallback;
            b.ArchiveNameText = archive;
            b.SpecCount = 1;
            b.SpecTable = table;
            b.PasswordTries = 5;
            b.EndMarker = KELP_END_MARKER;
            EXPECT_EQ(exec(&b), 1);
        }
        dlclose(lib);
    }
    unsetenv("KELP_RECORD_FILE");
    unsetenv("KELP_RECORD_SCRIPT");
    EXPECT_EQ(callbacks, 4);

    auto calls = recording::ReadRecording(file);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].block.size(), sizeof(KUnzipParamsOld));
    EXPECT_EQ(calls[0].As<KUnzipParamsOld>().EndMarker, KELP_END_MARKER);
    EXPECT_EQ(calls[0].texts["PasswordText"], "pw");
    EXPECT_EQ(calls[0].texts["SpecTexts[0]"], "*.txt");
    EXPECT_EQ(calls[1].version, 152);
    EXPECT_EQ(calls[1].block.size(), sizeof(KUnzipParams));
    EXPECT_EQ(calls[1].As<KUnzipParams>().PasswordTries, 5);
    EXPECT_EQ(calls[1].texts["PasswordText"], std::nullopt);
    EXPECT_EQ(calls[1].texts["SpecText[0]"], "*.txt");
    EXPECT_EQ(calls[1].tables["SpecTable"].size(), sizeof(KUnzipSpec));
    ASSERT_EQ(calls[1].callbacks.size(), 2u);
    EXPECT_EQ(calls[1].callbacks[0].text, "answer");
    EXPECT_EQ(calls[1].callbacks[0].number1, 1);
    EXPECT_EQ(calls[1].callbacks[1].result, KELP_CALLBACK_CANCEL);
}

TEST(RecordingLibrary, KeepsCurrentZipBlockWithItsTables) {
    harness::TempFolder tmp;
    std::string file = tmp / "record";
    setenv("KELP_RECORD_FILE", file.c_str(), 1);
    setenv("KELP_RECORD_RESULT", "9", 1);
    void* lib = dlopen(KELP_LIB_DIR "/recording152/" KZIP_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    char name[] = "a.zip", text[] = "src/*", suffixes[] = ".gif:.png", exclude[] = "*.o";
    char* excludes[] = {exclude};
    KZipSpec spec{};
    spec.SpecText = text;
    spec.SpecRecurse = static_cast<KBool16>(0xFFFF);
    KZipParams b{};
    b.ArchiveNameText = name;
    b.StoreSuffixes = suffixes;
    b.SpecCount = 1;
    b.SpecTable = &spec;
    b.ExcludeCount = 1;
    b.ExcludeTable = excludes;
    b.EndMarker = KELP_END_MARKER;
    EXPECT_EQ(Symbol<KZipExecFn>(lib, KZIP_EXEC_NAME)(&b), 9);
    dlclose(lib);
    unsetenv("KELP_RECORD_FILE");
    unsetenv("KELP_RECORD_RESULT");
    auto calls = recording::ReadRecording(file);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].entry, "KZipExec");
    EXPECT_EQ(calls[0].texts["StoreSuffixes"], ".gif:.png");
    EXPECT_EQ(calls[0].texts["ExcludeTable[0]"], "*.o");
    EXPECT_EQ(calls[0].texts["TempDirText"], std::nullopt);
    auto table = calls[0].tables["SpecTable"];
    ASSERT_EQ(table.size(), sizeof(KZipSpec));
    KZipSpec seen;
    std::memcpy(&seen, table.data(), sizeof(seen));
    EXPECT_EQ(seen.SpecRecurse, static_cast<KBool16>(0xFFFF));
}

}  // namespace
