// What assistive technology learns of the custom controls, which Qt's own
// widget accessibility knows only as plain widgets: the outlook bar is a
// list of pages (its groups), the slide bar a slider with its value.
#pragma once

namespace kelp {

// Installs the controls' accessibility factory once; each custom control
// calls it when it is created.
void InstallControlAccessibility();

}  // namespace kelp
