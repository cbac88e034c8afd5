// The main window's settings record; fields are named by their stored values.
#pragma once

#include <QColor>
#include <QString>

#include <cstdint>

namespace kelp {

struct Settings {
    QString InstDir;  // read from "InstDir", saved as "InitDir"; ends with "/"
    QString Ver;
    QString Viewer1, Viewer2, Viewer3, Viewer4;
    QString Toolback;
    QString SFXDefaultDir, SFXCaption, SFXMessage;
    QString DefExtr, DefOpen, DefAdd;
    bool aot = true;
    bool Addpass = true;
    bool AddSubDirs = false;  // not stored
    bool Extrfold = true;
    bool Extrover = true;
    // Colours as 0x00BBGGRR.
    int32_t FileBkColor = 0;
    int32_t FileListColor = 0;
    int32_t Toolfont = 0;
    int32_t ToolBkColor = 0;
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
