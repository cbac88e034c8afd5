#include "outlook_bar_logic.h"

namespace kelp {

OutlookLayout layoutOutlook(const OutlookLayoutInput& in) {
    OutlookLayout out;
    // The client rectangle is the window shrunk by 1 on every side.
    const int left = 1, top = 1, width = in.size.width() - 2, height = in.size.height() - 2;
    const int bh = in.buttonHeight;
    const int sel = in.selected < in.groupCount ? in.selected : -1;
    out.buttons.resize(in.groupCount);
    int y = top;
    for (int i = 0; i <= sel; ++i) {
        out.buttons[i] = QRect(left, y, width, bh);
        y += bh + 1;
    }
    const int remaining = in.groupCount - sel - 1;
    out.bottomStart = height + 1 - remaining * (bh + 1);
    for (int i = sel + 1, b = out.bottomStart; i < in.groupCount; ++i, b += bh + 1)
        out.buttons[i] = QRect(left, b, width, bh);
    out.area = QRect(left, y, width, std::max(0, out.bottomStart - 1 - y));

    const int n = int(in.iconSizes.size());
    out.icons.assign(n, QRect());
    out.frames.assign(n, QRect());
    out.captions.assign(n, QRect());
    if (sel < 0) return out;
    const int areaBottom = out.area.top() + out.area.height();
    int itemTop = out.area.top() + in.topSpacing;
    for (int i = std::max(0, in.scrollOffset); i < n; ++i) {
        const QSize icon = in.iconSizes[i];
        const int itemHeight = icon.height() + 4 + in.captionHeights[i] + in.spacing;
        if (itemTop + itemHeight >= areaBottom) {
            out.downArrow = QRect(out.area.right() - 5 - 14, areaBottom - 5 - 15, 15, 15);
            break;
        }
        out.icons[i] = QRect(out.area.left() + (out.area.width() - icon.width()) / 2, itemTop + 2,
                             icon.width(), icon.height());
        out.frames[i] = out.icons[i].adjusted(-2, -2, 2, 2);
        out.captions[i] =
            QRect(out.area.left() + 2, itemTop + 36, out.area.width() - 4, in.captionHeights[i]);
        itemTop += itemHeight;
    }
    if (in.scrollOffset > 0)
        out.upArrow = QRect(out.area.right() - 5 - 14, out.area.top() + 5, 15, 15);
    return out;
}

OutlookHit hitTest(const OutlookLayout& l, const QPoint& p) {
    if (l.upArrow.contains(p)) return {hkArrow, 1};
    if (l.downArrow.contains(p)) return {hkArrow, 0};
    for (int i = 0; i < int(l.buttons.size()); ++i)
        if (l.buttons[i].contains(p)) return {hkButton, i};
    for (int i = 0; i < int(l.frames.size()); ++i) {
        if (l.frames[i].contains(p)) return {hkIcon, i};
        if (l.captions[i].contains(p)) return {hkCaption, i};
    }
    return {};
}

int animationDistance(const OutlookLayout& from, const OutlookLayout& to, int fromGroup,
                      int toGroup) {
    if (toGroup > fromGroup)  // buttons below the open one move up to their new place
        return from.bottomStart - to.buttons[fromGroup + 1].top();
    return to.bottomStart - from.buttons[toGroup + 1].top();  // they move down
}

}  // namespace kelp
