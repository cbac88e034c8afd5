// The extract dialog: asks where the members go (a target folder typed, picked
// in the folder list or taken from the history), whether stored folder names
// are kept, whether existing files are overwritten and whether only the
// selected members are extracted. It keeps the history of target folders.
#pragma once

#include <QDialog>

#include <functional>

#include "dialogs/settings.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace kelp::engine {
class HostUi;
}
namespace kelp::platform {
class SettingsStore;
}

namespace kelp {

class DriveComboBox;
class FolderList;
class RegComboBox;

// Creates every missing folder of `path`, each leading part first; failures
// are left to the caller's check. True when `path` is a folder afterwards.
bool MakePath(const QString& path);

class ExtractDlg : public QDialog {
    Q_OBJECT
  public:
    // `settings` receives Extrfold and Extrover on OK; `store` keeps the
    // history; `host` shows message boxes.
    ExtractDlg(kelp::Settings& settings, platform::SettingsStore& store, engine::HostUi& host,
               QWidget* parent = nullptr);

    // Results of the last use.
    bool Accepted = false;  // OK pressed and the target folder exists
    QString ExtractDir;     // the target as typed or picked
    bool ExtractSelectedOnly() const;
    // The selected icon of the main window's function panel; the dialog's
    // height on screen follows it.
    std::function<int()> SelectedIcon = [] { return 0; };

    RegComboBox* extractFolderEdit() const { return extractFolderEdit_; }
    DriveComboBox* driveCombo() const { return driveCombo_; }
    FolderList* folderList() const { return folderList_; }
    QCheckBox* useFolderNamesBox() const { return useFolderNamesBox_; }
    QCheckBox* overwriteBox() const { return overwriteBox_; }
    QCheckBox* selectedOnlyBox() const { return selectedOnlyBox_; }
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

    void done(int result) override;

  protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    void Place();
    // The folder the dialog offers when shown: the default extract folder.
    QString StartFolder() const;
    void OkClick();
    void CancelClick();

    kelp::Settings& settings_;
    engine::HostUi& host_;
    QLabel* promptLabel_;
    RegComboBox* extractFolderEdit_;
    DriveComboBox* driveCombo_;
    FolderList* folderList_;
    QCheckBox* useFolderNamesBox_;
    QCheckBox* overwriteBox_;
    QCheckBox* selectedOnlyBox_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
    bool shownBefore_ = false;
};

}  // namespace kelp
