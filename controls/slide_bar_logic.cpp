#include "slide_bar_logic.h"

#include <Qt>

#include <algorithm>
#include <cmath>

namespace kelp {

namespace {
// Nearest integer, halves to even.
int roundEven(double v) {
    return int(std::nearbyint(v));
}
}  // namespace

QRect SlideBarLogic::thumbRect(int position, bool dragging, int pointer) const {
    const int span = Max - Min;
    if (orientation == orHorizontal) {
        int left = dragging ? pointer - w / 2
                            : (span ? roundEven(double(position - Min) * (W - w) / span) : 0);
        left = std::clamp(left, 0, std::max(0, W - w));
        return QRect(left, (H - h) / 2, w, h);
    }
    int top = dragging ? pointer - h / 2
                       : H - h - (span ? roundEven(double(position - Min) * (H - h) / span) : 0);
    top = std::clamp(top, 0, std::max(0, H - h));
    return QRect((W - w) / 2, top, w, h);
}

int SlideBarLogic::valueAt(int coord) const {
    const int span = Max - Min;
    double v;
    if (orientation == orHorizontal) {
        const int len = W - w / 2;
        v = len > 0 ? double(coord) / len * span + Min : Min;
    } else {
        const int len = H - h / 2;
        v = len > 0 ? double(len - coord) / len * span + Min : Min;
    }
    return clamp(roundEven(v));
}

int SlideBarLogic::clickStep(int position, int pointer) const {
    const QRect r = thumbRect(position);
    if (orientation == orHorizontal) {
        const int m = r.left() + w / 2;
        return clamp(position + (m < pointer ? 1 : m > pointer ? -1 : 0));
    }
    const int m = r.top() + h / 2;  // larger y is lower on screen
    return clamp(position + (m > pointer ? 1 : m < pointer ? -1 : 0));
}

int SlideBarLogic::page() const {
    return std::max(1, (Max - Min) / 10);
}

int SlideBarLogic::keyPosition(int position, int key) const {
    const bool horz = orientation == orHorizontal;
    switch (key) {
        case Qt::Key_PageUp:
            return std::max(position - page(), Min);
        case Qt::Key_PageDown:
            return std::min(position + page(), Max);
        case Qt::Key_End:
            return horz ? Max : Min;
        case Qt::Key_Home:
            return horz ? Min : Max;
        case Qt::Key_Left:
        case Qt::Key_Down:
            return position > Min ? position - 1 : position;
        case Qt::Key_Up:
        case Qt::Key_Right:
            return position < Max ? position + 1 : position;
        default:
            return position;
    }
}

int SlideBarLogic::tickOffset(int value) const {
    if (Max == Min) return 0;
    const int length = orientation == orHorizontal ? W : H;
    const int thumb = orientation == orHorizontal ? w : h;
    const int off = int(std::trunc(double(value - Min) * (length - thumb) / (Max - Min)));
    return value == Max ? off - 1 : off;  // the last tick stays inside the groove
}

}  // namespace kelp
