#include "about_box.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "centre_on_desktop.h"
#include "color_memo.h"
#include "shell_services.h"

namespace kelp {

namespace {

const char* const kMissingReadme =
    "readme.txt was not found beside Kelp.\n"
    "Please get the latest version of Kelp;\n"
    "its home page tells where.";

const QColor kRed(Qt::red), kBlue(Qt::blue);

}  // namespace

QString AboutBox::LibVersionText(int version) {
    if (version == 0) return QStringLiteral("00");
    return QStringLiteral("%1.%2").arg(version / 100).arg(version % 100, 2, 10, QLatin1Char('0'));
}

AboutBox::AboutBox(const AboutInfo& info, ShellServices* shell, QWidget* parent)
    : QDialog(parent), info_(info), shell_(shell) {
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle("About");
    const QString ver = info.ver.isEmpty() ? QStringLiteral("1.20") : info.ver;
    auto label = [this](const QString& text, const char* name, const QString& hint = {}) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        l->setToolTip(hint);
        return l;
    };

    auto* programIcon = label({}, "programIcon");
    const int iconSize = style()->pixelMetric(QStyle::PM_LargeIconSize) * 2;
    const QPixmap picture = !info.programIcon.isNull()
                                ? info.programIcon
                                : style()->standardIcon(QStyle::SP_DriveHDIcon).pixmap(iconSize);
    programIcon->setPixmap(
        picture.scaled(iconSize, iconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    auto* productName = label("Kelp", "productName");
    QFont big = font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 2);
    productName->setFont(big);
    version_ = label(ver, "versionLabel");
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setUnderline(true);
    version_->setFont(fixed);

    auto* homePageCaption = label("Home Page :", "homePageCaption");
    homePageLink_ = label({}, "homePageLink", "Visit Kelp's home page");
    SetLink(homePageLink_,
            QFileInfo(info.homePage).fileName().isEmpty() ? info.homePage
                                                          : QFileInfo(info.homePage).fileName(),
            kBlue);
    msgBoardLink_ = label({}, "msgBoardLink", "View Kelp's Msg Board, Post Question there");
    SetLink(msgBoardLink_, "Msg Board ", kBlue);
    connect(homePageLink_, &QLabel::linkActivated, this,
            [this] { shell_ ? shell_->Open(info_.homePage, QString()) : false; });
    connect(msgBoardLink_, &QLabel::linkActivated, this,
            [this] { shell_ ? shell_->Open(info_.messageBoard, QString()) : false; });

    notesMemo_ = new ColorMemo(this);
    notesMemo_->setObjectName("notesMemo");
    notesMemo_->setAccessibleName("Notes");
    notesMemo_->setReadOnly(true);
    notesMemo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette memoColours = notesMemo_->palette();
    memoColours.setColor(QPalette::Base, info.listBackground);
    memoColours.setColor(QPalette::Text, info.listText);
    notesMemo_->setPalette(memoColours);
    notesMemo_->setPlainText(kMissingReadme);

    readmeLink_ = label({}, "readmeLink", "View Readme");
    SetLink(readmeLink_, "Readme", kRed);
    licenseLink_ = label({}, "licenseLink", "View License");
    SetLink(licenseLink_, "License", kBlue);
    qaLabel_ = label({}, "qaLabel", "View Question & Answer");
    SetLink(qaLabel_, "Q&A", kBlue);
    connect(readmeLink_, &QLabel::linkActivated, this, &AboutBox::ReadmeClick);
    connect(licenseLink_, &QLabel::linkActivated, this, &AboutBox::LicenseClick);

    zipVersion_ =
        label(LibVersionText(info.zipLibVersion), "zipVersion", "Compression library version");
    unzipVersion_ =
        label(LibVersionText(info.unzipLibVersion), "unzipVersion", "Unzip Dll Version");
    kelpVersion_ = label(ver, "kelpVersion", "Kelp Version");
    okButton_ = new QPushButton("OK", this);
    okButton_->setObjectName("okButton");
    okButton_->setDefault(true);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);

