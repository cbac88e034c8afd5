// kelp-gallery: every window and dialog of the program with sample content,
// for a person to look at and try. `--png DIR` renders each one with the
// offscreen platform to DIR/<name>.png and exits.
//
// It works in a temporary folder of its own: settings, a sample folder with
// files and sub-folders, and copies of the bundled sample archive.
#include <QApplication>
#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <vector>

#include "about_box.h"
#include "add_dlg.h"
#include "archive_picker.h"
#include "controls_page.h"
#include "extract_dlg.h"
#include "file_list.h"
#include "folder_list.h"
#include "main_sc.h"
#include "password_dlg.h"
#include "qt_host_ui.h"
#include "mm_viewer.h"
#include "options_dlg.h"
#include "sfx_dlg.h"

#ifndef KELP_DATA_DIR
#define KELP_DATA_DIR ""
#endif

namespace {

// The gallery's shell prints what it would open.
struct PrintingShell : kelp::ShellServices {
    bool Open(const QString& target, const QString&) override {
        std::printf("open %s\n", qPrintable(target));
        return true;
    }
    bool Explore(const QString& folder) override {
        std::printf("explore %s\n", qPrintable(folder));
        return true;
    }
};

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

int main(int argc, char** argv) {
    QString pngDir;
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--png") pngDir = QString::fromLocal8Bit(argv[i + 1]);
    if (!pngDir.isEmpty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir work;
    if (!work.isValid()) return 1;
    qputenv("KELP_CONFIG_HOME", QFile::encodeName(work.path() + "/config"));
    QDir().mkpath(work.path() + "/tmp");
    qputenv("TMPDIR", QFile::encodeName(work.path() + "/tmp"));
    const QString sample = MakeSampleFolder(work.path());
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

    PrintingShell shell;
    kelp::Main_sc window({sample + "/openme.zip"}, &shell);
    kelp::QtHostUi host(&window);
    QDir::setCurrent(sample);  // the window starts on the desktop folder

    // Each window with what to do once it shows.
    struct Page {
        QString name;
        QWidget* widget;
        std::function<void()> whenShown;
        std::function<QWidget*()> shot;  // what to picture, when not the window
    };
    std::vector<Page> pages;
    auto page = [&pages](const QString& name, QWidget* w, std::function<void()> whenShown = {},
                         std::function<QWidget*()> shot = {}) {
        pages.push_back({name, w, std::move(whenShown), std::move(shot)});
    };
    auto* controls = gallery::MakeControlsPage();
    page("controls", controls);
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

    auto* add = new kelp::AddDlg(window.engine, window.Settings, host, &shell, &window);
    add->folderList()->setDirectory(sample);
    add->setAddedFiles({sample + "/report.txt", sample + "/photos/*.*", sample + "/notes.md"});
    page("add-dialog", add, [add] {
        add->fileList()->setRowSelected(2, true);
        add->fileList()->setRowSelected(6, true);
    });

    page("sfx-dialog", new kelp::SfxDlg(window.engine, window.Settings, &window));

    // The options dialog on each of its pages.
    window.Settings.Viewer1 = "/usr/bin/eog";
    window.Settings.P1 = "sea-otter";
    auto* options = new kelp::OptionsDlg(window.Settings, &window);
    const char* const optionPages[3] = {"options-viewer", "options-general", "options-interface"};
    for (int n = 0; n < 3; ++n)
        page(optionPages[n], options, [options, n] { options->pages()->setCurrentIndex(n); });

    auto* picker = new kelp::ArchivePicker(&window);
    picker->Zipfiles = {sample + "/openme.zip", work.path() + "/backup/photos-2025.zip",
                        work.path() + "/mail/attachments.zip"};
    page("archive-picker", picker);
    // The picker's drop-down, open, as a picture of its own.
    page("archive-picker-list", picker, [picker] {
        picker->archiveCombo()->showPopup();
    }, [picker] { return picker->archiveCombo()->view()->window(); });
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
    content->setMainWindow(&window, 193);
    page("content-viewer", content, [content, sample] {
        content->viewer()->setFileName(sample + "/photos/harbour.bmp");
    });
    page("content-viewer-text", content, [content, sample] {
        content->viewer()->setFileName(sample + "/docs/readme.txt");
    });

    auto* password = new kelp::PasswordDlg(&window);
    password->setWindowTitle("Password");
    password->Prompt()->setText("Enter password for openme.zip");
    page("password-dialog", password);

    if (pngDir.isEmpty()) {
        for (Page& page : pages) {
            page.widget->show();
            if (page.whenShown) page.whenShown();
        }
        return app.exec();
    }
    QDir().mkpath(pngDir);
    int failures = 0;
    for (Page& page : pages) {
        page.widget->show();
        if (page.whenShown) page.whenShown();
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
        const QString file = QDir(pngDir).filePath(page.name + ".png");
        QWidget* shot = page.shot ? page.shot() : page.widget;
        if (!shot->grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            ++failures;
        }
        if (shot != page.widget) shot->hide();
        page.widget->hide();
    }
    delete controls;
    return failures ? 1 : 0;
}
