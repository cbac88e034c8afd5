// The dispatcher's actions on real archives and the engine's events: test
// with its log, checkout, view, passwords and overwrite questions.
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScrollBar>

#include <sys/stat.h>
#include <unistd.h>

#include "app_fixture.h"

using namespace apptest;
using kelp::Main_sc;

TEST_F(AppTest, TestOverTwoArchivesWritesTheLog) {
    const std::string a = MakeZip("a.zip", "z.writestr('one.txt', b'hello '*100)");
    const std::string b = MakeZip("b.zip",
                                  "z.writestr('two.txt', b'world '*100)\n"
                                  "z.writestr('sub/three.txt', b'!'*10)");
    Main_sc& w = Start({Q(a)});
    OpenAll(w, {Q(a), Q(b)});
    w.Dispatch(kelp::actTest);

    const QStringList log = w.LogLines();
    EXPECT_EQ(log.filter(QRegularExpression("^Time used: \\d+ ms$")).size(), 2);
    EXPECT_TRUE(log.join('\n').contains("sub/three.txt"));
    EXPECT_EQ(log.last(), "No Errors found");
    // The ending names the first archive again and clears the busy state.
    EXPECT_EQ(w.engine.ZipFileName(), a);
    EXPECT_FALSE(w.State.Busy);
}

TEST_F(AppTest, CheckoutExtractsIntoATimeNamedFolderThatOutlivesTheWindow) {
    const std::string path = MakeZip("c.zip",
                                     "z.writestr('docs/a.txt', b'alpha')\n"
                                     "z.writestr('b.txt', b'beta')");
    Main_sc& w = Start({Q(path)});
    const QString before = QDir::currentPath();
    const QString scratch = w.TempPath;
    w.Dispatch(kelp::actCheckout);
    ASSERT_EQ(shell_.explored.size(), 1u);
    const QString folder = shell_.explored[0];
    EXPECT_EQ(fixtures::ReadFile(folder.toStdString() + "/docs/a.txt"), "alpha");
    EXPECT_EQ(fixtures::ReadFile(folder.toStdString() + "/b.txt"), "beta");
    EXPECT_EQ(QDir::currentPath(), before);
    // The user works in it; closing the window takes only Kelp's own scratch
    // folder and leaves the checkout as it is.
    fixtures::WriteFile(folder.toStdString() + "/mine.txt", "the user's own work");
    w.close();
    window_.reset();
    EXPECT_FALSE(QFileInfo::exists(scratch));
    EXPECT_EQ(fixtures::ReadFile(folder.toStdString() + "/docs/a.txt"), "alpha");
    EXPECT_EQ(fixtures::ReadFile(folder.toStdString() + "/mine.txt"), "the user's own work");
}

TEST_F(AppTest, ViewExtractsTheMemberOpensItAndCloseDeletesIt) {
    const std::string path = MakeZip("v.zip",
                                     "z.writestr('docs/', b'')\n"
                                     "z.writestr('docs/note.txt', b'read me')");
    Main_sc& w = Start({Q(path)});
    // A folder row does nothing and leaves the window usable.
    w.memberGrid->selectRow(0);
    w.Dispatch(kelp::actView);
    EXPECT_TRUE(shell_.opened.empty());
    EXPECT_FALSE(w.State.Busy);

    w.memberGrid->selectRow(1);
    // Each member opened gets a folder of its own in the run's folder.
    const std::string temp = w.TempPath.toStdString() + "open-1/";
    ModalAnswerer boxes;
    w.Dispatch(kelp::actView);
    EXPECT_TRUE(boxes.texts.empty());
    ASSERT_EQ(shell_.opened.size(), 1u);
    EXPECT_EQ(shell_.opened[0].first, "note.txt");
    EXPECT_EQ(shell_.opened[0].second.toStdString(), temp);
    EXPECT_EQ(fixtures::ReadFile(temp + "note.txt"), "read me");
    EXPECT_EQ(w.Delfiles, QStringList{"docs/note.txt"});
    w.close();
    EXPECT_FALSE(QFileInfo::exists(Q(temp + "note.txt")));
}

