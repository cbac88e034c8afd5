#include "options_dlg.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "centre_on_desktop.h"
#include "color_swatch.h"
#include "platform/folders.h"
#include "platform/zip_association.h"

namespace kelp {

namespace {

void Fill(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, c);
    w->setPalette(p);
}

void SetTextColor(QLabel* label, const QColor& c) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, c);
    label->setPalette(p);
}

QWidget* Shape(QWidget* parent, const char* name) {
    auto* w = new QFrame(parent);
    w->setObjectName(name);
    w->setFrameShape(QFrame::Box);
    w->setAutoFillBackground(true);
    return w;
}

}  // namespace

OptionsDlg::OptionsDlg(kelp::Settings& settings, QWidget* parent)
    : QDialog(parent), ProgramPath(QCoreApplication::applicationFilePath()), settings_(settings) {
    setWindowTitle("Options");
    pages_ = new QTabWidget(this);
    pages_->setObjectName("pages");
    pages_->addTab(BuildViewerPage(), "Viewer");
    pages_->addTab(BuildGeneralPage(), "General");
    pages_->addTab(BuildInterfacePage(), "Interface");
    pages_->setCurrentIndex(InterfacePage);

    okButton_ = new QPushButton("OK", this);
    okButton_->setObjectName("okButton");
    okButton_->setDefault(true);
    cancelButton_ = new QPushButton("Cancel", this);
    cancelButton_->setObjectName("cancelButton");
    auto* strip = new QHBoxLayout;
    strip->addStretch();
    strip->addWidget(cancelButton_);
    strip->addWidget(okButton_);
    setTabOrder(cancelButton_, okButton_);  // Tab goes left to right, as they stand
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_, 1);
    layout->addLayout(strip);
    resize(sizeHint().expandedTo(QSize(499, 373)));

    connect(okButton_, &QPushButton::clicked, this, &OptionsDlg::OkClick);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
}

QWidget* OptionsDlg::BuildViewerPage() {
    auto* page = new QWidget;
    page->setObjectName("viewerPage");
    auto* grid = new QGridLayout(page);
    grid->addWidget(new QLabel("Set up the Viewer, ", page), 0, 0, 1, 3);
    for (int n = 0; n < 4; ++n) {
        auto* label = new QLabel(QString("Viewer%1").arg(n + 1), page);
        viewerEdits_[n] = new QLineEdit(page);
        viewerEdits_[n]->setObjectName(QString("viewer%1Edit").arg(n + 1));
        label->setBuddy(viewerEdits_[n]);
        viewerBrowseButtons_[n] = new QPushButton("Browse", page);
        viewerBrowseButtons_[n]->setObjectName(QString("viewer%1BrowseButton").arg(n + 1));
        QLineEdit* edit = viewerEdits_[n];
        connect(viewerBrowseButtons_[n], &QPushButton::clicked, this,
                [this, edit] { BrowseProgram(edit); });
        grid->addWidget(label, n + 1, 0);
        grid->addWidget(viewerEdits_[n], n + 1, 1);
        grid->addWidget(viewerBrowseButtons_[n], n + 1, 2);
    }
    auto* heading = new QLabel(
        "Set up Predefine password, They will be test first on password error:(Warning: they "
        "are unsecure)",
        page);
    heading->setWordWrap(true);
    grid->addWidget(heading, 5, 0, 1, 3);
    for (int n = 0; n < 3; ++n) {
        auto* label = new QLabel("Password", page);
        passwordEdits_[n] = new QLineEdit(page);
        passwordEdits_[n]->setObjectName(QString("password%1Edit").arg(n + 1));
        passwordEdits_[n]->setEchoMode(QLineEdit::Password);
        passwordEdits_[n]->setToolTip(
            "Kept in plain text in Kelp's settings file (readable only by you)");
        label->setBuddy(passwordEdits_[n]);
        grid->addWidget(label, n + 6, 0);
        grid->addWidget(passwordEdits_[n], n + 6, 1);
    }
    // Kelp's additions to the page: the viewer's further types and the cipher of
    // added files, both off by default so the classic behaviour stands.
    moreTypesBox_ = new QCheckBox("Preview other picture, sound, video and text types", page);
    moreTypesBox_->setObjectName("moreTypesBox");
    grid->addWidget(moreTypesBox_, 9, 0, 1, 3);
    auto* cipher = new QGroupBox("Encryption of added files", page);
    auto* cipherRow = new QHBoxLayout(cipher);
    zipCryptoButton_ = new QRadioButton("ZipCrypto (compatible)", cipher);
    zipCryptoButton_->setObjectName("zipCryptoButton");
    aesButton_ = new QRadioButton("AES-256", cipher);
    aesButton_->setObjectName("aesButton");
    aesButton_->setToolTip("Strong encryption; older unzip programs cannot open such members");
    cipherRow->addWidget(zipCryptoButton_);
    cipherRow->addWidget(aesButton_);
    cipherRow->addStretch();
    grid->addWidget(cipher, 10, 0, 1, 3);
    grid->setRowStretch(11, 1);
    return page;
}

