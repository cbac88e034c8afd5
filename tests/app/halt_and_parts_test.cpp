// What must not be lost: a halted add stops for good before the next action
// starts, and the question about a part that already exists keeps the part
// when answered with Enter.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <filesystem>

#include "add_dlg.h"
#include "app_fixture.h"
#include "qt_host_ui.h"

using namespace apptest;
using kelp::Main_sc;
namespace fs = std::filesystem;

namespace {}  // namespace

TEST_F(AppTest, HaltedAddEndsBeforeTheNextActionStarts) {
    fixtures::RunShell("head -c 40000000 /dev/urandom > " + fixtures::Quote(dir_ / "big.bin"));
    const std::string a = MakeZip("keep.zip", "z.writestr('kept.txt', b'kept')");
    const std::string before = fixtures::ReadFile(a);
    Main_sc& w = Start({Q(a)});
    ModalAnswerer boxes;
    boxes.dialogs = {[&](QDialog* d) {
        auto* dialog = qobject_cast<kelp::AddDlg*>(d);
        ASSERT_NE(dialog, nullptr);
        dialog->setAddedPaths({Q(dir_ / "big.bin")});
        dialog->encryptBox()->setChecked(false);
        dialog->okButton()->click();
    }};
    boxes.buttons = {QMessageBox::Yes};
    // Inside the add's first report: the user presses "Halt  !!" and at once
    // asks for a test of the archive.
    bool halted = false;
    int testReports = 0, testReportsDuringAdd = 0;
    const auto original = w.engine.OnProgress;
    w.engine.OnProgress = [&](kelp::engine::ProgressType type, const std::string& name,
                              int64_t size) {
        original(type, name, size);
        if (w.State.CurrentAction == kelp::actTest) {
            ++testReports;
            if (w.engine.ZipLibBusy()) ++testReportsDuringAdd;
        }
        if (!halted && w.engine.ZipLibBusy() && !w.haltButton->isHidden()) {
            halted = true;
            w.haltButton->click();
            MenuItem(MainMenu(w, "&Action"), "&Test")->trigger();
        }
    };
    w.Dispatch(kelp::actAdd);
    ASSERT_TRUE(halted);
    // The add ended cancelled, with the archive whole and unchanged...
    for (const QString& t : boxes.texts) EXPECT_FALSE(t.startsWith("DONE")) << t.toStdString();
    EXPECT_EQ(fixtures::ReadFile(a), before);
    EXPECT_TRUE(w.LogLines().join('\n').contains("cancelled; the archive was not changed"));
    // ... and only then did the test run, to its end.
    QElapsedTimer t;
    t.start();
    while ((testReports == 0 || w.State.Busy) && t.elapsed() < 10000) {
        QApplication::processEvents();
        QThread::msleep(5);
    }
    EXPECT_GT(testReports, 0);
    EXPECT_EQ(testReportsDuringAdd, 0);
    EXPECT_FALSE(w.State.Busy);
    EXPECT_FALSE(w.engine.CancelRequested);
    EXPECT_EQ(w.LogLines().last(), "No Errors found") << w.LogLines().join('\n').toStdString();
}

TEST_F(AppTest, EnterKeepsAPartThatAlreadyExists) {
    const std::string source = MakeZip(
        "source.zip", "for i in range(6):\n    z.writestr('m%d.bin' % i, os.urandom(60000))");
    fixtures::WriteFile(dir_ / "set001.zip", "someone else's file");
    QWidget window;
    kelp::QtHostUi host(&window);
    kelp::engine::ZipEngine zip;
    zip.SetHostUi(&host);
    zip.MaxVolumeSize = 200000;
    zip.MinFreeVolumeSize = 1000;
    QString question;
    QString defaultButton;
    bool pressYes = false;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            question = box->text();
            defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            if (pressYes)
                box->button(QMessageBox::Yes)->click();
            else
                QTest::keyClick(box, Qt::Key_Return);
        }
    });
    answer.start(5);
    EXPECT_NE(zip.WriteSpan(source, dir_ / "set.zip"), 0);
    EXPECT_TRUE(question.contains("set001.zip")) << question.toStdString();
    EXPECT_EQ(defaultButton.remove('&'), "No");
    EXPECT_EQ(fixtures::ReadFile(dir_ / "set001.zip"), "someone else's file");
    // Yes, pressed, replaces it.
    pressYes = true;
    EXPECT_EQ(zip.WriteSpan(source, dir_ / "set.zip"), 0);
    EXPECT_NE(fixtures::ReadFile(dir_ / "set001.zip"), "someone else's file");
}
