// The main window's settings record, edited by the dialogs; fields are named by their stored
// values.
#pragma once

#include <QColor>
#include <QString>

#include <cstdint>

namespace kelp {

// The member initializers are the first-run defaults: what a value that is
// missing from the store (a settings file written by an installer or an
// older Kelp) reads as, and what the first-run set-up puts in place.
struct Settings {
    QString InstDir;  // read from "InstDir", saved as "InitDir"; ends with "/"
    QString Ver;
    QString Viewer1, Viewer2, Viewer3, Viewer4;
    QString Toolback;
    QString SFXDefaultDir = "/";
    QString SFXCaption = "Self Extracting Archive";
    QString SFXMessage = "This is Kelp Self Extracting Archive";
    QString DefExtr, DefOpen, DefAdd;
    bool aot = false;
    bool Addpass = true;
    bool AddSubDirs = false;  // not stored
    bool Extrfold = true;
    bool Extrover = true;
    // Colours as 0x00BBGGRR: black text on white, a silver function panel.
    int32_t FileBkColor = 0xFFFFFF;
    int32_t FileListColor = 0;
    int32_t Toolfont = 0;
    int32_t ToolBkColor = 0xC0C0C0;
    int32_t Progcolor = 0;
    QString P1, P2, P3;  // predefined passwords
    // Beyond the classic set: the content viewer also previews the further
    // picture, sound, video and text types ("MoreTypes"), and a password
    // given on add encrypts with AES-256 instead of ZipCrypto ("AddAES").
    bool MoreTypes = false;
    bool AesAdd = false;
};

// Colours of the record (0x00BBGGRR) to and from Qt's.
inline QColor ColorFromBgr(int32_t c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}
inline int32_t BgrFromColor(const QColor& c) {
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

}  // namespace kelp