OptionsDlg::FolderChoice OptionsDlg::BuildFolderGroup(const QString& caption, QWidget* parent,
                                                      QLayout* into) {
    auto* group = new QGroupBox(caption, parent);
    auto* rows = new QVBoxLayout(group);
    FolderChoice c;
    c.desktopButton = new QRadioButton("Windows\\Desktop\\", group);
    c.desktopButton->setToolTip(DesktopFolder());
    c.programButton = new QRadioButton("Program Directory", group);
    c.programButton->setToolTip(ProgramFolder());
    c.otherButton = new QRadioButton("Other(please specify)", group);
    c.otherEdit = new QLineEdit(group);
    c.otherEdit->setEnabled(false);
    QLineEdit* edit = c.otherEdit;
    QRadioButton* other = c.otherButton;
    // The edit box is usable exactly while "Other" is the choice.
    connect(c.otherButton, &QRadioButton::toggled, edit,
            [edit, other] { edit->setEnabled(other->isChecked()); });
    rows->addWidget(c.desktopButton);
    rows->addWidget(c.programButton);
    rows->addWidget(c.otherButton);
    rows->addWidget(c.otherEdit);
    into->addWidget(group);
    return c;
}

QWidget* OptionsDlg::BuildGeneralPage() {
    auto* page = new QWidget;
    page->setObjectName("generalPage");
    auto* columns = new QHBoxLayout(page);
    auto* left = new QVBoxLayout;
    registerButton_ = new QPushButton("&Set as default Zip program", page);
    registerButton_->setObjectName("registerButton");
    unregisterButton_ = new QPushButton("&Remove Association", page);
    unregisterButton_->setObjectName("unregisterButton");
    auto* general = new QGroupBox("General", page);
    auto* generalRows = new QVBoxLayout(general);
    alwaysOnTopBox_ = new QCheckBox("Always on top", general);
    alwaysOnTopBox_->setObjectName("alwaysOnTopBox");
    generalRows->addWidget(alwaysOnTopBox_);
    left->addWidget(registerButton_);
    left->addWidget(unregisterButton_);
    left->addWidget(general);
    left->addStretch();
    columns->addLayout(left);
    auto* right = new QVBoxLayout;
    folders_[OpenFolder] = BuildFolderGroup("Default Open Directory", page, right);
    folders_[ExtractFolder] = BuildFolderGroup("Default Extract Directory", page, right);
    folders_[AddFolder] = BuildFolderGroup("Default Add Directory", page, right);
    columns->addLayout(right, 1);

    connect(registerButton_, &QPushButton::clicked, this, [this] {
        if (AreYouSure()) RegisterZip(ProgramPath, this);
    });
    connect(unregisterButton_, &QPushButton::clicked, this, [this] {
        if (AreYouSure()) platform::UnregisterZipAssociation();
    });
    return page;
}

