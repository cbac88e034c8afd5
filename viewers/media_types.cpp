#include "media_types.h"

#include <QFileInfo>
#include <QStringList>

namespace kelp::media {

namespace {

const char* const kTaken =
    ".bmp;.jpg;.avi;.ico;.emf;.wmf;.wav;.mid;.rmi;.midi;.mov;.ani;.gif;.txt;.rtf;";

struct TypeList {
    MediaType type;
    QStringList classic;
    QStringList more;  // only with the "more types" option
};

const TypeList kTypes[] = {
    {mtPicture,
     {".bmp", ".ico", ".wmf", ".emf", ".jpg"},
     {".png", ".jpeg", ".webp", ".svg", ".tif", ".tiff", ".xpm", ".pbm", ".pgm", ".ppm"}},
    {mtAnimation, {".ani", ".gif"}, {}},
    {mtVideo, {".avi", ".mov"}, {".mp4", ".webm", ".mkv", ".m4v", ".ogv", ".mpg", ".mpeg"}},
    {mtSound,
     {".wav", ".mid", ".rmi", ".midi"},
     {".mp3", ".ogg", ".oga", ".flac", ".m4a", ".opus"}},
    {mtText,
     {".txt", ".rtf"},
     {".md", ".markdown", ".log", ".csv", ".json", ".xml", ".ini", ".cfg", ".conf", ".htm", ".html",
      ".c", ".cpp", ".h", ".py", ".sh", ".yml", ".yaml"}},
};

}  // namespace

QString LowerExtension(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix();
    return suffix.isEmpty() ? QString() : "." + suffix.toLower();
}

bool TakesExtension(const QString& extension, bool moreTypes) {
    if (QString(kTaken).contains(extension + ";")) return true;
    return moreTypes && MediaTypeOf(extension, true) != mtNone;
}

MediaType MediaTypeOf(const QString& extension, bool moreTypes) {
    for (const TypeList& t : kTypes)
        if (t.classic.contains(extension) || (moreTypes && t.more.contains(extension)))
            return t.type;
    return mtNone;
}

}  // namespace kelp::media
