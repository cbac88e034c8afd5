// The process viewer: its line-end colours and its place beside the main
// window.
#include <QApplication>
#include <QScreen>

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

TEST(ProcessViewer, ShowsBesideTheMainWindowLargeEnoughForItsLines) {
    QWidget main;
    main.setGeometry(10, 80, 200, 300);
    main.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    main.show();
    Viewer v;
    v.setMainWindow(&main);
    v.AlwaysOnTop = [] { return true; };
    v.ListBackground = [] { return QColor(1, 2, 3); };
    v.resize(500, 500);
    v.show();
    // 259 by 193 at least, and always the same whatever the user did.
    EXPECT_EQ(v.size(), v.LogSize());
    EXPECT_GE(v.width(), 259);
    EXPECT_GE(v.height(), 193);
    // The log's 57-hyphen separator and a dozen lines show without scrolling.
    const QFontMetrics fm(v.logMemo()->font());
    EXPECT_GT(v.logMemo()->viewport()->width(), fm.horizontalAdvance(QString(57, '-')));
    EXPECT_GT(v.logMemo()->viewport()->height(), fm.lineSpacing() * 12);
    EXPECT_EQ(v.x(), main.frameGeometry().right() + 1);
    EXPECT_EQ(v.logMemo()->palette().color(QPalette::Base), QColor(1, 2, 3));
    EXPECT_FALSE(main.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    v.close();
    EXPECT_TRUE(main.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    // A main window near the screen's right edge: the log moves left as far
    // as it takes to stay on the screen.
    const QRect area = main.screen()->availableGeometry();
    main.setGeometry(area.right() - 300, 80, 250, 300);
    v.show();
    EXPECT_EQ(v.frameGeometry().right(), area.right());
}
