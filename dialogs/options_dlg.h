// The options dialog: external viewer programs, predefined passwords, the
// .zip association, always-on-top, the default folders for open, extract and
// add, and the interface colours with a live preview. It edits the main
// window's settings record: every show reloads the controls from it, OK
// writes them back, Cancel writes nothing.
#pragma once

#include <QDialog>

#include <functional>

#include "dialogs/settings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace kelp {

class ColorSwatch;

class OptionsDlg : public QDialog {
    Q_OBJECT
  public:
    enum Page { ViewerPage = 0, GeneralPage = 1, InterfacePage = 2 };

    explicit OptionsDlg(kelp::Settings& settings, QWidget* parent = nullptr);

    // The main window's routines run on OK and Reset.
    std::function<void()> ApplyInterface = [] {};
    std::function<void()> FirstRunSetup = [] {};
    // The program registered by "&Set as default Zip program"; its folder
    // is the "Program Directory" choice.
    QString ProgramPath;

    bool Accepted = false;  // the last use ended with OK

    // The two fixed default-folder choices, each ending in "/".
    static QString DesktopFolder();
    QString ProgramFolder() const;

    // Makes `programPath` the desktop's program for .zip files; a missing
    // program gets "Error: Program not found: " and nothing is written.
    static void RegisterZip(const QString& programPath, QWidget* parent);

    // One default-folder group: its three choices and the "Other" edit box.
    struct FolderChoice {
        QRadioButton* desktopButton = nullptr;
        QRadioButton* programButton = nullptr;
        QRadioButton* otherButton = nullptr;
        QLineEdit* otherEdit = nullptr;
    };
    enum FolderGroup { OpenFolder = 0, ExtractFolder = 1, AddFolder = 2 };

    QTabWidget* pages() const { return pages_; }
    QLineEdit* viewerEdit(int n) const { return viewerEdits_[n]; }  // 0..3
    QPushButton* viewerBrowseButton(int n) const { return viewerBrowseButtons_[n]; }
    QLineEdit* passwordEdit(int n) const { return passwordEdits_[n]; }  // 0..2
    QCheckBox* moreTypesBox() const { return moreTypesBox_; }
    QRadioButton* zipCryptoButton() const { return zipCryptoButton_; }
    QRadioButton* aesButton() const { return aesButton_; }
    QPushButton* registerButton() const { return registerButton_; }
    QPushButton* unregisterButton() const { return unregisterButton_; }
    QCheckBox* alwaysOnTopBox() const { return alwaysOnTopBox_; }
    const FolderChoice& folderChoice(FolderGroup g) const { return folders_[g]; }
    QLineEdit* backgroundEdit() const { return backgroundEdit_; }
    QPushButton* backgroundBrowseButton() const { return backgroundBrowseButton_; }
    ColorSwatch* toolFontSwatch() const { return toolFontSwatch_; }
    ColorSwatch* toolBackSwatch() const { return toolBackSwatch_; }
    ColorSwatch* gaugeSwatch() const { return gaugeSwatch_; }
    ColorSwatch* listBackSwatch() const { return listBackSwatch_; }
    ColorSwatch* listFontSwatch() const { return listFontSwatch_; }
    QLabel* previewItem() const { return previewItem_; }
    QWidget* previewPanel() const { return previewPanel_; }
    QWidget* previewList() const { return previewList_; }
    QLabel* previewListText() const { return previewListText_; }
    QWidget* previewGauge() const { return previewGauge_; }
    QPushButton* resetButton() const { return resetButton_; }
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    QWidget* BuildViewerPage();
    QWidget* BuildGeneralPage();
    QWidget* BuildInterfacePage();
    FolderChoice BuildFolderGroup(const QString& caption, QWidget* parent, QLayout* into);
    void LoadFolder(FolderGroup g, const QString& value);
    QString FolderValue(FolderGroup g) const;
    void RefreshPreview();
    void PickColor(ColorSwatch* swatch);
    void BrowseProgram(QLineEdit* edit);
    void BrowsePicture();
    bool AreYouSure();
    void OkClick();
    void ResetClick();

    kelp::Settings& settings_;
    QTabWidget* pages_;
    QLineEdit* viewerEdits_[4] = {};
    QPushButton* viewerBrowseButtons_[4] = {};
    QLineEdit* passwordEdits_[3] = {};
    QCheckBox* moreTypesBox_ = nullptr;
    QRadioButton* zipCryptoButton_ = nullptr;
    QRadioButton* aesButton_ = nullptr;
    QPushButton* registerButton_ = nullptr;
    QPushButton* unregisterButton_ = nullptr;
    QCheckBox* alwaysOnTopBox_ = nullptr;
    FolderChoice folders_[3];
    QLineEdit* backgroundEdit_ = nullptr;
    QPushButton* backgroundBrowseButton_ = nullptr;
    ColorSwatch* toolFontSwatch_ = nullptr;
    ColorSwatch* toolBackSwatch_ = nullptr;
    ColorSwatch* gaugeSwatch_ = nullptr;
    ColorSwatch* listBackSwatch_ = nullptr;
    ColorSwatch* listFontSwatch_ = nullptr;
    QLabel* previewItem_ = nullptr;
    QWidget* previewPanel_ = nullptr;
    QWidget* previewList_ = nullptr;
    QLabel* previewListText_ = nullptr;
    QWidget* previewGauge_ = nullptr;
    QPushButton* resetButton_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    bool shownBefore_ = false;
};

}  // namespace kelp
