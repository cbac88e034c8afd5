#include "extract_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <cmath>

#include "accessible_name.h"
#include "centre_on_desktop.h"
#include "drive_combo.h"
#include "engine/host_ui.h"
#include "folder_list.h"
#include "reg_combo_box.h"

namespace kelp {

bool MakePath(const QString& path) {
    if (path.isEmpty()) return false;
    QDir().mkpath(path);
    return QFileInfo(path).isDir();
}

ExtractDlg::ExtractDlg(kelp::Settings& settings, platform::SettingsStore& store,
                       engine::HostUi& host, QWidget* parent)
    : QDialog(parent), settings_(settings), host_(host) {
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle("Extract All stuff");

    auto* icon = new QLabel(this);
    icon->setObjectName("icon");
    const int iconSize = style()->pixelMetric(QStyle::PM_LargeIconSize);
    icon->setPixmap(style()->standardIcon(QStyle::SP_DirOpenIcon).pixmap(iconSize, iconSize));
    promptLabel_ = new QLabel("Extract to where?", this);
    promptLabel_->setObjectName("promptLabel");
    extractFolderEdit_ = new RegComboBox(store, this);
    extractFolderEdit_->setObjectName("extractFolderEdit");
    extractFolderEdit_->RegMainKey = "Kelp";
    extractFolderEdit_->RegKeyName = "extractdefault";
    extractFolderEdit_->RegMaxItems = 8;
    extractFolderEdit_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    extractFolderEdit_->setMinimumContentsLength(20);
    promptLabel_->setBuddy(extractFolderEdit_);
    SetAccessibleName(extractFolderEdit_, promptLabel_->text());

    driveCombo_ = new DriveComboBox(this);
    driveCombo_->setObjectName("driveCombo");
    driveCombo_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    driveCombo_->setMinimumContentsLength(12);
    folderList_ = new FolderList(this);
    folderList_->setObjectName("folderList");
    folderList_->setAccessibleName("Folders");

    auto* options = new QGroupBox(this);
    options->setObjectName("optionsPanel");
    useFolderNamesBox_ = new QCheckBox("Use Folder Names", options);
    useFolderNamesBox_->setObjectName("useFolderNamesBox");
    overwriteBox_ = new QCheckBox("OverWrite", options);
    overwriteBox_->setObjectName("overwriteBox");
    selectedOnlyBox_ = new QCheckBox("Extract selected only", options);
    selectedOnlyBox_->setObjectName("selectedOnlyBox");
    auto* optionRows = new QVBoxLayout(options);
    optionRows->addWidget(useFolderNamesBox_);
    optionRows->addWidget(overwriteBox_);
    optionRows->addWidget(selectedOnlyBox_);
    optionRows->addStretch();

    okButton_ = new QPushButton("OK", this);
    okButton_->setObjectName("okButton");
    okButton_->setDefault(true);
    cancelButton_ = new QPushButton("Cancel", this);
    cancelButton_->setObjectName("cancelButton");

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    auto* target = new QVBoxLayout;
    target->addWidget(promptLabel_);
    target->addWidget(extractFolderEdit_);
    top->addLayout(target, 1);
    auto* folders = new QVBoxLayout;
    folders->addWidget(driveCombo_);
    folders->addWidget(folderList_, 1);
    auto* middle = new QHBoxLayout;
    middle->addLayout(folders, 1);
    middle->addWidget(options);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancelButton_);
    buttons->addWidget(okButton_);
    setTabOrder(cancelButton_, okButton_);  // Tab goes left to right, as they stand
    auto* rows = new QVBoxLayout(this);
    rows->addLayout(top);
    rows->addLayout(middle, 1);
    rows->addLayout(buttons);
    setMinimumSize(minimumSizeHint().expandedTo(QSize(356, 185)));
    resize(sizeHint().expandedTo(QSize(420, 300)));

    connect(driveCombo_, &DriveComboBox::OnChange, this,
            [this] { folderList_->setDrive(driveCombo_->Drive()); });
    connect(folderList_, &FolderList::OnChange, this, [this] {
        driveCombo_->setDrive(folderList_->Directory());
        extractFolderEdit_->setEditText(folderList_->Directory());
    });
    connect(selectedOnlyBox_, &QCheckBox::clicked, this, [this](bool checked) {
        setWindowTitle(checked ? "Extract Selected files" : "Extract All files");
    });
    connect(okButton_, &QPushButton::clicked, this, &ExtractDlg::OkClick);
    connect(cancelButton_, &QPushButton::clicked, this, &ExtractDlg::CancelClick);

    extractFolderEdit_->LoadFromStore();
}

bool ExtractDlg::ExtractSelectedOnly() const {
    return selectedOnlyBox_->isChecked();
}

void ExtractDlg::showEvent(QShowEvent* e) {
    // Nothing but the history carries over from the last use.
    useFolderNamesBox_->setChecked(true);
    overwriteBox_->setChecked(true);
    selectedOnlyBox_->setChecked(false);
    setWindowTitle("Extract All stuff");
    Accepted = false;
    Place();
    extractFolderEdit_->setEditText(StartFolder());
    folderList_->setDirectory(extractFolderEdit_->currentText());
    driveCombo_->setDrive(folderList_->Directory());
    QDialog::showEvent(e);
}

void ExtractDlg::Place() {
    const QScreen* screen = QApplication::primaryScreen();
    if (!screen) return;
    if (!shownBefore_) {
        shownBefore_ = true;
        CentreOnDesktop(this);
        return;
    }
    const QRect desk = screen->availableGeometry();
    // The dialog stands lower the further down the panel's icon is, and is
    // kept on the screen.
    const QWidget* main = parentWidget() ? parentWidget()->window() : nullptr;
    const int mainBottom = main ? main->frameGeometry().y() + main->frameGeometry().height() : 0;
    int top = int(std::trunc(mainBottom / 5.0 * SelectedIcon())) + height();
    top = std::max(desk.top(), std::min(top, desk.y() + desk.height() - frameGeometry().height()));
    move(x(), top);
}

void ExtractDlg::OkClick() {
    Accepted = true;
    const QString target = extractFolderEdit_->currentText();
    if (!QFileInfo(target).isDir() && !MakePath(target)) {
        host_.ShowMessage("Cant Create Directory");
        Accepted = false;
    }
    ExtractDir = target;
    settings_.Extrfold = useFolderNamesBox_->isChecked();
    settings_.Extrover = overwriteBox_->isChecked();
    accept();
}

QString ExtractDlg::StartFolder() const {
    // The options dialog's "Default Extract Directory" while it names a
    // folder; else the current folder (the desktop).
    if (!settings_.DefExtr.isEmpty() && QFileInfo(settings_.DefExtr).isDir())
        return settings_.DefExtr;
    return QDir::currentPath();
}

void ExtractDlg::CancelClick() {
    extractFolderEdit_->setEditText(StartFolder());
    Accepted = false;
    reject();
}

void ExtractDlg::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        CancelClick();
        return;
    }
    QDialog::keyPressEvent(e);
}

void ExtractDlg::done(int result) {
    // Every way out records the folder text in the history. An empty text is
    // not recorded: reading the history back stops at the first empty value,
    // so it would hide every older folder.
    if (!extractFolderEdit_->currentText().isEmpty()) {
        extractFolderEdit_->Remember(extractFolderEdit_->currentText());
        extractFolderEdit_->SaveToStore();
    }
    QDialog::done(result);
}

}  // namespace kelp
