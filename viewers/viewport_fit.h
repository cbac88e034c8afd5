// The content viewer's placement arithmetic: where the player's button bar
// sits (the controller) and the rectangle pictures and video fill (the
// viewport), and how a picture is fitted into the viewer.
#pragma once

#include <QRect>

namespace kelp::media {

struct ViewportSettings {
    bool Stretch = false;
    int Left = 0;
    int Top = 20;
    int Width = 200;
    int Height = 200;
    QRect Bounds() const { return QRect(Left, Top, Width, Height); }
    bool operator==(const ViewportSettings&) const = default;
};

// Fits a picture of picWidth x picHeight into a viewer of viewerWidth x
// viewerHeight: a picture larger than the viewer in either direction is
// stretched, keeping its proportions, to the largest size that fits; a
// smaller one keeps its own size unstretched; with no picture (0 x 0) the
// viewport stays. Left and Top never change.
ViewportSettings FitPicture(ViewportSettings viewport, int picWidth, int picHeight, int viewerWidth,
                            int viewerHeight);

}  // namespace kelp::media
