// Layout and hit testing of the outlook bar: where the group buttons, the
// icon area, the items of the open group and the scroll arrows lie for a
// given size and state. Plain code, called by OutlookBar and by tests.
#pragma once

#include <QRect>
#include <QSize>

#include <vector>

namespace kelp {

enum OutlookHitKind { hkNone, hkButton, hkIcon, hkCaption, hkArrow };

// An element of the bar; arrows are index 1 (up) and 0 (down).
struct OutlookHit {
    OutlookHitKind kind = hkNone;
    int index = -1;
    bool operator==(const OutlookHit&) const = default;
};

struct OutlookLayoutInput {
    QSize size{100, 300};   // the bar's window
    int buttonHeight = 20;  // height of "Wg" in the button font + 4
    int groupCount = 0;
    int selected = -1;     // open group
    int scrollOffset = 0;  // first visible item
    int topSpacing = 4;
    int spacing = 10;
    std::vector<QSize> iconSizes;     // items of the open group
    std::vector<int> captionHeights;  // one per item
};

struct OutlookLayout {
    std::vector<QRect> buttons;   // one per group
    QRect area;                   // the icon area between the open button and the rest
    std::vector<QRect> icons;     // icon rectangles of the open group's items (empty: not shown)
    std::vector<QRect> frames;    // icon rectangles grown by 2
    std::vector<QRect> captions;  // caption rectangles
    QRect upArrow, downArrow;     // empty when not drawn
    int bottomStart = 0;          // top of the first button stacked at the bottom
};

OutlookLayout layoutOutlook(const OutlookLayoutInput& in);
OutlookHit hitTest(const OutlookLayout& layout, const QPoint& p);

// Offset of the block that slides during an animated group change, and the
// distance it travels; step k of the animation moves it by min(5k, distance).
int animationDistance(const OutlookLayout& from, const OutlookLayout& to, int fromGroup,
                      int toGroup);

}  // namespace kelp
