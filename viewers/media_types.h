// What the content viewer makes of a file, decided by its extension alone.
#pragma once

#include <QString>

namespace kelp::media {

enum MediaType { mtNone = 0, mtPicture = 1, mtAnimation = 2, mtVideo = 3, mtSound = 4, mtText = 5 };

// The lower-cased extension of a file name with its dot (".bmp"); empty when
// the name has none.
QString LowerExtension(const QString& fileName);

// True when the viewer takes a file with this extension: the classic list
// (".bmp;.jpg;.avi;.ico;.emf;.wmf;.wav;.mid;.rmi;.midi;.mov;.ani;.gif;.txt;
// .rtf;", which the empty extension also passes) and, when `moreTypes` is
// set, the further picture, sound, video and text types.
bool TakesExtension(const QString& extension, bool moreTypes);

// The media type of an extension; mtNone for anything not listed.
MediaType MediaTypeOf(const QString& extension, bool moreTypes);

}  // namespace kelp::media
