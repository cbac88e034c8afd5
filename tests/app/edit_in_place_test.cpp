// Editing a member in place, on a real X screen (run under xvfb-run): Enter
// opens the member through the desktop's opener, here a stand-in xdg-open
// on the PATH that saves the way editors do; the window asks once per burst
// of saves and writes the copy back, or, when the archive changed meanwhile,
// leaves it alone and adds the copy under a new name.
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QTest>

#include "app_fixture.h"
#include "edit_watch.h"
#include "password_dlg.h"
#include "tests/fixtures/zip_members.h"

namespace {

using apptest::AppTest;
using apptest::Q;
using kelp::Main_sc;

// Answers the window's questions, but message boxes only once `ready` says
// the opener has finished saving, so that saves made while a question is
// open are seen; password dialogs and name prompts at once.
class GatedAnswerer {
  public:
    std::vector<QString> texts;
    std::deque<QMessageBox::StandardButton> buttons;
    QString password;
    QString saveTo;  // what the file dialog is given
    std::function<bool()> ready;

    GatedAnswerer() {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Answer(); });
        timer_.start();
    }

  private:
    void Answer() {
        QWidget* w = QApplication::activeModalWidget();
        if (auto* dlg = qobject_cast<kelp::PasswordDlg*>(w)) {
            dlg->Password()->setText(password);
            dlg->OkButton()->click();
        } else if (auto* files = qobject_cast<QFileDialog*>(w)) {
            texts.push_back(files->windowTitle());
            // The dialog leaves a name being typed alone: take the focus
            // from its name field so that the whole path is taken.
            if (QWidget* typing = files->focusWidget()) typing->clearFocus();
            files->selectFile(saveTo);
            static_cast<QDialog*>(files)->accept();  // QFileDialog hides it
        } else if (auto* input = qobject_cast<QInputDialog*>(w)) {
            texts.push_back(input->labelText() + " " + input->textValue());
            input->accept();
        } else if (auto* box = qobject_cast<QMessageBox*>(w); box && ready()) {
            texts.push_back(box->text());
            QAbstractButton* b = box->button(buttons.empty() ? QMessageBox::No : buttons.front());
            if (!buttons.empty()) buttons.pop_front();
            if (!b) b = box->buttons().value(0);  // a plain message: its OK
            b->click();
        }
    }
    QTimer timer_;
};

// The member's text, long enough to be worth compressing.
std::string Alpha() {
    return QByteArray("alpha\n").repeated(200).toStdString();
}
const std::string kAlphaPy = "kAlpha = 'alpha\\n' * 200\n";

class EditInPlace : public AppTest {
  protected:
    void SetUp() override {
        // The stand-in opener: waits for the test's go, then runs the case's
        // saves on the file its URL names and marks itself done. Qt keeps the
        // opener it found first, so it lives as long as the program (made
        // before the test's own temporary folder is set).
        static const fixtures::TempDir bin;
        AppTest::SetUp();
        if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X screen";
        fixtures::WriteFile(bin / "xdg-open",
                            "#!/bin/sh\nf=$(python3 -c 'import sys,urllib.parse as u; "
                            "print(u.unquote(u.urlparse(sys.argv[1]).path))' \"$1\")\n"
                            "cd \"$KELP_EDIT_TEST_DIR\"\n"
                            "for i in $(seq 200); do [ -e go ] && break; sleep 0.05; done\n"
                            ". ./saves.sh\ntouch done\n");
        chmod((bin / "xdg-open").c_str(), 0755);
        setenv("KELP_EDIT_TEST_DIR", dir_.path().c_str(), 1);
        path_ = qgetenv("PATH");
        setenv("PATH", (bin.path() + ":" + path_.toStdString()).c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", path_.constData(), 1);
        AppTest::TearDown();
    }
    // Opens `member` of `archive` with Enter; `saves` is what the opener
    // does to "$f" once `go` is given.
    Main_sc& OpenWithEnter(const std::string& archive, const QString& member,
                           const std::string& saves) {
        fixtures::WriteFile(dir_ / "saves.sh", saves);
        Main_sc& w = *(window_ = std::make_unique<Main_sc>(QStringList{Q(archive)}, nullptr));
        w.show();
        // Grid rows count from 1, below the header; the view's from 0.
        for (int row = 1; row <= w.memberGrid->gridModel()->rowCount(); ++row)
            if (w.MemberPath(row) == member) w.memberGrid->selectRow(row - 1);
        QTest::keyClick(w.memberGrid, Qt::Key_Return);
        return w;
    }
    void Go() { fixtures::WriteFile(dir_ / "go", ""); }
    bool Done() const { return QFileInfo::exists(Q(dir_ / "done")); }
    // Waits until the opener is done and its last save has been dealt with.
    void Settle(Main_sc& w) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return Done(); }, 20000));
        QTest::qWait(kelp::EditWatch::kSettleMs * 4);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w.State.Busy; }, 20000));
    }
    std::string Unzip(const std::string& archive, const std::string& member,
                      const std::string& password) {
        return fixtures::RunShell("7z x -so -p" + (password.empty() ? "-" : password) + " " +
                                  fixtures::Quote(archive) + " " + fixtures::Quote(member))
            .out;
    }

    // Another program adds a member `name` to the archive.
    static ::testing::AssertionResult AddBehindItsBack(const std::string& archive,
                                                       const std::string& name) {
        return fixtures::Succeeds("python3 -c \"import zipfile; zipfile.ZipFile('" + archive +
                                  "', 'a').writestr('" + name + "', 'theirs')\"");
    }

    QByteArray path_;
};

