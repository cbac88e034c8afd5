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
    auto str = [this](const char* name) {
        return QString::fromStdString(Store.ReadString(kKey, name));
    };
    auto num = [this](const char* name) { return Store.ReadInt(kKey, name); };
    auto flag = [this](const char* name) { return Store.ReadBool(kKey, name); };
    Settings.Viewer1 = str("Viewer1");
    Settings.Viewer2 = str("Viewer2");
    Settings.Viewer3 = str("Viewer3");
    Settings.Viewer4 = str("Viewer4");
    Settings.SFXDefaultDir = str("SFXDefaultDir");
    Settings.SFXMessage = str("SFXMessage");
    Settings.SFXCaption = str("SFXCaption");
    Settings.Toolback = str("Toolback");
    Settings.Toolfont = num("Toolfont");
    Settings.Progcolor = num("Progcolor");
    Settings.FileBkColor = num("FileBkColor");
    Settings.FileListColor = num("FileListColor");
    Settings.ToolBkColor = num("ToolBkColor");
    Settings.Addpass = flag("Addpass");
    Settings.aot = flag("aot");
    Settings.Extrfold = flag("Extrfold");
    Settings.Extrover = flag("Extrover");
    Settings.InstDir = str("InstDir");
    Settings.Ver = str("Ver");
    Settings.DefExtr = str("DefExtr");
    Settings.DefAdd = str("DefAdd");
    Settings.DefOpen = str("DefOpen");
    ShowFunctionPanel->setChecked(flag("show1"));
    ShowQuickLaunch->setChecked(flag("show2"));
    ShowProgress->setChecked(flag("show3"));
    ShowStatusBar->setChecked(flag("show4"));
    Settings.P1 = str("P1");
    Settings.P2 = str("P2");
    Settings.P3 = str("P3");
    // Kelp's own additions, after the classic values; off until chosen
    // (a missing boolean reads as true).
    auto chosen = [&](const char* name) { return Store.Read(kKey, name) && flag(name); };
    Settings.MoreTypes = chosen("MoreTypes");
    Settings.AesAdd = chosen("AddAES");
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
    Settings.Toolback.clear();
    Settings.ToolBkColor = 0xC0C0C0;
    Settings.Toolfont = 0;
    Settings.Progcolor = 0;
    Settings.FileBkColor = 0xFFFFFF;
    Settings.FileListColor = 0;
    Settings.aot = false;
    Settings.SFXDefaultDir = "/";
    Settings.SFXCaption = "Self Extracting Archive";
    Settings.SFXMessage = "This is Kelp Self Extracting Archive";

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
