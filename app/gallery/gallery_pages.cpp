#include "gallery_pages.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>

#include <cstdio>

#include "about_box.h"
#include "add_dlg.h"
#include "archive_picker.h"
#include "controls_page.h"
#include "extract_dlg.h"
#include "file_list.h"
#include "folder_list.h"
#include "mm_viewer.h"
#include "name_encoding_dlg.h"
#include "one_operation.h"
#include "options_dlg.h"
#include "password_dlg.h"
#include "sfx_dlg.h"

#ifndef KELP_DATA_DIR
#define KELP_DATA_DIR ""
#endif

namespace kelp::gallery {

namespace {

void WriteFile(const QString& path, const QByteArray& bytes, qint64 size = -1) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return;
    f.write(bytes);
    if (size > 0) f.resize(size);
}

// A folder with sub-folders (one hidden) and files of several sizes.
QString MakeSampleFolder(const QString& root) {
    const QString sample = root + "/sample";
    for (const char* sub : {"docs", "photos", "Projects", ".cache"})
        QDir().mkpath(sample + "/" + sub);
    WriteFile(sample + "/report.txt", "Quarterly report\n", 1234567);
    WriteFile(sample + "/notes.md", "# Notes\n");
    WriteFile(sample + "/budget.csv", "item;cost\n", 45210);
    WriteFile(sample + "/.profile", "# hidden\n");
    WriteFile(sample + "/photos/sea.png", "png", 2048000);
    QFile::copy(QStringLiteral(KELP_DATA_DIR) + "/openme.zip", sample + "/openme.zip");
    return sample;
}

}  // namespace

bool PrintingShell::Open(const QString& target, const QString&) {
    std::printf("open %s\n", qPrintable(target));
    return true;
}

bool PrintingShell::Explore(const QString& folder) {
    std::printf("explore %s\n", qPrintable(folder));
    return true;
}

