#include "add_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
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

#include "accessible_name.h"
#include "centre_on_desktop.h"
#include "drive_combo.h"
#include "engine/host_ui.h"
#include "file_list.h"
#include "folder_list.h"
#include "slide_bar.h"

namespace kelp {

namespace {

// Roles of a "File Added" line that came from the file system: its path
// and the text it was shown with. A line without a path was typed.
constexpr int kPathRole = Qt::UserRole;
constexpr int kShownRole = Qt::UserRole + 1;

// The option each action caption asks for; the first adds none.
const engine::AddOptsEnum kActionOptions[] = {engine::AddFreshen, engine::AddUpdate,
                                              engine::AddMove};

}  // namespace

// Trailing blanks are part of the captions.
const QStringList AddDlg::ActionCaptions = {"Add and Replace Files ", "Refresh Files",
                                            "Update Files ", "Move Files "};

AddDlg::AddDlg(kelp::Settings& settings, engine::HostUi& host, ShellServices* shell,
               QWidget* parent)
    : QDialog(parent), settings_(settings), host_(host) {
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
    folderList_->setAccessibleName("Folders");
    fileList_->setAccessibleName("Files");
    fileList_->setMultiSelect(true);
    fileList_->setOptions(
        {QStringLiteral("*.*"), QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System, true});
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
    fileNameLabel->setBuddy(selectionEcho_);
    addButton_ = named(new QPushButton("Add", this), "addButton");
    deleteButton_ = named(new QPushButton("Delete", this), "deleteButton");

    // Bottom band: the list to add and the options.
    auto* addedHeading = named(new QLabel("File Added", this), "addedHeading");
    addedHeading->setAlignment(Qt::AlignCenter);
    addedHeading->setFrameStyle(QFrame::Panel | QFrame::Raised);
    addedList_ = named(new QListWidget(this), "addedList");
    addedList_->setAccessibleName(addedHeading->text());
    addedList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // A line can be typed over (F2 or a double click): it is then the
    // user's own add line, patterns and all.
    addedList_->setEditTriggers(QAbstractItemView::DoubleClicked |
                                QAbstractItemView::EditKeyPressed);
    auto* levelLabel = named(new QLabel("Compress Level(Low -----> High)", this), "levelLabel");
    levelBar_ = named(new SlideBar(this), "levelBar");
    levelLabel->setBuddy(levelBar_);
    levelBar_->setMin(1);
    levelBar_->setMax(9);
    levelBar_->setThumbStyle(tsSquare1);
    levelBar_->setMinimumHeight(levelBar_->sizeHint().height() + 6);
    auto* actionLabel = named(new QLabel("Action", this), "actionLabel");
    actionCombo_ = named(new QComboBox(this), "actionCombo");
    actionCombo_->setEditable(true);
    actionCombo_->setInsertPolicy(QComboBox::NoInsert);
    actionCombo_->addItems(ActionCaptions);
    actionLabel->setBuddy(actionCombo_);
    SetAccessibleName(actionCombo_, actionLabel->text());
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
    connect(addedList_, &QListWidget::itemChanged, this, [](QListWidgetItem* item) {
        if (item->data(kPathRole).isValid() && item->text() != item->data(kShownRole).toString())
            item->setData(kPathRole, QVariant());
    });
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
    for (const QString& spec : specs) {
        auto* item = new QListWidgetItem(spec);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        addedList_->addItem(item);
    }
}

void AddDlg::setAddedPaths(const QStringList& paths) {
    addedList_->clear();
    for (const QString& path : paths) AddPath(path, QFileInfo(path).isDir());
}

void AddDlg::AddPath(const QString& path, bool folder) {
    QString clean = QDir::cleanPath(path);
    const QString shown = folder ? (clean.endsWith('/') ? clean : clean + '/') + "*.*" : clean;
    auto* item = new QListWidgetItem(shown);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    item->setData(kPathRole, clean);
    item->setData(kShownRole, shown);
    addedList_->addItem(item);
}

void AddDlg::showEvent(QShowEvent* e) {
    Accepted = false;
    selectionEcho_->clear();
    levelBar_->setPosition(std::clamp(Choices.level, 1, 9));
    saveFolderInfoBox_->setChecked(true);
    dosNamesBox_->setChecked(Choices.options.Has(engine::AddForceDOS));
    addSubDirsBox_->setChecked(true);
    encryptBox_->setChecked(settings_.Addpass);
    if (!shownBefore_) {
        shownBefore_ = true;
        CentreOnDesktop(this);
    }
    // The browser starts at the options dialog's "Default Add Directory" and
    // then stays where the user leaves it, until that setting changes.
    if (!defAddApplied_ || appliedDefAdd_ != settings_.DefAdd) {
        defAddApplied_ = true;
        appliedDefAdd_ = settings_.DefAdd;
        if (!settings_.DefAdd.isEmpty() && QFileInfo(settings_.DefAdd).isDir())
            folderList_->setDirectory(settings_.DefAdd);
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
        AddPath(dir + e.name, e.kind == EntryKind::Folder);
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
    Choices.lines.clear();
    Choices.sources.clear();
    for (int i = 0; i < addedList_->count(); ++i) {
        const QListWidgetItem* item = addedList_->item(i);
        const QVariant path = item->data(kPathRole);
        if (path.isValid())
            Choices.sources.push_back({path.toString().toStdString(), false, std::nullopt});
        else
            Choices.lines.push_back(item->text().toStdString());
    }
    Choices.level = levelBar_->Position();
    engine::AddOpts& opts = Choices.options;
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
