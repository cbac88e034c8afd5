// The process viewer: its line-end colours and its place beside the main
// window.
#include <QApplication>

#include <gtest/gtest.h>

#include "process_viewer.h"

using kelp::view::Viewer;

TEST(ProcessViewer, ColoursLinesFromTheirFirstMarker) {
    Viewer v;
    v.show();
    auto* memo = v.logMemo();
    memo->setPlainText(
        "No Errors found\nadding x Tested\n  Start Time 10:02\nwas tested\n"
        "Unzipped: a.txt");
    memo->PaintColors(false);
    const QString text = memo->toPlainText();
    auto at = [&](const QString& s) { return memo->colorAt(int(text.indexOf(s))); };
    EXPECT_EQ(at("No Errors"), QColor(128, 128, 0));  // "No Err" is olive
    EXPECT_EQ(at("adding"), QColor(255, 0, 0));
    EXPECT_EQ(at("Tested"), QColor(255, 0, 0));  // the earlier marker wins
    EXPECT_FALSE(memo->colorAt(int(text.indexOf("  Start"))).isValid());
    EXPECT_EQ(at("Start"), QColor(0, 0, 255));
    EXPECT_FALSE(at("tested").isValid());  // markers match case
    EXPECT_EQ(at("Unzipped"), QColor(0, 128, 0));
}

TEST(ProcessViewer, ShowsBesideTheMainWindowAtItsFixedSize) {
    QWidget main;
    main.setGeometry(100, 80, 453, 433);
    main.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    main.show();
    Viewer v;
    v.setMainWindow(&main);
    v.AlwaysOnTop = [] { return true; };
    v.ListBackground = [] { return QColor(1, 2, 3); };
    v.resize(500, 500);
    v.show();
    EXPECT_EQ(v.size(), QSize(259, 193));
    EXPECT_EQ(v.x(), main.frameGeometry().right() + 1);
    EXPECT_EQ(v.logMemo()->palette().color(QPalette::Base), QColor(1, 2, 3));
    EXPECT_FALSE(main.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    v.close();
    EXPECT_TRUE(main.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}
