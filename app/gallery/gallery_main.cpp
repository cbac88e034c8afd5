// kelp-gallery: every window and dialog of the program with sample content,
// for a person to look at and try. `--png DIR` renders each one with the
// offscreen platform to DIR/<name>.png and exits.
#include <QApplication>
#include <QDir>

#include <cstdio>

#include "gallery_pages.h"

int main(int argc, char** argv) {
    QString pngDir;
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--png") pngDir = QString::fromLocal8Bit(argv[i + 1]);
    if (!pngDir.isEmpty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    kelp::gallery::Gallery gallery;
    if (!gallery.valid()) return 1;
    std::vector<kelp::gallery::Page>& pages = gallery.pages();
    if (pngDir.isEmpty()) {
        for (kelp::gallery::Page& page : pages) {
            page.widget->show();
            if (page.whenShown) page.whenShown();
        }
        return app.exec();
    }
    QDir().mkpath(pngDir);
    int failures = 0;
    for (kelp::gallery::Page& page : pages) {
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
    return failures ? 1 : 0;
}
