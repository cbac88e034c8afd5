#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "outlook_bar.h"

using namespace kelp;

namespace {

QPixmap icon32() {
    QPixmap p(32, 32);
    p.fill(Qt::darkGreen);
    return p;
}

OutlookLayoutInput input(int items, int selected, int height) {
    OutlookLayoutInput in;
    in.size = QSize(100, height);
    in.buttonHeight = 20;
    in.groupCount = 3;
    in.selected = selected;
    in.iconSizes.assign(items, QSize(32, 32));
    in.captionHeights.assign(items, 15);
    return in;
}

}  // namespace

TEST(OutlookLayoutTest, ButtonsItemsAndArrows) {
    OutlookLayoutInput in = input(8, 1, 300);
    OutlookLayout l = layoutOutlook(in);
    // Items are 61 high: three fit in the area.
    EXPECT_FALSE(l.icons[2].isNull());
    EXPECT_TRUE(l.icons[3].isNull());
    EXPECT_FALSE(l.downArrow.isNull());
    EXPECT_TRUE(l.upArrow.isNull());
    EXPECT_EQ(hitTest(l, l.downArrow.center()), (OutlookHit{hkArrow, 0}));
    EXPECT_EQ(hitTest(l, QPoint(50, 10)), (OutlookHit{hkButton, 0}));
    EXPECT_EQ(hitTest(l, l.icons[1].center()), (OutlookHit{hkIcon, 1}));
    EXPECT_EQ(hitTest(l, l.captions[2].center()), (OutlookHit{hkCaption, 2}));

    in.scrollOffset = 1;
    l = layoutOutlook(in);
    EXPECT_TRUE(l.icons[0].isNull());
    EXPECT_EQ(l.icons[1].top(), 49);
    EXPECT_EQ(hitTest(l, l.upArrow.center()), (OutlookHit{hkArrow, 1}));
}

class OutlookBarWidget : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* g : {"Archive", "Extract", "Add/Delete"}) {
            OutlookGroup& group = bar.addGroup(g);
            for (int i = 0; i < 8; ++i) group.addItem(QString("%1 %2").arg(g).arg(i), icon32());
        }
        bar.setSmoothScrolling(false);
        bar.resize(100, 300);
        bar.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    }
    void click(const QPoint& p) { QTest::mouseClick(&bar, Qt::LeftButton, {}, p); }
    OutlookLayout layout() const { return bar.currentLayout(); }
    OutlookBar bar;
};

TEST_F(OutlookBarWidget, GroupChangeAndIconSelection) {
    EXPECT_EQ(bar.SelectedButton(), 0);  // chosen when shown
    QSignalSpy change(&bar, &OutlookBar::OnChange), changing(&bar, &OutlookBar::OnChanging);
    click(layout().buttons[0].center());  // the open group: nothing changes
    EXPECT_EQ(change.size(), 0);
    EXPECT_EQ(changing.size(), 1);

    click(layout().icons[1].center());
    EXPECT_EQ(bar.SelectedIcon(), 1);
    click(layout().buttons[2].center());
    EXPECT_EQ(bar.SelectedButton(), 2);
    EXPECT_EQ(bar.SelectedIcon(), -1);
    EXPECT_EQ(bar.scrollOffset(), 0);

    // Released over another icon than the one pressed: the one under the release.
    QTest::mousePress(&bar, Qt::LeftButton, {}, layout().icons[0].center());
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, layout().icons[2].center());
    EXPECT_EQ(bar.SelectedIcon(), 2);
}

TEST_F(OutlookBarWidget, ArrowsScrollTheItems) {
    ASSERT_FALSE(layout().downArrow.isNull());
    click(layout().downArrow.center());
    EXPECT_EQ(bar.scrollOffset(), 1);
    EXPECT_TRUE(layout().icons[0].isNull());
    ASSERT_FALSE(layout().upArrow.isNull());
    click(layout().upArrow.center());
    EXPECT_EQ(bar.scrollOffset(), 0);
}

TEST_F(OutlookBarWidget, DisabledItemsAndVeto) {
    bar.group(0).item(1).setEnabled(false);
    QSignalSpy iconClick(&bar, &OutlookBar::OnIconClick);
    click(layout().icons[1].center());
    EXPECT_EQ(bar.SelectedIcon(), -1);
    EXPECT_EQ(iconClick.size(), 1);

    QObject::connect(&bar, &OutlookBar::OnChanging, [](bool& canChange) { canChange = false; });
    click(layout().buttons[1].center());
    click(layout().icons[0].center());
    EXPECT_EQ(bar.SelectedButton(), 0);
    EXPECT_EQ(bar.SelectedIcon(), -1);
    EXPECT_EQ(iconClick.size(), 1);
}
