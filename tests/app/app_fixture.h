// What the main-window tests share: a private settings folder and temporary
// folder per test, a recorder in place of the desktop shell, archives made
// with Python's zipfile, and a helper that answers the modal boxes a test
// runs into.
#pragma once

#include <QDir>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "main_sc.h"
#include "tests/fixtures/modal_answerer.h"
#include "tests/fixtures/recording_shell.h"
#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

namespace apptest {

using fixtures::RecordingShell;

using fixtures::ModalAnswerer;

inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

inline QAction* MenuItem(QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions())
        if (a->text() == text) return a;
    ADD_FAILURE() << "no menu item " << text.toStdString();
    return nullptr;
}

inline QMenu* MainMenu(kelp::Main_sc& w, const QString& text) {
    for (QAction* a : w.menuBar()->actions())
        if (a->text() == text) return a->menu();
    ADD_FAILURE() << "no menu " << text.toStdString();
    return nullptr;
}

// Selects exactly the given grid rows (a scattered, Ctrl+click selection).
inline void SelectRows(kelp::Main_sc& w, std::initializer_list<int> rows) {
    w.memberGrid->clearSelection();
    for (int row : rows)
        w.memberGrid->selectionModel()->select(
            w.memberGrid->gridModel()->index(row - 1, 0),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// The names of members as the window hands them on.
inline std::vector<std::string> Names(const std::vector<kelp::Main_sc::MemberRef>& members) {
    std::vector<std::string> names;
    for (const auto& m : members) names.push_back(m.name);
    return names;
}

// The grid row (from 1) of the member named exactly `name`, of `archive`
// when one is given; 0 when none.
inline int RowOf(const kelp::Main_sc& w, const QString& name, const QString& archive = {}) {
    for (int r = 1; r < w.memberGrid->RowCount(); ++r)
        if (w.MemberPath(r) == name && (archive.isEmpty() || w.memberGrid->Cells(7, r) == archive))
            return r;
    return 0;
}

// A key to the widget that has the window's keyboard.
inline void Key(kelp::Main_sc& w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    ASSERT_NE(w.focusWidget(), nullptr);
    QTest::keyClick(w.focusWidget(), key, mods);
}

// The member names of an archive in its order, byte for byte.
inline std::vector<std::string> MemberNames(const std::string& archive) {
    const auto r = fixtures::RunShell("unzip -Z1 " + fixtures::Quote(archive));
    std::vector<std::string> names;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) names.push_back(line);
    return names;
}

// The files below `folder` with their contents, by path relative to it.
inline std::map<std::string, std::string> FilesUnder(const std::string& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder, ec))
        if (e.is_regular_file())
            files[std::filesystem::relative(e.path(), folder).string()] =
                fixtures::ReadFile(e.path());
    return files;
}

// Opens several archives the way the open action leaves them.
inline void OpenAll(kelp::Main_sc& w, const QStringList& paths) {
    w.Zipfiles = paths;
    w.OpenDialogFileName = paths.first();
    w.Dispatch(kelp::actRefresh);
}

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("KELP_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        std::filesystem::create_directories(dir_ / "tmp");
        setenv("TMPDIR", (dir_ / "tmp").c_str(), 1);
        // Whatever a test moves to the trash stays in its own folder.
        setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
        fixtures::WriteFile(dir_ / "config/settings", "[Kelp]\nInstDir=s:" KELP_SOURCE_DIR
                                                      "/data/\nVer=s:0.1.0\n"
                                                      "aot=s:0\nFileBkColor=n:16777215\n");
    }
    void TearDown() override {
        window_.reset();
        QDir::setCurrent("/");  // out of the test folders, which are about to go
        unsetenv("KELP_CONFIG_HOME");
        unsetenv("TMPDIR");
        unsetenv("XDG_DATA_HOME");
    }

    kelp::Main_sc& Start(const QStringList& args = {}) {
        window_ = std::make_unique<kelp::Main_sc>(args, &shell_);
        return *window_;
    }
    // Starts the window and shows it as the desktop would, active and settled.
    kelp::Main_sc& StartShown(const QStringList& args) {
        kelp::Main_sc& w = Start(args);
        w.show();
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        QApplication::processEvents();
        return w;
    }
    // Writes an archive with Python's zipfile; `body` is Python run with `z`
    // open for writing (deflated).
    std::string MakeZip(const std::string& name, const std::string& body) {
        const std::string path = dir_ / name;
        const std::string script = "import zipfile,os\nz=zipfile.ZipFile(" + PyQuote(path) +
                                   ",'w',zipfile.ZIP_DEFLATED)\n" + body + "\nz.close()\n";
        EXPECT_TRUE(fixtures::Succeeds("cd / && python3 -c " + fixtures::Quote(script)));
        return path;
    }
    static std::string PyQuote(const std::string& s) { return "r'" + s + "'"; }
    std::string Tmp() const { return dir_ / "tmp/"; }

    fixtures::TempDir dir_;
    RecordingShell shell_;
    std::unique_ptr<kelp::Main_sc> window_;
};

}  // namespace apptest
