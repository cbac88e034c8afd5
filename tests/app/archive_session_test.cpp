// The archive session with no window: the dispatcher runs an action, refuses
// one while another runs, and an action takes exactly the member records it
// is given (a name that reads as a pattern stands only for itself). The
// session's questions are answered by a scripted SessionUi.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
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

// How the action meets the session: the question answered Yes or No, or
// another action running.
enum Meets { Yes, No, Busy };

struct Case {
    const char* what;
    uint8_t action;
    Meets meets;
    std::vector<std::string> selected;
    std::vector<std::string> left;    // the archive's members afterwards
    std::set<std::string> extracted;  // files below the extract folder
};

constexpr uint8_t kDelete = kelp::actDelete, kExtract = kelp::actExtract;
const Case kCases[] = {
    {"delete b?.txt only", kDelete, Yes, {"b?.txt"}, {"a.txt", "b1.txt", "dir/c.txt"}, {}},
    {"delete scattered rows", kDelete, Yes, {"a.txt", "dir/c.txt"}, {"b?.txt", "b1.txt"}, {}},
    {"delete answered No", kDelete, No, {"a.txt"}, kMembers, {}},
    {"delete while busy", kDelete, Busy, {"a.txt"}, kMembers, {}},
    {"extract records", kExtract, Yes, {"b?.txt", "dir/c.txt"}, kMembers, {"b?.txt", "dir/c.txt"}},
    {"extract while busy", kExtract, Busy, {"a.txt"}, kMembers, {}},
};

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
        ui.confirm = c.meets == Yes;
        fs::create_directory(dir / "out");
        ui.extractTarget = SessionUi::ExtractTarget{QString::fromStdString(dir / "out/"), true};
        session.Settings.Extrfold = true;
        session.engine.LoadZipLib();
        session.engine.LoadUnzipLib();
        session.Zipfiles = {QString::fromStdString(archive)};
        session.engine.setZipFileName(archive);
        session.Dispatch(kelp::actRefresh);
        ASSERT_EQ(session.Rows()->Count(), kMembers.size());

        session.State.Busy = c.meets == Busy;
        session.Dispatch(c.action);
        EXPECT_EQ(ui.questions.size(), c.meets == Busy ? 0u : 1u);
        EXPECT_TRUE(ui.messages.empty()) << ui.messages.front().toStdString();
        EXPECT_TRUE(host.messages.empty()) << host.messages.front();
        EXPECT_EQ(fixtures::FilesBelow(dir / "out"), c.extracted);

        session.State.Busy = false;
        session.Dispatch(kelp::actRefresh);
        std::vector<std::string> left;
        for (uint32_t r = 0; r < session.Rows()->Count(); ++r)
            left.emplace_back(session.Rows()->Name(r));
        EXPECT_EQ(left, c.left);
    }
}

}  // namespace
