// The add dialog: a file browser (drive, folders, files) to pick entries from,
// the "File Added" list of file specifications, and the options of the add:
// compression level, the kind of add, folder names, 8.3 names, sub-folders
// and encryption. OK keeps the list and the options as the choices of an add.
#pragma once

#include <QDialog>

#include "dialogs/settings.h"
#include "engine/requests.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kelp::engine {
class HostUi;
}  // namespace kelp::engine

namespace kelp {

class DriveComboBox;
class FileListBox;
class FolderList;
class ShellServices;
class SlideBar;

class AddDlg : public QDialog {
    Q_OBJECT
  public:
    // The action combo's items, in order.
    static const QStringList ActionCaptions;

    // OK writes Choices, and AddSubDirs and Addpass of `settings`; `host`
    // shows message boxes; `shell` opens files from the file list.
    AddDlg(kelp::Settings& settings, engine::HostUi& host, ShellServices* shell,
           QWidget* parent = nullptr);

    bool Accepted = false;  // closed by OK with a non-empty list
    // What to add and how: the sources (the files and folders picked or
    // dropped, as paths; a folder is expanded by the caller), the lines the
    // user typed, the level and the options. The dialog shows the level
    // and the 8.3 switch it holds, and OK replaces those parts.
    engine::AddRequest Choices;

    // The "File Added" list as shown: a file as its full path, a folder as
    // its path followed by "/*.*". The caller clears or fills it before each
    // use.
    QStringList AddedFiles() const;
    // Fills the list with lines the user typed (or edited): add lines, whose
    // wildcards and "<" password syntax the add reads as such.
    void setAddedFiles(const QStringList& specs);
    // Fills the list with files and folders of the file system (a drop):
    // each is taken as the path it is, never read for patterns or syntax.
    void setAddedPaths(const QStringList& paths);
    // Appends one file or folder of the file system to the list.
    void AddPath(const QString& path, bool folder);

    DriveComboBox* driveCombo() const { return driveCombo_; }
    FolderList* folderList() const { return folderList_; }
    FileListBox* fileList() const { return fileList_; }
    QPushButton* selectAllButton() const { return selectAllButton_; }
    QPushButton* selectNoneButton() const { return selectNoneButton_; }
    QLineEdit* selectionEcho() const { return selectionEcho_; }
    QPushButton* addButton() const { return addButton_; }
    QPushButton* deleteButton() const { return deleteButton_; }
    QListWidget* addedList() const { return addedList_; }
    SlideBar* levelBar() const { return levelBar_; }
    QComboBox* actionCombo() const { return actionCombo_; }
    QCheckBox* saveFolderInfoBox() const { return saveFolderInfoBox_; }
    QCheckBox* addSubDirsBox() const { return addSubDirsBox_; }
    QCheckBox* dosNamesBox() const { return dosNamesBox_; }
    QCheckBox* encryptBox() const { return encryptBox_; }
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

    // The file list's selected entries appended to the "File Added" list.
    void AddClick();
    // The selected lines of the "File Added" list removed.
    void DeleteClick();

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void EchoSelection();
    void OkClick();

    kelp::Settings& settings_;
    engine::HostUi& host_;
    DriveComboBox* driveCombo_;
    QPushButton* selectAllButton_;
    QPushButton* selectNoneButton_;
    FolderList* folderList_;
    FileListBox* fileList_;
    QLineEdit* selectionEcho_;
    QPushButton* addButton_;
    QPushButton* deleteButton_;
    QListWidget* addedList_;
    SlideBar* levelBar_;
    QComboBox* actionCombo_;
    QCheckBox* saveFolderInfoBox_;
    QCheckBox* addSubDirsBox_;
    QCheckBox* dosNamesBox_;
    QCheckBox* encryptBox_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
    bool shownBefore_ = false;
    bool defAddApplied_ = false;
    QString appliedDefAdd_;  // the default add folder the browser last went to
};

}  // namespace kelp
