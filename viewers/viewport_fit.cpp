#include "viewport_fit.h"

#include <algorithm>
#include <cmath>

namespace kelp::media {

ViewportSettings FitPicture(ViewportSettings v, int picWidth, int picHeight, int viewerWidth,
                            int viewerHeight) {
    if (picWidth > viewerWidth || picHeight > viewerHeight) {
        // Scaled by the tighter of the two directions, so the whole picture
        // shows whatever the viewer's shape: a wide picture takes the
        // viewer's width, a tall one its height.
        const double scale = std::min(double(std::max(viewerWidth, 0)) / std::max(picWidth, 1),
                                      double(std::max(viewerHeight, 0)) / std::max(picHeight, 1));
        v.Stretch = true;
        v.Width = int(std::lround(picWidth * scale));
        v.Height = int(std::lround(picHeight * scale));
    } else if (picWidth != 0 || picHeight != 0) {
        v.Height = picHeight;
        v.Width = picWidth;
        v.Stretch = false;
    }
    return v;
}

}  // namespace kelp::media
