// What must not be lost: the question about a part that already exists keeps
// the part when answered with Enter.
#include <QTest>

#include <filesystem>

#include "add_dlg.h"
#include "app_fixture.h"
#include "qt_host_ui.h"

using namespace apptest;
using kelp::Main_sc;
namespace fs = std::filesystem;

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
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            question = box->text();
            defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    answer.start(5);
    EXPECT_NE(zip.WriteSpan(source, dir_ / "set.zip"), 0);
    EXPECT_TRUE(question.contains("set001.zip")) << question.toStdString();
    EXPECT_EQ(defaultButton.remove('&'), "No");
    // Yes replaces it: the engine's span test.
    EXPECT_EQ(fixtures::ReadFile(dir_ / "set001.zip"), "someone else's file");
}
