// The archive session with no window: the dispatcher runs an action, refuses
// one while another runs, and an action takes exactly the member records it
// is given (a name that reads as a pattern stands only for itself). The
// session's questions are answered by a scripted SessionUi.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <QCoreApplication>

#include <gtest/gtest.h>

#include "archive_session.h"
#include "tests/fixtures/archive_builder.h"
#include "tests/fixtures/recording_host_ui.h"
#include "tests/fixtures/recording_shell.h"
#include "tests/fixtures/temp_dir.h"

namespace {

using kelp::ArchiveSession;
using kelp::SessionUi;
namespace fs = std::filesystem;

// Selects the records of the named members, answers every question from
// the script and records the questions it was asked.
struct ScriptedUi : SessionUi {
    const ArchiveSession* session = nullptr;
    std::vector<std::string> selected;
    bool confirm = true;
    std::optional<ExtractTarget> extractTarget;
    std::vector<QString> questions;
    std::vector<QString> messages;

    void ShowMessage(const QString& text) override { messages.push_back(text); }
    bool Confirm(const QString& text, bool) override {
        questions.push_back(text);
        return confirm;
    }
    std::optional<ExtractTarget> AskExtractTarget() override {
        questions.push_back("extract to");
        return extractTarget;
    }
    std::vector<uint32_t> SelectedRecords() const override {
        std::vector<uint32_t> records;
        const auto& rows = session->Rows();
        for (uint32_t r = 0; rows && r < rows->Count(); ++r)
            if (std::count(selected.begin(), selected.end(), rows->Name(r))) records.push_back(r);
        return records;
    }
    int SelectedRowCount() const override { return int(SelectedRecords().size()); }
    Overwrite AskOverwrite(const QString&) override { return Overwrite::No; }
    QString AskNewArchive(const QString&) override { return {}; }
    QStringList AskOpenArchives(const QString&) override { return {}; }
    std::optional<QString> AskComment(const QString&) override { return std::nullopt; }
    std::optional<kelp::engine::AddRequest> AskAddSources() override { return std::nullopt; }
    std::optional<kelp::engine::SfxSettings> AskSfxOptions() override { return std::nullopt; }
    QString AskCompareFolder(const QString&) override { return {}; }
    QString AskRepairTarget(const QString&) override { return {}; }
    std::optional<QString> PickArchive(const QStringList&) override { return std::nullopt; }
    QString OpenMemberCopy(uint32_t) override { return {}; }
    void RememberCurrentArchive() override {}
    void ClearListing() override {}
    void ShowListing(uint32_t, int64_t) override {}
    void ShowEmptyListing() override {}
    void ShowTotals() override {}
    void DirectoryRead() override {}
    void ShowProcessViewer() override {}
    void LogAdd(const QString&) override {}
    void LogAddUtf8(std::string_view) override {}
    void ClearLog() override {}
    void FlushLog() override {}
    void SetGauge(int) override {}
    void ShowHalt(bool) override {}
    void LockWindow(bool) override {}
    void ActionStarting() override {}
    void ActionEnded(bool) override {}
};

const std::vector<std::string> kMembers = {"a.txt", "b?.txt", "b1.txt", "dir/c.txt"};

struct Case {
    const char* what;
    uint8_t action;
    std::vector<std::string> selected;
    bool busy;                           // another action is running
    bool confirm;                        // the answer to "Are you sure?"
    std::vector<std::string> left;       // the archive's members afterwards
    std::vector<std::string> extracted;  // files below the extract folder
    size_t questions;
};

const Case kCases[] = {
    {"delete takes the pattern-like name only",
     kelp::actDelete,
     {"b?.txt"},
     false,
     true,
     {"a.txt", "b1.txt", "dir/c.txt"},
     {},
     1},
    {"delete takes a scattered selection",
     kelp::actDelete,
     {"a.txt", "dir/c.txt"},
     false,
     true,
     {"b?.txt", "b1.txt"},
     {},
     1},
    {"delete answered No keeps all", kelp::actDelete, {"a.txt"}, false, false, kMembers, {}, 1},
    {"delete refused while busy", kelp::actDelete, {"a.txt"}, true, true, kMembers, {}, 0},
    {"extract takes the selected records",
     kelp::actExtract,
     {"b?.txt", "dir/c.txt"},
     false,
     true,
     kMembers,
     {"b?.txt", "dir/c.txt"},
     1},
    {"extract refused while busy", kelp::actExtract, {"a.txt"}, true, true, kMembers, {}, 0},
};

std::vector<std::string> FilesBelow(const std::string& folder) {
    std::vector<std::string> files;
    if (!fs::exists(folder)) return files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file()) files.push_back(fs::relative(e.path(), folder).string());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(ArchiveSession, RunsRefusesAndTakesExactlyTheGivenMembers) {
    // An event loop's application, but no widget anywhere.
    static int argc = 1;
    static char name[] = "kelp-session-tests";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        fixtures::TempDir dir;
        fixtures::ArchiveBuilder builder;
        for (const std::string& name : kMembers) builder.Add(name, "data of " + name);
        const std::string archive = dir / "set.zip";
        std::ofstream(archive, std::ios::binary) << builder.Build();

        ScriptedUi ui;
        fixtures::RecordingHostUi host;
        fixtures::RecordingShell shell;
        ArchiveSession session(ui, host, shell);
        ui.session = &session;
        ui.selected = c.selected;
        ui.confirm = c.confirm;
        fs::create_directory(dir / "out");
        ui.extractTarget = SessionUi::ExtractTarget{QString::fromStdString(dir / "out/"), true};
        session.Settings.Extrfold = true;
        session.engine.LoadZipLib();
        session.engine.LoadUnzipLib();
        session.Zipfiles = {QString::fromStdString(archive)};
        session.engine.setZipFileName(archive);
        session.Dispatch(kelp::actRefresh);
        ASSERT_EQ(session.Rows()->Count(), kMembers.size());

        session.State.Busy = c.busy;
        session.Dispatch(c.action);
        EXPECT_EQ(ui.questions.size(), c.questions);
        EXPECT_TRUE(ui.messages.empty()) << ui.messages.front().toStdString();
        EXPECT_TRUE(host.messages.empty()) << host.messages.front();
        EXPECT_EQ(FilesBelow(dir / "out"), c.extracted);

        session.State.Busy = false;
        session.Dispatch(kelp::actRefresh);
        std::vector<std::string> left;
        for (uint32_t r = 0; r < session.Rows()->Count(); ++r)
            left.emplace_back(session.Rows()->Name(r));
        EXPECT_EQ(left, c.left);
    }
}

}  // namespace
