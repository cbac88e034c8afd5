#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include "slide_bar.h"

using namespace kelp;

TEST(SlideBarLogicTest, ThumbPlacementAndPointerValues) {
    SlideBarLogic l;
    l.Min = 1, l.Max = 9, l.W = 100, l.H = 15, l.w = 11, l.h = 13;
    EXPECT_EQ(l.thumbRect(1), QRect(0, 1, 11, 13));
    EXPECT_EQ(l.thumbRect(9).left(), 89);
    EXPECT_EQ(l.thumbRect(5).left(), 44);             // 4 * 89 / 8 = 44.5, halves to even
    EXPECT_EQ(l.thumbRect(5, true, 500).left(), 89);  // dragged past the end
    EXPECT_EQ(l.valueAt(-40), 1);
    EXPECT_EQ(l.valueAt(400), 9);
    EXPECT_EQ(l.valueAt(95), 9);
    EXPECT_EQ(l.valueAt(47), 5);  // 47 / 95 * 8 + 1 = 4.96
    EXPECT_EQ(l.clickStep(1, 90), 2);
    EXPECT_EQ(l.clickStep(9, 2), 8);
    EXPECT_EQ(l.clickStep(9, 95), 9);  // clamped at Max
    EXPECT_EQ(l.tickOffset(1), 0);
    EXPECT_EQ(l.tickOffset(9), 88);  // one pixel inside the groove's end
}

TEST(SlideBarLogicTest, KeysAndVerticalBars) {
    SlideBarLogic l;
    l.Min = 1, l.Max = 9;
    EXPECT_EQ(l.keyPosition(5, Qt::Key_PageDown), 6);  // page is at least 1
    l.Min = 0, l.Max = 100;
    EXPECT_EQ(l.keyPosition(50, Qt::Key_PageDown), 60);
    EXPECT_EQ(l.keyPosition(95, Qt::Key_PageDown), 100);
    EXPECT_EQ(l.keyPosition(5, Qt::Key_PageUp), 0);
    EXPECT_EQ(l.keyPosition(0, Qt::Key_Left), 0);
    EXPECT_EQ(l.keyPosition(50, Qt::Key_Home), 0);
    l.orientation = orVertical;
    l.W = 15, l.H = 100, l.w = 13, l.h = 13;
    EXPECT_EQ(l.keyPosition(50, Qt::Key_Home), 100);
    EXPECT_EQ(l.keyPosition(50, Qt::Key_End), 0);
    EXPECT_EQ(l.thumbRect(100).top(), 0);  // Max at the top
    EXPECT_EQ(l.thumbRect(0).top(), 87);   // Min at the bottom
    EXPECT_EQ(l.clickStep(50, 0), 51);     // a click above the thumb steps up
    EXPECT_EQ(SlideBarLogic::orientationFor(15, 100), orVertical);
    EXPECT_EQ(SlideBarLogic::orientationFor(20, 20), orHorizontal);
}

class SlideBarWidget : public ::testing::Test {
  protected:
    void SetUp() override {
        bar.setMax(9);
        bar.setThumbStyle(tsSquare1);
        bar.setPosition(5);
        bar.resize(100, 15);
        bar.show();
        bar.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&bar));
        bar.setFocus();
    }
    SlideBar bar;
};

TEST_F(SlideBarWidget, KeysClicksAndDrags) {
    QTest::keyClick(&bar, Qt::Key_End);
    EXPECT_EQ(bar.Position(), 9);
    QTest::keyClick(&bar, Qt::Key_Left);
    EXPECT_EQ(bar.Position(), 8);
    QTest::keyClick(&bar, Qt::Key_Home);
    EXPECT_EQ(bar.Position(), 1);
    // A click far right of the thumb moves one value.
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(95, 7));
    EXPECT_EQ(bar.Position(), 2);
    // Drag the thumb beyond the right end.
    const QPoint thumb = bar.thumbRect().center();
    QTest::mousePress(&bar, Qt::LeftButton, {}, thumb);
    QMouseEvent move(QEvent::MouseMove, QPointF(300, 7), bar.mapToGlobal(QPointF(300, 7)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&bar, &move);
    EXPECT_EQ(bar.Position(), 9);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(300, 7));
    EXPECT_EQ(bar.Position(), 9);
}

TEST_F(SlideBarWidget, TallShapeTurnsVertical) {
    bar.resize(15, 100);
    QApplication::processEvents();
    EXPECT_EQ(bar.Orientation(), orVertical);
    QTest::keyClick(&bar, Qt::Key_Home);
    EXPECT_EQ(bar.Position(), 9);
    EXPECT_EQ(bar.thumbRect().top(), 0);
}