    // Left: icon, name, version and links; right: the notes; below: the
    // library versions and OK.
    auto* left = new QVBoxLayout;
    auto* head = new QHBoxLayout;
    head->addWidget(programIcon);
    auto* names = new QVBoxLayout;
    names->addWidget(productName);
    names->addWidget(version_);
    head->addLayout(names);
    head->addStretch();
    left->addLayout(head);
    auto* home = new QHBoxLayout;
    home->addWidget(homePageCaption);
    home->addWidget(homePageLink_);
    home->addStretch();
    left->addLayout(home);
    left->addWidget(msgBoardLink_);
    auto* notesLinks = new QHBoxLayout;
    notesLinks->addWidget(readmeLink_);
    notesLinks->addWidget(licenseLink_);
    notesLinks->addWidget(qaLabel_);
    notesLinks->addStretch();
    left->addLayout(notesLinks);
    left->addStretch();
    auto* versions = new QGridLayout;
    versions->addWidget(label("KZip Ver :", "zipVersionCaption"), 0, 0);
    versions->addWidget(zipVersion_, 0, 1);
    versions->addWidget(label("KUnzipVer :", "unzipVersionCaption"), 1, 0);
    versions->addWidget(unzipVersion_, 1, 1);
    versions->addWidget(label("KelpVer :", "kelpVersionCaption"), 2, 0);
    versions->addWidget(kelpVersion_, 2, 1);
    versions->setColumnStretch(2, 1);
    left->addLayout(versions);
    auto* top = new QHBoxLayout;
    top->addLayout(left);
    top->addWidget(notesMemo_, 1);
    // Tab takes the links of the left column before the notes beside them.
    setTabOrder(msgBoardLink_, readmeLink_);
    setTabOrder(readmeLink_, licenseLink_);
    setTabOrder(licenseLink_, qaLabel_);
    setTabOrder(qaLabel_, notesMemo_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    setMinimumSize(minimumSizeHint().expandedTo(QSize(464, 207)));
    // Wide enough for the readme's 80-column lines beside the left column.
    const int notesWidth = notesMemo_->fontMetrics().horizontalAdvance(QString(82, 'n'));
    QSize size = sizeHint().expandedTo(QSize(left->sizeHint().width() + notesWidth, 320));
    if (const QScreen* s = QApplication::primaryScreen())
        size = size.boundedTo(s->availableGeometry().size()).expandedTo(minimumSize());
    resize(size);
    CentreOnDesktop(this);

    // The readme from the install folder, the current folder or the program's.
    const QString bin = QCoreApplication::applicationDirPath();
    for (const QString& path : {info.instDir + "readme.txt", QStringLiteral("readme.txt"),
                                bin + "/readme.txt", bin + "/../share/kelp/readme.txt"})
        if (LoadNotes(path)) break;
}

void AboutBox::SetLink(QLabel* label, const QString& text, const QColor& color) {
    // "Q&A" is coloured like the links but leads nowhere.
    const QString format = label == qaLabel_
                               ? QStringLiteral("<span style=\"color:%1\">%2</span>")
                               : QStringLiteral("<a href=\"#\" style=\"color:%1\">%2</a>");
    label->setTextFormat(Qt::RichText);
    label->setText(format.arg(color.name(), text.toHtmlEscaped()));
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
}

bool AboutBox::LoadNotes(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) return false;
    notesMemo_->setPlainText(QString::fromUtf8(file.readAll()));
    return true;
}

void AboutBox::ReadmeClick() {
    ShowInstalledNotes("readme.txt", readmeLink_);
}

void AboutBox::LicenseClick() {
    ShowInstalledNotes("license.txt", licenseLink_);
}

void AboutBox::ShowInstalledNotes(const QString& name, QLabel* link) {
    if (!QFileInfo(info_.instDir + name).isFile()) return;
    // The link of what is shown turns red, the others blue.
    SetLink(readmeLink_, "Readme", link == readmeLink_ ? kRed : kBlue);
    SetLink(licenseLink_, "License", link == licenseLink_ ? kRed : kBlue);
    SetLink(qaLabel_, "Q&A", kBlue);
    LoadNotes(info_.instDir + name);
}

}  // namespace kelp