QWidget* OptionsDlg::BuildInterfacePage() {
    auto* page = new QWidget;
    page->setObjectName("interfacePage");
    auto* columns = new QHBoxLayout(page);
    auto* left = new QVBoxLayout;
    auto swatchRow = [this](QGridLayout* grid, int row, const QString& caption, const char* name) {
        auto* swatch = new ColorSwatch;
        swatch->setObjectName(name);
        grid->addWidget(new QLabel(caption), row, 0);
        grid->addWidget(swatch, row, 1);
        connect(swatch, &ColorSwatch::doubleClicked, this, [this, swatch] { PickColor(swatch); });
        return swatch;
    };

    auto* toolbar = new QGroupBox("Toolbar(Double click to change color)", page);
    auto* toolGrid = new QGridLayout(toolbar);
    toolGrid->addWidget(new QLabel("Background", toolbar), 0, 0);
    backgroundEdit_ = new QLineEdit(toolbar);
    backgroundEdit_->setObjectName("backgroundEdit");
    backgroundBrowseButton_ = new QPushButton("Browse", toolbar);
    backgroundBrowseButton_->setObjectName("backgroundBrowseButton");
    toolGrid->addWidget(backgroundEdit_, 1, 0, 1, 2);
    toolGrid->addWidget(backgroundBrowseButton_, 1, 2);
    toolFontSwatch_ = swatchRow(toolGrid, 2, "Font Color", "toolFontSwatch");
    toolBackSwatch_ = swatchRow(toolGrid, 3, "Background Color", "toolBackSwatch");
    left->addWidget(toolbar);

    auto* gaugeGroup = new QGroupBox("Progressbar", page);
    auto* gaugeGrid = new QGridLayout(gaugeGroup);
    gaugeSwatch_ = swatchRow(gaugeGrid, 0, "Progressbar Color", "gaugeSwatch");
    left->addWidget(gaugeGroup);

    auto* listGroup = new QGroupBox("File List", page);
    auto* listGrid = new QGridLayout(listGroup);
    listBackSwatch_ = swatchRow(listGrid, 0, "Background Color", "listBackSwatch");
    listFontSwatch_ = swatchRow(listGrid, 1, "List font Color", "listFontSwatch");
    left->addWidget(listGroup);
    left->addStretch();
    columns->addLayout(left, 1);

    // The preview: a miniature main window with the function panel on the
    // left, the member list under its header and the gauge at the bottom.
    auto* previewGroup = new QGroupBox("Preview", page);
    auto* previewRows = new QVBoxLayout(previewGroup);
    auto* window = new QWidget(previewGroup);
    window->setFixedSize(160, 150);
    previewPanel_ = Shape(window, "previewPanel");
    previewPanel_->setGeometry(0, 0, 44, 110);
    previewItem_ = new QLabel("Item", previewPanel_);
    previewItem_->setGeometry(4, 40, 36, 16);
    previewItem_->setAlignment(Qt::AlignCenter);
    QWidget* box = Shape(window, "previewBox");
    box->setGeometry(0, 110, 44, 40);
    Fill(box, Qt::gray);
    auto* header = new QLabel("Header", window);
    header->setGeometry(44, 0, 116, 16);
    header->setFrameShape(QFrame::Box);
    previewList_ = Shape(window, "previewList");
    previewList_->setGeometry(44, 16, 116, 118);
    previewListText_ = new QLabel("File List", previewList_);
    previewListText_->setGeometry(4, 4, 100, 16);
    previewGauge_ = Shape(window, "previewGauge");
    previewGauge_->setGeometry(44, 134, 60, 16);
    QWidget* rest = Shape(window, "previewGaugeRest");
    rest->setGeometry(104, 134, 56, 16);
    previewRows->addWidget(window, 0, Qt::AlignHCenter);
    resetButton_ = new QPushButton("Reset", previewGroup);
    resetButton_->setObjectName("resetButton");
    previewRows->addWidget(resetButton_, 0, Qt::AlignHCenter);
    previewRows->addStretch();
    columns->addWidget(previewGroup);

    connect(backgroundBrowseButton_, &QPushButton::clicked, this, &OptionsDlg::BrowsePicture);
    connect(resetButton_, &QPushButton::clicked, this, &OptionsDlg::ResetClick);
    return page;
}

QString OptionsDlg::DesktopFolder() {
    return QString::fromStdString(platform::DesktopFolder());
}

QString OptionsDlg::ProgramFolder() const {
    return QFileInfo(ProgramPath).absolutePath() + "/";
}

void OptionsDlg::RegisterZip(const QString& programPath, QWidget* parent) {
    if (!QFileInfo(programPath).isFile()) {
        QMessageBox::information(parent, QCoreApplication::applicationName(),
                                 "Error: Program not found: " + programPath);
        return;
    }
    if (platform::RegisterZipAssociation(programPath.toStdString()))
        platform::RefreshDesktopDatabase();
}

void OptionsDlg::showEvent(QShowEvent* e) {
    Accepted = false;
    alwaysOnTopBox_->setChecked(settings_.aot);
    toolFontSwatch_->setColor(ColorFromBgr(settings_.Toolfont));
    gaugeSwatch_->setColor(ColorFromBgr(settings_.Progcolor));
    listBackSwatch_->setColor(ColorFromBgr(settings_.FileBkColor));
    listFontSwatch_->setColor(ColorFromBgr(settings_.FileListColor));
    toolBackSwatch_->setColor(ColorFromBgr(settings_.ToolBkColor));
    const QString viewers[4] = {settings_.Viewer1, settings_.Viewer2, settings_.Viewer3,
                                settings_.Viewer4};
    for (int n = 0; n < 4; ++n) viewerEdits_[n]->setText(viewers[n]);
    backgroundEdit_->setText(settings_.Toolback);
    passwordEdits_[0]->setText(settings_.P1);
    passwordEdits_[1]->setText(settings_.P2);
    passwordEdits_[2]->setText(settings_.P3);
    moreTypesBox_->setChecked(settings_.MoreTypes);
    (settings_.AesAdd ? aesButton_ : zipCryptoButton_)->setChecked(true);
    LoadFolder(OpenFolder, settings_.DefOpen);
    LoadFolder(ExtractFolder, settings_.DefExtr);
    LoadFolder(AddFolder, settings_.DefAdd);
    RefreshPreview();
    if (!shownBefore_) {
        shownBefore_ = true;
        CentreOnDesktop(this);
    }
    QDialog::showEvent(e);
    okButton_->setFocus();
}

