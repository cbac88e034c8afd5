// The gallery's page of custom controls.
#pragma once

class QWidget;

namespace kelp::gallery {

// A window with the outlook bar, the sortable grid, slide bars and the
// colour-rule memo, each filled with sample content.
QWidget* MakeControlsPage();

}  // namespace kelp::gallery