TEST_F(AppTest, ViewAndCheckoutWriteOnlyIntoAPrivateFolderOfTheRun) {
    const std::string path = MakeZip("p.zip", "z.writestr('note.txt', b'private')");
    // Someone else's link where the shared folder would have held the member.
    ASSERT_EQ(symlink("/nonexistent-target", (Tmp() + "note.txt").c_str()), 0);
    Main_sc& w = Start({Q(path)});
    const QString temp = w.TempPath;
    ASSERT_TRUE(temp.startsWith(Q(Tmp()) + "kelp-")) << temp.toStdString();
    struct stat st {};
    ASSERT_EQ(stat(temp.toLocal8Bit().constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // A second window gets a folder of its own.
    EXPECT_NE(Main_sc({}, &shell_).TempPath, temp);

    w.memberGrid->selectRow(0);
    w.Dispatch(kelp::actView);
    EXPECT_EQ(fixtures::ReadFile(temp.toStdString() + "open-1/note.txt"), "private");
    // A checkout gets a new folder of its own, private too.
    w.Dispatch(kelp::actCheckout);
    ASSERT_EQ(shell_.explored.size(), 1u);
    const std::string checkout = shell_.explored[0].toStdString();
    EXPECT_TRUE(shell_.explored[0].startsWith(Q(Tmp()) + "kelp-checkout-"));
    ASSERT_EQ(lstat(checkout.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(fixtures::ReadFile(checkout + "/note.txt"), "private");
    // The planted link was left alone, and the run's folder goes with the window.
    EXPECT_TRUE(QFileInfo(Q(Tmp() + "note.txt")).isSymLink());
    window_.reset();
    EXPECT_FALSE(QFileInfo::exists(temp));
}

TEST_F(AppTest, LogLinesArriveInTurnsAndTheNewestIsColouredAtTheBottom) {
    Main_sc& w = Start();
    w.ShowProcessViewer();
    for (int i = 0; i < 3000; ++i) w.LogAdd(QString("  Tested m%1.bin").arg(i));
    w.LogAdd("Error found in m3000.bin: bad crc");
    QApplication::processEvents();
    kelp::LogView* log = w.Viewer->logView();
    ASSERT_EQ(log->lineCount(), 3001);
    EXPECT_EQ(log->verticalScrollBar()->value(), log->verticalScrollBar()->maximum());
    EXPECT_EQ(log->colorAt(3000, 0), QColor(255, 0, 0));
    EXPECT_EQ(log->colorAt(2999, 2), QColor(0, 128, 0));
    // Lines not yet shown are part of the log as read.
    w.LogAdd("End Time now");
    EXPECT_EQ(w.LogLines().last(), "End Time now");
}

TEST_F(AppTest, PasswordErrorsUsePredefinedPasswordsThenAsk) {
    Main_sc& w = Start();
    w.Settings.P1 = "alpha";
    w.Settings.P3 = "gamma";
    ModalAnswerer boxes;
    boxes.passwords = {"typed"};
    std::string answer;
    // The tries left count down from 6: first the predefined ones in turn.
    for (const auto& [count, expected] :
         {std::pair<uint32_t, const char*>{6, "alpha"}, {5, "Vorn"}, {4, "gamma"}}) {
        uint32_t left = count;
        w.EnginePasswordError(answer, "f.txt", left);
        EXPECT_EQ(answer, expected);
    }
    EXPECT_TRUE(boxes.texts.empty());
    uint32_t count = 3;
    w.EnginePasswordError(answer, "f.txt", count);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], "Extracting f.txt Plz enter password(3)");
    EXPECT_EQ(answer, "typed");
    EXPECT_EQ(w.engine.Password, "typed");
}

TEST_F(AppTest, EncryptedArchiveTestsWithThePredefinedPassword) {
    fixtures::WriteFile(dir_ / "plain.txt", "secret contents");
    const std::string path = dir_ / "enc.zip";
    ASSERT_TRUE(fixtures::Succeeds("cd " + fixtures::Quote(dir_.path()) +
                                   " && zip -q -P opensesame enc.zip plain.txt"));
    fixtures::WriteFile(dir_ / "config/settings",
                        fixtures::ReadFile(dir_ / "config/settings") + "P1=s:opensesame\n");
    Main_sc& w = Start({Q(path)});
    EXPECT_EQ(w.memberGrid->Cells(0, 1), "     plain.txt +");
    ModalAnswerer boxes;
    w.Dispatch(kelp::actTest);
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_EQ(w.LogLines().last(), "No Errors found") << w.LogLines().join('\n').toStdString();
}

TEST_F(AppTest, OverwriteQuestionAnswersAndYesToAll) {
    Main_sc& w = Start();
    ModalAnswerer boxes;
    bool over = false;
    w.State.CurrentAction = kelp::actView;
    w.EngineExtractOverwrite("x.txt", false, over);
    EXPECT_TRUE(over);
    EXPECT_TRUE(boxes.texts.empty());

    w.State.CurrentAction = kelp::actExtract;
    boxes.buttons = {QMessageBox::No, QMessageBox::YesToAll};
    over = false;
    w.EngineExtractOverwrite("x.txt", false, over);
    EXPECT_FALSE(over);
    EXPECT_FALSE(w.Settings.Extrover);
    over = false;
    w.EngineExtractOverwrite("y.txt", false, over);
    EXPECT_TRUE(over);
    EXPECT_TRUE(w.Settings.Extrover);
    EXPECT_EQ(boxes.texts, (std::vector<QString>{"Overwrite x.txt?", "Overwrite y.txt?"}));
}

TEST_F(AppTest, OnlyAnErrorMessageCountsAsAnError) {
    Main_sc& w = Start();
    // An error message counts; a code 0 message is only logged.
    w.WriteLogMark(kelp::lmStart);
    w.EngineMessage(0, "note");
    w.WriteLogMark(kelp::lmEnd);
    EXPECT_EQ(w.LogLines().last(), "No Errors found");
    w.WriteLogMark(kelp::lmStart);
    w.EngineMessage(3, "bad crc");
    w.WriteLogMark(kelp::lmEnd);
    EXPECT_EQ(w.LogLines().last(), "Error found :bad crc");
}
