// The settings record in the per-user store, and the first-run set-up.
#include <QCoreApplication>
#include <QFileInfo>

#include <string>
#include <variant>
#include <vector>

#include "main_sc.h"
#include "options_dlg.h"

namespace kelp {

namespace {

constexpr const char* kKey = "Kelp";

// The stored values that map one to one onto fields of the record, by the
// name each is stored under; loading and saving both walk this table.
using Field = std::variant<QString Settings::*, int32_t Settings::*, bool Settings::*>;
struct StoredField {
    const char* name;
    Field field;
};
const StoredField kFields[] = {
    {"Ver", &Settings::Ver},
    {"Viewer1", &Settings::Viewer1},
    {"Viewer2", &Settings::Viewer2},
    {"Viewer3", &Settings::Viewer3},
    {"Viewer4", &Settings::Viewer4},
    {"SFXDefaultDir", &Settings::SFXDefaultDir},
    {"SFXMessage", &Settings::SFXMessage},
    {"SFXCaption", &Settings::SFXCaption},
    {"Toolback", &Settings::Toolback},
    {"Addpass", &Settings::Addpass},
    {"aot", &Settings::aot},
    {"Toolfont", &Settings::Toolfont},
    {"Progcolor", &Settings::Progcolor},
    {"FileBkColor", &Settings::FileBkColor},
    {"FileListColor", &Settings::FileListColor},
    {"ToolBkColor", &Settings::ToolBkColor},
    {"Extrfold", &Settings::Extrfold},
    {"Extrover", &Settings::Extrover},
    {"DefOpen", &Settings::DefOpen},
    {"DefExtr", &Settings::DefExtr},
    {"DefAdd", &Settings::DefAdd},
    {"P1", &Settings::P1},
    {"P2", &Settings::P2},
    {"P3", &Settings::P3},
    // Kelp's own additions, after the classic values; off until chosen.
    {"MoreTypes", &Settings::MoreTypes},
    {"AddAES", &Settings::AesAdd},
};

}  // namespace

std::vector<QAction*> Main_sc::ViewSwitches() const {
    return {ShowFunctionPanel, ShowQuickLaunch, ShowProgress, ShowStatusBar};
}

void Main_sc::LoadSettings() {
    // Each value the store holds replaces the first-run default; a missing
    // one (an installer's or an older Kelp's file) keeps it.
    Settings = kelp::Settings{};
    auto has = [this](const char* name) { return Store.Read(kKey, name).has_value(); };
    auto load = [&](const char* name, const Field& field) {
        if (!has(name)) return;
        if (auto* s = std::get_if<QString Settings::*>(&field))
            Settings.*(*s) = QString::fromStdString(Store.ReadString(kKey, name));
        else if (auto* n = std::get_if<int32_t Settings::*>(&field))
            Settings.*(*n) = Store.ReadInt(kKey, name);
        else
            Settings.*std::get<bool Settings::*>(field) = Store.ReadBool(kKey, name);
    };
    for (const auto& f : kFields) load(f.name, f.field);
    load("InstDir", &Settings::InstDir);
    // The view switches "show1".."show4" are on unless stored off.
    int n = 1;
    for (QAction* item : ViewSwitches()) {
        const std::string name = "show" + std::to_string(n++);
        item->setChecked(!has(name.c_str()) || Store.ReadBool(kKey, name.c_str()));
    }
}

void Main_sc::SaveSettings() {
    // The install folder is read from "InstDir" and saved as "InitDir", so
    // saving never changes what the next start reads.
    Store.WriteString(kKey, "InitDir", Settings.InstDir.toStdString());
    for (const auto& f : kFields) {
        if (auto* s = std::get_if<QString Settings::*>(&f.field))
            Store.WriteString(kKey, f.name, (Settings.*(*s)).toStdString());
        else if (auto* n = std::get_if<int32_t Settings::*>(&f.field))
            Store.WriteInt(kKey, f.name, Settings.*(*n));
        else
            Store.WriteBool(kKey, f.name, Settings.*std::get<bool Settings::*>(f.field));
    }
    Store.WriteBool(kKey, "Firsttime", false);
    int n = 1;
    for (QAction* item : ViewSwitches())
        Store.WriteBool(kKey, ("show" + std::to_string(n++)).c_str(), item->isChecked());
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
