// The window's pictures, drawn in code: function panel icons, quick-launch
// images, the listing's program and folder images, the halt button's.
#pragma once

#include <QPixmap>

namespace kelp {

// Icon `item` of function panel group `group`, 32 x 32.
QPixmap FunctionPicture(int group, int item);
QPixmap ViewerButtonPicture(int n);  // quick-launch button n (1..4), 16 x 16
QPixmap ViewerWindowsPicture();      // the button that shows the viewer windows
QPixmap ProgramPicture();            // program files in the listing
QPixmap FolderPicture();             // folders in the listing
QPixmap DocumentPicture();           // files of a type without an icon
QPixmap HaltPicture();
QPixmap KelpPicture(int size);  // the program's own picture (about box)

}  // namespace kelp
