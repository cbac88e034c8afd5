// kelp: the desktop archive manager. Opens the archive named on the command
// line, or runs the first-run set-up with "/INIT".
//
// Environment for tests and benchmarks, each making the program exit when
// done: KELP_GRAB=FILE saves a picture of the main window (a start-up
// question is saved beside it and answered No); KELP_GRAB_VIEWER=FILE tests
// the opened archives and saves a picture of the process viewer.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "main_sc.h"

#ifndef KELP_DATA_DIR
#define KELP_DATA_DIR ""
#endif
#ifndef KELP_VERSION
#define KELP_VERSION "0.1"
#endif

namespace {

// Kelp's data folder: the build tree's data/ when it exists, else data/ or
// ../share/kelp/ beside the program.
QString DataFolder() {
    const QString built = QStringLiteral(KELP_DATA_DIR);
    if (!built.isEmpty() && QFileInfo(built).isDir()) return QDir(built).absolutePath() + "/";
    const QDir bin(QCoreApplication::applicationDirPath());
    for (const QString& rel : {QStringLiteral("../share/kelp"), QStringLiteral("data")})
        if (QFileInfo(bin.filePath(rel)).isDir()) return QDir::cleanPath(bin.filePath(rel)) + "/";
    return QCoreApplication::applicationDirPath() + "/";
}

// Answers --help and --version on standard output, with no display needed;
// returns when neither was asked for.
void AnswerHelpOrVersion(int argc, char** argv) {
    bool asked = false;
    for (int i = 1; i < argc; ++i)
        for (const char* option : {"--help", "-h", "--help-all", "--version", "-v"})
            asked |= !qstrcmp(argv[i], option);
    if (!asked) return;
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName("kelp");
    QCoreApplication::setApplicationVersion(KELP_VERSION);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Kelp, an archive manager for ZIP files: lists the members of the archives named in a "
        "sortable grid, and extracts, tests, adds, deletes, renames and compares them.\n"
        "/INIT runs the first-start set-up again. kelpzip(1) does the same work on the command "
        "line.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("archives", "ZIP archives or self-extracting programs to open.",
                                 "[ARCHIVE...]");
    parser.process(core);  // prints and ends the program
}

}  // namespace

int main(int argc, char** argv) {
    AnswerHelpOrVersion(argc, argv);
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);

    // The installer's part: a store without "InstDir" gets the data folder
    // and the version, and the program starts once with "/INIT".
    {
        platform::SettingsStore store;
        if (!store.Read("Kelp", "InstDir")) {
            store.WriteString("Kelp", "InstDir", DataFolder().toStdString());
            store.WriteString("Kelp", "Ver", KELP_VERSION);
            args.prepend("/INIT");
        }
    }

    // For pictures taken without a person: a box shown during start-up (the
    // first-run question) is saved beside the window's picture and answered No.
    const QString grab = qEnvironmentVariable("KELP_GRAB");
    QTimer startupBox;
    if (!grab.isEmpty()) {
        QObject::connect(&startupBox, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                box->grab().save(grab + ".startup-box.png");
                box->button(QMessageBox::No) ? box->button(QMessageBox::No)->click()
                                             : box->reject();
            }
        });
        startupBox.start(700);
    }

    kelp::Main_sc window(args);
    startupBox.stop();
    window.show();

    const QString grabViewer = qEnvironmentVariable("KELP_GRAB_VIEWER");
    if (!grab.isEmpty() || !grabViewer.isEmpty()) {
        QTimer::singleShot(500, &window, [&] {
            if (!grab.isEmpty()) window.grab().save(grab);
            if (!grabViewer.isEmpty()) {
                window.Dispatch(kelp::actTest);
                QTimer::singleShot(500, &window, [&] {
                    window.Viewer->grab().save(grabViewer);
                    QApplication::quit();
                });
                return;
            }
            QApplication::quit();
        });
    }
    return app.exec();
}
