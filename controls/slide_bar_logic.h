// Arithmetic of the slide bar: where the thumb sits for a value, which value a
// pointer coordinate means, the effect of keys and clicks, and where the tick
// marks go. Plain code, called by SlideBar and by tests.
#pragma once

#include <QRect>

namespace kelp {

enum Orientation { orVertical, orHorizontal };

struct SlideBarLogic {
    int Min = 1;
    int Max = 10;
    Orientation orientation = orHorizontal;
    int W = 100, H = 15;  // control size
    int w = 0, h = 0;     // thumb picture size

    // Orientation the control takes from its size.
    static Orientation orientationFor(int width, int height) {
        return height <= width ? orHorizontal : orVertical;
    }
    // Thumb rectangle for a position, or for a pointer coordinate along the
    // bar while the thumb is dragged.
    QRect thumbRect(int position, bool dragging = false, int pointer = 0) const;
    // The value a pointer coordinate along the bar stands for, within Min..Max.
    int valueAt(int coord) const;
    // A click that is not a drag moves one value toward the pointer.
    int clickStep(int position, int pointer) const;
    // New position after a key (Qt key code); unknown keys keep the position.
    int keyPosition(int position, int key) const;
    int page() const;
    // Offset of a value's tick mark from the groove's start.
    int tickOffset(int value) const;
    int clamp(int v) const { return v < Min ? Min : (v > Max ? Max : v); }
};

}  // namespace kelp