TEST_F(EditInPlace, EachBurstOfSavesAsksOnceAndWritesTheMemberBack) {
    struct Case {
        const char* what;
        const char* make;  // Python, with z open for writing
        const char* password;
        const char* saves;
        const char* added;  // what the saves append
    };
    const Case cases[] = {
        {"a new file renamed over the copy", "z.writestr('docs/a.txt', kAlpha)", "",
         "cp \"$f\" \"$f.new\" && echo appended >> \"$f.new\" && mv \"$f.new\" \"$f\"\n",
         "appended\n"},
        // Only the folder's watch sees the copy come back.
        {"removed, then written anew", "z.writestr('docs/a.txt', kAlpha)", "",
         "mv \"$f\" \"$f.keep\"; sleep 1; cp \"$f.keep\" \"$f\"; echo anew >> \"$f\"\n", "anew\n"},
        // The second save comes while the question about the first is open,
        // and is seen there before the answer.
        {"written in place, twice", "z.writestr('docs/a.txt', kAlpha)", "",
         "echo one >> \"$f\"; sleep 1; echo two >> \"$f\"; sleep 1\n", "one\ntwo\n"},
        {"ZipCrypto", "", "sesame", "echo secret >> \"$f\"\n", "secret\n"},
        {"AES", "", "sesame", "echo secret >> \"$f\"\n", "secret\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(dir_ / "data");
        std::filesystem::remove(dir_ / "done");
        std::filesystem::remove(dir_ / "go");
        const std::string archive = dir_ / "e.zip";
        std::filesystem::remove(archive);
        if (*c.password) {
            fixtures::WriteFile(dir_ / "docs/a.txt", Alpha());
            fixtures::WriteFile(dir_ / "other.txt", "other\n");
            const std::string how = std::string(c.what) == "AES" ? "-mem=AES256" : "-mem=ZipCrypto";
            ASSERT_TRUE(fixtures::Succeeds("cd " + fixtures::Quote(dir_.path()) +
                                           " && 7z a -tzip " + how +
                                           " -psesame e.zip docs/a.txt other.txt"));
        } else {
            MakeZip("e.zip", kAlphaPy + c.make + "\nz.writestr('other.txt', 'other\\n' * 50)");
        }
        GatedAnswerer answers;
        answers.password = c.password;
        answers.buttons = {QMessageBox::Yes};
        answers.ready = [this] { return Done(); };
        Main_sc& w = OpenWithEnter(archive, "docs/a.txt", c.saves);
        Go();
        Settle(w);

        ASSERT_EQ(answers.texts.size(), 1u);
        EXPECT_TRUE(answers.texts[0].contains("docs/a.txt") &&
                    answers.texts[0].contains(Q(archive)))
            << answers.texts[0].toStdString();
        // How the member is stored again is the write-back test's.
        EXPECT_EQ(Unzip(archive, "docs/a.txt", c.password), Alpha() + c.added);
        window_.reset();
    }
}

TEST_F(EditInPlace, AnArchiveChangedMeanwhileIsNotOverwritten) {
    const std::string archive = MakeZip("c.zip", kAlphaPy + "z.writestr('docs/a.txt', kAlpha)");
    GatedAnswerer answers;
    answers.buttons = {QMessageBox::Yes, QMessageBox::Yes};  // update; add under a new name
    answers.ready = [this] { return Done(); };
    Main_sc& w = OpenWithEnter(archive, "docs/a.txt", "echo mine >> \"$f\"\n");
    // Another program adds a member after the member was opened.
    ASSERT_TRUE(AddBehindItsBack(archive, "theirs.txt"));
    const auto theirs = fixtures::ZipMembers(archive);
    Go();
    Settle(w);

    ASSERT_EQ(answers.texts.size(), 3u);
    EXPECT_TRUE(answers.texts[1].contains("was changed by another program"))
        << answers.texts[1].toStdString();
    EXPECT_TRUE(answers.texts[2].endsWith("docs/a (edited).txt")) << answers.texts[2].toStdString();
    const auto after = fixtures::ZipMembers(archive);
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after.at("docs/a.txt").raw, theirs.at("docs/a.txt").raw);
    EXPECT_EQ(after.at("theirs.txt").raw, theirs.at("theirs.txt").raw);
    EXPECT_EQ(Unzip(archive, "docs/a (edited).txt", ""), Alpha() + "mine\n");

    // Changed again, and saved again: this time the copy is saved elsewhere.
    ASSERT_TRUE(AddBehindItsBack(archive, "late.txt"));
    const std::string changed = fixtures::ReadFile(archive);
    answers.buttons = {QMessageBox::Yes, QMessageBox::Save};
    answers.saveTo = Q(dir_ / "saved.txt");
    const QString copy = w.Edits().Members().front()->file;
    fixtures::WriteFile(copy.toStdString(), Alpha() + "mine\nmore\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.texts.size() == 6; }, 20000));
    EXPECT_TRUE(answers.texts[4].contains("was changed by another program"));
    EXPECT_EQ(answers.texts[5], "Save the edited copy");
    // The copy is written once the dialog has closed, after its answer.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return std::filesystem::exists(dir_ / "saved.txt"); }, 20000));
    EXPECT_EQ(fixtures::ReadFile(dir_ / "saved.txt"), Alpha() + "mine\nmore\n");
    EXPECT_EQ(fixtures::ReadFile(archive), changed);
}

// A save answered "Not now" is not lost when the window closes: the edited
// copy is moved out of the run's folder, which goes, and the user is told.
TEST_F(EditInPlace, ChangesNotWrittenBackAreKeptWhenTheWindowCloses) {
    const std::string archive = MakeZip("k.zip", kAlphaPy + "z.writestr('docs/a.txt', kAlpha)");
    const std::string original = fixtures::ReadFile(archive);
    GatedAnswerer answers;
    answers.buttons = {QMessageBox::No, QMessageBox::Ok};  // not now; the notice
    answers.ready = [this] { return Done(); };
    Main_sc& w = OpenWithEnter(archive, "docs/a.txt", "echo kept >> \"$f\"\n");
    Go();
    Settle(w);
    w.close();
    ASSERT_EQ(answers.texts.size(), 2u);
    EXPECT_TRUE(answers.texts[1].contains("docs/a.txt")) << answers.texts[1].toStdString();
    EXPECT_EQ(fixtures::ReadFile(archive), original);
    std::string kept;
    for (const auto& e : std::filesystem::recursive_directory_iterator(Tmp()))
        if (e.path().filename() == "a.txt") kept = fixtures::ReadFile(e.path());
    EXPECT_EQ(kept, Alpha() + "kept\n");
}

}  // namespace
