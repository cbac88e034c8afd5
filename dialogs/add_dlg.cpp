#include "add_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>

#include "centre_on_desktop.h"
#include "drive_combo.h"
#include "engine/host_ui.h"
#include "engine/zip_engine.h"
#include "file_list.h"
#include "folder_list.h"
#include "slide_bar.h"

namespace kelp {

namespace {

// The option each action caption asks for; the first adds none.
const engine::AddOptsEnum kActionOptions[] = {engine::AddFreshen, engine::AddUpdate,
                                              engine::AddMove};

}  // namespace

// Trailing blanks are part of the captions.
const QStringList AddDlg::ActionCaptions = {"Add and Replace Files ", "Refresh Files",
                                            "Update Files ", "Move Files "};

AddDlg::AddDlg(engine::ZipEngine& engine, kelp::Settings& settings, engine::HostUi& host,
               ShellServices* shell, QWidget* parent)
    : QDialog(parent), engine_(engine), settings_(settings), host_(host) {
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle("Add");
    auto named = [](auto* w, const char* name) {
        w->setObjectName(name);
        return w;
    };

    // Top band: the file browser.
    driveCombo_ = named(new DriveComboBox(this), "driveCombo");
    selectAllButton_ = named(new QPushButton("Select All", this), "selectAllButton");
    selectNoneButton_ = named(new QPushButton("Select None", this), "selectNoneButton");
    folderList_ = named(new FolderList(this), "folderList");
    fileList_ = named(new FileListBox(shell, this), "fileList");
    fileList_->setMultiSelect(true);
    fileList_->setOptions({QStringLiteral("*.*"),
                           QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System, true});
    fileList_->setDateFormat("yy:MM.dd.");
    auto* browser = named(new QSplitter(Qt::Horizontal, this), "browserSplitter");
    browser->addWidget(folderList_);
    browser->addWidget(fileList_);
    browser->setStretchFactor(0, 2);
    browser->setStretchFactor(1, 3);
    browser->setChildrenCollapsible(false);

    // Middle band: the selection and the buttons that move it.
    auto* fileNameLabel = named(new QLabel("Filename :", this), "fileNameLabel");
    selectionEcho_ = named(new QLineEdit(this), "selectionEcho");
    selectionEcho_->setEnabled(false);
    addButton_ = named(new QPushButton("Add", this), "addButton");
    deleteButton_ = named(new QPushButton("Delete", this), "deleteButton");

    // Bottom band: the list to add and the options.
    auto* addedHeading = named(new QLabel("File Added", this), "addedHeading");
    addedHeading->setAlignment(Qt::AlignCenter);
    addedHeading->setFrameStyle(QFrame::Panel | QFrame::Raised);
    addedList_ = named(new QListWidget(this), "addedList");
    addedList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* levelLabel =
        named(new QLabel("Compress Level(Low -----> High)", this), "levelLabel");
    levelBar_ = named(new SlideBar(this), "levelBar");
    levelBar_->setMin(1);
    levelBar_->setMax(9);
    levelBar_->setThumbStyle(tsSquare1);
    levelBar_->setMinimumHeight(levelBar_->sizeHint().height() + 6);
    auto* actionLabel = named(new QLabel("Action", this), "actionLabel");
    actionCombo_ = named(new QComboBox(this), "actionCombo");
    actionCombo_->setEditable(true);
    actionCombo_->setInsertPolicy(QComboBox::NoInsert);
    actionCombo_->addItems(ActionCaptions);
    actionCombo_->setCurrentIndex(0);
    saveFolderInfoBox_ = named(new QCheckBox("Save Folder info", this), "saveFolderInfoBox");
    addSubDirsBox_ = named(new QCheckBox("Add sub-directory", this), "addSubDirsBox");
    dosNamesBox_ = named(new QCheckBox("Use 8:3 Dos Filename", this), "dosNamesBox");
    encryptBox_ = named(new QCheckBox("Enecypt", this), "encryptBox");
    okButton_ = named(new QPushButton("OK", this), "okButton");
    okButton_->setDefault(true);
    cancelButton_ = named(new QPushButton("Cancel", this), "cancelButton");

    auto* topRow = new QHBoxLayout;
    topRow->addWidget(driveCombo_, 1);
    topRow->addWidget(selectAllButton_);
    topRow->addWidget(selectNoneButton_);
    auto* middleRow = new QHBoxLayout;
    middleRow->addWidget(fileNameLabel);
    middleRow->addWidget(selectionEcho_, 1);
    middleRow->addWidget(addButton_);
    middleRow->addWidget(deleteButton_);
    auto* added = new QVBoxLayout;
    added->setSpacing(0);
    added->addWidget(addedHeading);
    added->addWidget(addedList_, 1);
    auto* options = new QVBoxLayout;
    options->addWidget(levelLabel);
    options->addWidget(levelBar_);
    auto* actionRow = new QHBoxLayout;
    actionRow->addWidget(actionLabel);
    actionRow->addWidget(actionCombo_, 1);
    options->addLayout(actionRow);
    options->addWidget(saveFolderInfoBox_);
    options->addWidget(addSubDirsBox_);
    options->addWidget(dosNamesBox_);
    options->addWidget(encryptBox_);
    options->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    options->addLayout(buttons);
    auto* bottomRow = new QHBoxLayout;
    bottomRow->addLayout(added, 1);
    bottomRow->addLayout(options);
    auto* rows = new QVBoxLayout(this);
    rows->addLayout(topRow);
    rows->addWidget(browser, 3);
    rows->addLayout(middleRow);
    rows->addLayout(bottomRow, 2);
    setMinimumSize(minimumSizeHint().expandedTo(QSize(389, 395)));
    resize(sizeHint().expandedTo(QSize(560, 520)));

    connect(driveCombo_, &DriveComboBox::OnChange, this,
            [this] { folderList_->setDrive(driveCombo_->Drive()); });
    connect(folderList_, &FolderList::OnChange, this, [this] {
        driveCombo_->setDrive(folderList_->Directory());
        fileList_->setDirectory(folderList_->Directory());
        QDir::setCurrent(folderList_->Directory());
    });
    connect(fileList_, &FileListBox::OnChange, this,
            [this] { folderList_->setDirectory(fileList_->Directory()); });
    connect(fileList_, &FileListBox::OnClick, this, &AddDlg::EchoSelection);
    connect(selectAllButton_, &QPushButton::clicked, this, [this] {
        fileList_->selectAll();
        selectionEcho_->setText("*.*");
    });
    connect(selectNoneButton_, &QPushButton::clicked, this, [this] {
        fileList_->clearSelection();
        selectionEcho_->clear();
    });
    connect(addButton_, &QPushButton::clicked, this, &AddDlg::AddClick);
    connect(deleteButton_, &QPushButton::clicked, this, &AddDlg::DeleteClick);
    connect(okButton_, &QPushButton::clicked, this, &AddDlg::OkClick);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    fileList_->setDirectory(folderList_->Directory());
}

QStringList AddDlg::AddedFiles() const {
    QStringList specs;
    for (int i = 0; i < addedList_->count(); ++i) specs.append(addedList_->item(i)->text());
    return specs;
}

void AddDlg::setAddedFiles(const QStringList& specs) {
    addedList_->clear();
    addedList_->addItems(specs);
}

void AddDlg::showEvent(QShowEvent* e) {
    Accepted = false;
    selectionEcho_->clear();
    levelBar_->setPosition(std::clamp(engine_.AddCompLevel, 1, 9));
    saveFolderInfoBox_->setChecked(true);
    dosNamesBox_->setChecked(engine_.AddOptions.Has(engine::AddForceDOS));
    addSubDirsBox_->setChecked(true);
    encryptBox_->setChecked(settings_.Addpass);
    if (!shownBefore_) {
        shownBefore_ = true;
        CentreOnDesktop(this);
    }
    QDialog::showEvent(e);
}

void AddDlg::EchoSelection() {
    QString echo;
    for (int row : fileList_->SelectedRows())
        echo += '"' + fileList_->listModel()->entries()[row].Text() + "\" ";
    selectionEcho_->setText(echo);
}

void AddDlg::AddClick() {
    QString dir = folderList_->Directory();
    if (!dir.endsWith('/')) dir += '/';
    for (int row : fileList_->SelectedRows()) {
        const FileEntry& e = fileList_->listModel()->entries()[row];
        if (e.kind == EntryKind::Parent) continue;
        addedList_->addItem(e.kind == EntryKind::Folder ? dir + e.name + "/*.*" : dir + e.name);
    }
}

void AddDlg::DeleteClick() {
    for (int i = addedList_->count() - 1; i >= 0; --i)
        if (addedList_->item(i)->isSelected()) delete addedList_->takeItem(i);
}

void AddDlg::OkClick() {
    if (addedList_->count() == 0) {
        host_.ShowMessage("no files added");
        return;
    }
    Accepted = true;
    engine_.FSpecArgs.clear();
    for (const QString& spec : AddedFiles()) engine_.FSpecArgs.push_back(spec.toStdString());
    engine_.AddCompLevel = levelBar_->Position();
    engine::AddOpts& opts = engine_.AddOptions;
    saveFolderInfoBox_->isChecked() ? opts.Include(engine::AddDirNames)
                                    : opts.Exclude(engine::AddDirNames);
    dosNamesBox_->isChecked() ? opts.Include(engine::AddForceDOS)
                              : opts.Exclude(engine::AddForceDOS);
    for (engine::AddOptsEnum o : kActionOptions) opts.Exclude(o);
    // A caption typed rather than chosen matches no item and adds nothing.
    const int action = actionCombo_->findText(actionCombo_->currentText());
    if (action >= 1 && action <= 3) opts.Include(kActionOptions[action - 1]);
    settings_.AddSubDirs = addSubDirsBox_->isChecked();
    settings_.Addpass = encryptBox_->isChecked();
    accept();
}

}  // namespace kelp