Gallery::Gallery() {
    if (!work_.isValid()) return;
    qputenv("KELP_CONFIG_HOME", QFile::encodeName(work_.path() + "/config"));
    QDir().mkpath(work_.path() + "/tmp");
    qputenv("TMPDIR", QFile::encodeName(work_.path() + "/tmp"));
    const QString sample = MakeSampleFolder(work_.path());
    const QString dataDir = QDir(QStringLiteral(KELP_DATA_DIR)).absolutePath() + "/";
    {
        platform::SettingsStore store;
        auto put = [&store](const char* name, const QString& v) {
            store.WriteString("Kelp", name, v.toStdString());
        };
        put("InstDir", dataDir);
        put("Ver", "0.1.0");
        put("aot", "0");
        put("SFXDefaultDir", "><");
        put("SFXMessage", "This is Kelp Self Extracting Archive");
        put("SFXCaption", "Self Extracting Archive");
        store.WriteInt("Kelp", "FileBkColor", 0xFFFFFF);
        store.WriteInt("Kelp", "ToolBkColor", 0xC0C0C0);
        put("extractdefault0", sample + "/docs");
        put("extractdefault1", QDir::homePath());
    }

    window_ = std::make_unique<kelp::Main_sc>(QStringList{sample + "/openme.zip"}, &shell_);
    kelp::Main_sc& window = *window_;
    host_ = std::make_unique<kelp::QtHostUi>(&window);
    kelp::QtHostUi& host = *host_;
    PrintingShell& shell = shell_;
    QDir::setCurrent(sample);  // the window starts on the desktop folder

    auto page = [this](const QString& name, QWidget* w, std::function<void()> whenShown = {},
                       std::function<QWidget*()> shot = {}) {
        pages_.push_back({name, w, std::move(whenShown), std::move(shot)});
    };
    controls_.reset(MakeControlsPage());
    page("controls", controls_.get());
    // The size the first start gives the window on a 1600 x 1000 screen.
    window.resize(1066, 666);
    page("main-window", &window);
    // The filter field keeping the text members.
    page("main-window-filtered", &window, [&window] { window.memberFilterEdit->setText(".txt"); });
    // While an operation runs: the halt button and the gauge.
    page("main-window-busy", &window, [&window] {
        window.memberFilterEdit->clear();
        window.haltButton->show();
        window.gauge->setValue(40);
    });
    page("process-viewer", window.Viewer);
    window.LogAdd("Start Time 2026/01/15 10:30:00");
    window.LogAdd("  Tested readme.txt  OK");
    window.LogAdd("End Time 2026/01/15 10:30:01");

    auto* extract = new kelp::ExtractDlg(window.Settings, window.Store, host, &window);
    page("extract-dialog", extract);

    auto* add = new kelp::AddDlg(window.Settings, host, &shell, &window);
    add->folderList()->setDirectory(sample);
    add->setAddedFiles({sample + "/report.txt", sample + "/photos/*.*", sample + "/notes.md"});
    page("add-dialog", add, [add] {
        add->fileList()->setRowSelected(2, true);
        add->fileList()->setRowSelected(6, true);
    });

    page("sfx-dialog", new kelp::SfxDlg(window.Settings, &window));

    // The options dialog on each of its pages.
    window.Settings.Viewer1 = "/usr/bin/eog";
    window.Settings.P1 = "sea-otter";
    auto* options = new kelp::OptionsDlg(window.Settings, &window);
    const char* const optionPages[3] = {"options-viewer", "options-general", "options-interface"};
    for (int n = 0; n < 3; ++n)
        page(optionPages[n], options, [options, n] { options->pages()->setCurrentIndex(n); });

    auto* picker = new kelp::ArchivePicker(&window);
    picker->Zipfiles = {sample + "/openme.zip", work_.path() + "/backup/photos-2025.zip",
                        work_.path() + "/mail/attachments.zip"};
    page("archive-picker", picker);
    // The picker's drop-down, open, as a picture of its own.
    page(
        "archive-picker-list", picker, [picker] { picker->archiveCombo()->showPopup(); },
        [picker] { return picker->archiveCombo()->view()->window(); });
    page("about-box", window.aboutBox);

    // The content viewer with a picture, then with a text.
    {
        QImage picture(400, 260, QImage::Format_RGB32);
        QPainter p(&picture);
        QLinearGradient sky(0, 0, 0, 260);
        sky.setColorAt(0, QColor(90, 160, 230));
        sky.setColorAt(1, QColor(20, 70, 140));
        p.fillRect(picture.rect(), sky);
        p.setBrush(QColor(250, 220, 90));
        p.drawEllipse(QPoint(300, 70), 40, 40);
        p.end();
        picture.save(sample + "/photos/harbour.bmp");
    }
    WriteFile(sample + "/docs/readme.txt",
              "Kelp sample archive\n\nOpen openme.zip to see its members.\n"
              "Double-click a member to view it; pictures, sounds, videos and texts\n"
              "show here.\n");
    auto* content = new kelp::media::MMViewer;
    content_.reset(content);
    content->setMainWindow(&window, 193);
    page("content-viewer", content,
         [content, sample] { content->viewer()->setFileName(sample + "/photos/harbour.bmp"); });
    page("content-viewer-text", content,
         [content, sample] { content->viewer()->setFileName(sample + "/docs/readme.txt"); });

    auto* password = new kelp::PasswordDlg(&window);
    password->setWindowTitle("Password");
    password->Prompt()->setText("Enter password for openme.zip");
    page("password-dialog", password);

    // The name encoding of an archive from a Russian Windows computer: the
    // CP1251 bytes of its names, read as detected.
    kelp::NameSample names;
    for (const char* n : {"\xCE\xF2\xF7\xB8\xF2 \xE7\xE0 \xE3\xEE\xE4.txt",
                          "\xC4\xEE\xE3\xEE\xE2\xEE\xF0 \xE0\xF0\xE5\xED\xE4\xFB.doc"}) {
        names.stored.emplace_back(n);
        names.extras.emplace_back();
        names.flags.push_back(0);
    }
    names.dependent = names.total = 2;
    names.detected = "CP1251";
    auto* encoding = new kelp::NameEncodingDlg("/home/user/Отчёты.zip", names, "", &window);
    page("name-encoding-dialog", encoding);

    // The window of one operation run from a file manager, half-way.
    auto* operation = new kelp::OperationWindow(&window);
    operation->task()->setText("Extracting openme.zip");
    operation->member()->setText("docs/readme.txt");
    operation->gauge()->setValue(60);
    page("operation-window", operation);
}

Gallery::~Gallery() {
    // The content viewer refers to the window, whose children the dialogs are.
    content_.reset();
    window_.reset();
}

}  // namespace kelp::gallery
