// The process viewer: its line-end colours and its place beside the main
// window.
#include <QAccessible>

#include <gtest/gtest.h>

#include "process_viewer.h"

using kelp::view::Viewer;

TEST(ProcessViewer, ColoursLinesFromTheirFirstMarker) {
    Viewer v;
    v.show();
    kelp::LogView* log = v.logView();
    log->appendLines({"No Errors found", "adding x Tested", "  Start Time 10:02", "was tested",
                      "Unzipped: a.txt"});
    auto at = [&](int line, const QString& s) {
        return log->colorAt(line, int(log->line(line).indexOf(s)));
    };
    EXPECT_EQ(at(0, "No Errors"), QColor(128, 128, 0));  // "No Err" is olive
    EXPECT_EQ(at(1, "adding"), QColor(255, 0, 0));
    EXPECT_EQ(at(1, "Tested"), QColor(255, 0, 0));  // the earlier marker wins
    EXPECT_FALSE(log->colorAt(2, 0).isValid());
    EXPECT_EQ(at(2, "Start"), QColor(0, 0, 255));
    EXPECT_FALSE(at(3, "tested").isValid());  // markers match case
    EXPECT_EQ(at(4, "Unzipped"), QColor(0, 128, 0));
    // Assistive tools see read-only text named after the log, its newest line as value.
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(log);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(QAccessible::Name), "Operation log");
    EXPECT_EQ(a->role(), QAccessible::EditableText);
    EXPECT_TRUE(a->state().readOnly);
    EXPECT_EQ(a->text(QAccessible::Value), "Unzipped: a.txt");
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
    const QFontMetrics fm(v.logView()->font());
    EXPECT_GT(v.logView()->viewport()->width(), fm.horizontalAdvance(QString(57, '-')));
    EXPECT_GT(v.logView()->viewport()->height(), fm.lineSpacing() * 12);
    EXPECT_EQ(v.x(), main.frameGeometry().right() + 1);
    EXPECT_EQ(v.logView()->palette().color(QPalette::Base), QColor(1, 2, 3));
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
