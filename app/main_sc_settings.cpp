// The settings record in the per-user store, and the first-run set-up.
#include <QCoreApplication>
#include <QFileInfo>

#include "main_sc.h"
#include "options_dlg.h"

namespace kelp {

namespace {

constexpr const char* kKey = "Kelp";

}  // namespace

void Main_sc::LoadSettings() {
    // Each value the store holds replaces the first-run default; a missing
    // one (an installer's or an older Kelp's file) keeps it.
    Settings = kelp::Settings{};
    auto has = [this](const char* name) { return Store.Read(kKey, name).has_value(); };
    auto str = [&](const char* name, QString& field) {
        if (has(name)) field = QString::fromStdString(Store.ReadString(kKey, name));
    };
    auto num = [&](const char* name, int32_t& field) {
        if (has(name)) field = Store.ReadInt(kKey, name);
    };
    auto flag = [&](const char* name, bool& field) {
        if (has(name)) field = Store.ReadBool(kKey, name);
    };
    auto check = [&](const char* name, QAction* item) {
        // The view switches are on unless stored off.
        item->setChecked(!has(name) || Store.ReadBool(kKey, name));
    };
    str("Viewer1", Settings.Viewer1);
    str("Viewer2", Settings.Viewer2);
    str("Viewer3", Settings.Viewer3);
    str("Viewer4", Settings.Viewer4);
    str("SFXDefaultDir", Settings.SFXDefaultDir);
    str("SFXMessage", Settings.SFXMessage);
    str("SFXCaption", Settings.SFXCaption);
    str("Toolback", Settings.Toolback);
    num("Toolfont", Settings.Toolfont);
    num("Progcolor", Settings.Progcolor);
    num("FileBkColor", Settings.FileBkColor);
    num("FileListColor", Settings.FileListColor);
    num("ToolBkColor", Settings.ToolBkColor);
    flag("Addpass", Settings.Addpass);
    flag("aot", Settings.aot);
    flag("Extrfold", Settings.Extrfold);
    flag("Extrover", Settings.Extrover);
    str("InstDir", Settings.InstDir);
    str("Ver", Settings.Ver);
    str("DefExtr", Settings.DefExtr);
    str("DefAdd", Settings.DefAdd);
    str("DefOpen", Settings.DefOpen);
    check("show1", ShowFunctionPanel);
    check("show2", ShowQuickLaunch);
    check("show3", ShowProgress);
    check("show4", ShowStatusBar);
    str("P1", Settings.P1);
    str("P2", Settings.P2);
    str("P3", Settings.P3);
    // Kelp's own additions, after the classic values; off until chosen.
    flag("MoreTypes", Settings.MoreTypes);
    flag("AddAES", Settings.AesAdd);
}

void Main_sc::SaveSettings() {
    auto str = [this](const char* name, const QString& v) {
        Store.WriteString(kKey, name, v.toStdString());
    };
    auto num = [this](const char* name, int32_t v) { Store.WriteInt(kKey, name, v); };
    auto flag = [this](const char* name, bool v) { Store.WriteBool(kKey, name, v); };
    // The install folder is read from "InstDir" and saved as "InitDir", so
    // saving never changes what the next start reads.
    str("InitDir", Settings.InstDir);
    str("Ver", Settings.Ver);
    str("Viewer1", Settings.Viewer1);
    str("Viewer2", Settings.Viewer2);
    str("Viewer3", Settings.Viewer3);
    str("Viewer4", Settings.Viewer4);
    str("SFXDefaultDir", Settings.SFXDefaultDir);
    str("SFXMessage", Settings.SFXMessage);
    str("SFXCaption", Settings.SFXCaption);
    str("Toolback", Settings.Toolback);
    flag("Addpass", Settings.Addpass);
    flag("aot", Settings.aot);
    flag("Firsttime", false);
    num("Toolfont", Settings.Toolfont);
    num("Progcolor", Settings.Progcolor);
    num("FileBkColor", Settings.FileBkColor);
    num("FileListColor", Settings.FileListColor);
    num("ToolBkColor", Settings.ToolBkColor);
    flag("Extrfold", Settings.Extrfold);
    flag("Extrover", Settings.Extrover);
    str("DefOpen", Settings.DefOpen);
    str("DefExtr", Settings.DefExtr);
    str("DefAdd", Settings.DefAdd);
    flag("show1", ShowFunctionPanel->isChecked());
    flag("show2", ShowQuickLaunch->isChecked());
    flag("show3", ShowProgress->isChecked());
    flag("show4", ShowStatusBar->isChecked());
    str("P1", Settings.P1);
    str("P2", Settings.P2);
    str("P3", Settings.P3);
    flag("MoreTypes", Settings.MoreTypes);
    flag("AddAES", Settings.AesAdd);
    SaveWindowPlace();
}

void Main_sc::FirstRunSetup(bool openSample) {
    if (Confirm("Want to set this as default Unzip program?\r\n(You can set this again in "
                "Option/General)"))
        OptionsDlg::RegisterZip(QCoreApplication::applicationFilePath(), this);
    const kelp::Settings defaults;
    Settings.Toolback = defaults.Toolback;
    Settings.ToolBkColor = defaults.ToolBkColor;
    Settings.Toolfont = defaults.Toolfont;
    Settings.Progcolor = defaults.Progcolor;
    Settings.FileBkColor = defaults.FileBkColor;
    Settings.FileListColor = defaults.FileListColor;
    Settings.aot = defaults.aot;
    Settings.SFXDefaultDir = defaults.SFXDefaultDir;
    Settings.SFXCaption = defaults.SFXCaption;
    Settings.SFXMessage = defaults.SFXMessage;

    if (openSample) {
        const QString sample = Settings.InstDir + "openme.zip";
        Zipfiles.append(sample);
        OpenDialogFiles.append(sample);
        OpenDialogFileName = sample;
        engine.setZipFileName(sample.toStdString());
        ListArchive();
    }
    setWindowTitle("Kelp - Setup");
}

}  // namespace kelp