void OptionsDlg::LoadFolder(FolderGroup g, const QString& value) {
    FolderChoice& c = folders_[g];
    // Exact, case-sensitive comparisons: anything else is an "Other" folder.
    if (value == DesktopFolder()) {
        c.desktopButton->setChecked(true);
    } else if (value == ProgramFolder()) {
        c.programButton->setChecked(true);
    } else {
        c.otherButton->setChecked(true);
        c.otherEdit->setText(value);
    }
}

QString OptionsDlg::FolderValue(FolderGroup g) const {
    const FolderChoice& c = folders_[g];
    if (c.desktopButton->isChecked()) return DesktopFolder();
    if (c.programButton->isChecked()) return ProgramFolder();
    return c.otherEdit->text();
}

void OptionsDlg::RefreshPreview() {
    SetTextColor(previewItem_, toolFontSwatch_->color());
    Fill(previewPanel_, toolBackSwatch_->color());
    Fill(previewList_, listBackSwatch_->color());
    SetTextColor(previewListText_, listFontSwatch_->color());
    Fill(previewGauge_, gaugeSwatch_->color());
}

void OptionsDlg::PickColor(ColorSwatch* swatch) {
    QColorDialog dialog(swatch->color(), this);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() == QDialog::Accepted) swatch->setColor(dialog.selectedColor());
    RefreshPreview();
}

void OptionsDlg::BrowseProgram(QLineEdit* edit) {
    QFileDialog dialog(this, "Browse", QFileInfo(edit->text()).absolutePath(),
                       "Programs (*);;Desktop entries (*.desktop)");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    QString chosen = dialog.selectedFiles().first();
    // A desktop entry stands for the program it runs.
    if (chosen.endsWith(".desktop")) {
        const std::string program = platform::DesktopEntryProgram(chosen.toStdString());
        if (!program.empty()) chosen = QString::fromStdString(program);
    }
    if (!QFileInfo(chosen).isExecutable()) {
        QMessageBox::information(this, QCoreApplication::applicationName(),
                                 chosen + " is not a program");
        return;
    }
    edit->setText(chosen);
}

void OptionsDlg::BrowsePicture() {
    QFileDialog dialog(this, "Browse", QFileInfo(backgroundEdit_->text()).absolutePath(),
                       "All (*.bmp *.ico);;Bitmaps (*.bmp);;Icons (*.ico)");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        backgroundEdit_->setText(dialog.selectedFiles().first());
}

bool OptionsDlg::AreYouSure() {
    QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(), "Are you sure?",
                    QMessageBox::Yes | QMessageBox::No, this);
    return box.exec() == QMessageBox::Yes;
}

void OptionsDlg::OkClick() {
    settings_.Viewer1 = viewerEdits_[0]->text();
    settings_.Viewer2 = viewerEdits_[1]->text();
    settings_.Viewer3 = viewerEdits_[2]->text();
    settings_.Viewer4 = viewerEdits_[3]->text();
    settings_.Toolback = backgroundEdit_->text();
    settings_.Progcolor = BgrFromColor(gaugeSwatch_->color());
    settings_.FileBkColor = BgrFromColor(listBackSwatch_->color());
    settings_.FileListColor = BgrFromColor(listFontSwatch_->color());
    settings_.ToolBkColor = BgrFromColor(toolBackSwatch_->color());
    settings_.Toolfont = BgrFromColor(toolFontSwatch_->color());
    settings_.aot = alwaysOnTopBox_->isChecked();
    settings_.P1 = passwordEdits_[0]->text();
    settings_.P2 = passwordEdits_[1]->text();
    settings_.P3 = passwordEdits_[2]->text();
    settings_.MoreTypes = moreTypesBox_->isChecked();
    settings_.AesAdd = aesButton_->isChecked();
    settings_.DefOpen = FolderValue(OpenFolder);
    settings_.DefExtr = FolderValue(ExtractFolder);
    settings_.DefAdd = FolderValue(AddFolder);
    Accepted = true;
    ApplyInterface();
    accept();
}

void OptionsDlg::ResetClick() {
    if (!AreYouSure()) return;
    FirstRunSetup();
    ApplyInterface();
    accept();
}

}  // namespace kelp
