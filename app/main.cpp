// kelp: the desktop archive manager. Opens the archive named on the command
// line, or runs the first-run set-up with "/INIT"; --extract-here,
// --extract-to and --add-to run one operation with only a progress window.
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

#include <cstdio>

#include "main_sc.h"
#include "one_operation.h"

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

// The program's options: one operation with only a progress window, for
// file managers and scripts.
struct Options {
    QCommandLineOption extractHere{
        "extract-here",
        "Extract each ARCHIVE into its own folder; into a new folder named after the archive "
        "when it holds more than one top-level item (or its one item is already there)."};
    QCommandLineOption extractTo{
        "extract-to", "Extract each ARCHIVE into DIR (an empty DIR asks for the folder).", "DIR"};
    QCommandLineOption addTo{
        "add-to", "Add each FILE (a folder with all it holds) to ARCHIVE, created when missing.",
        "ARCHIVE"};

    // True when the arguments ask for one operation.
    static bool Asked(const QStringList& args) {
        for (const QString& a : args)
            for (const char* name : {"--extract-here", "--extract-to", "--add-to"})
                if (a == name || a.startsWith(QString(name) + "=")) return true;
        return false;
    }

    void Describe(QCommandLineParser& parser) const {
        parser.setApplicationDescription(
            "Kelp, an archive manager for ZIP files: lists the members of the archives named in a "
            "sortable grid, and extracts, tests, adds, deletes, renames and compares them.\n"
            "/INIT runs the first-start set-up again. kelpzip(1) does the same work on the "
            "command line.\n"
            "With --extract-here, --extract-to or --add-to, Kelp does that one operation with a "
            "progress window, asks only for passwords, shows errors in a box and exits with 0 "
            "(done), 1 (failed or halted) or 2 (usage error).");
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOptions({extractHere, extractTo, addTo});
        parser.addPositionalArgument(
            "archives", "ZIP archives or self-extracting programs to open (with --add-to: FILEs).",
            "[ARCHIVE...]");
    }
};

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
    Options().Describe(parser);
    parser.process(core);  // prints and ends the program
}

int UsageError(const QString& message) {
    std::fprintf(stderr, "kelp: %s\nTry 'kelp --help'.\n", qPrintable(message));
    return kelp::kOperationUsage;
}

// Reads the one operation the arguments ask for and runs it; the exit status.
int RunAskedOperation(const QStringList& args) {
    QCoreApplication::setApplicationName("kelp");
    QCoreApplication::setApplicationVersion(KELP_VERSION);
    Options options;
    QCommandLineParser parser;
    options.Describe(parser);
    if (!parser.parse(args)) return UsageError(parser.errorText());
    kelp::OneOperation op;
    op.paths = parser.positionalArguments();
    int chosen = 0;
    if (parser.isSet(options.extractHere)) {
        ++chosen;
        op.kind = kelp::OneOperation::ExtractHere;
    }
    if (parser.isSet(options.extractTo)) {
        ++chosen;
        op.kind = kelp::OneOperation::ExtractTo;
        op.target = parser.value(options.extractTo);
    }
    if (parser.isSet(options.addTo)) {
        ++chosen;
        op.kind = kelp::OneOperation::AddTo;
        op.target = parser.value(options.addTo);
        if (op.target.isEmpty()) return UsageError("--add-to needs an archive");
    }
    if (chosen != 1) return UsageError("give one of --extract-here, --extract-to and --add-to");
    if (parser.values(options.extractTo).size() > 1 || parser.values(options.addTo).size() > 1)
        return UsageError("give one folder or archive");
    if (op.paths.isEmpty())
        return UsageError(op.kind == kelp::OneOperation::AddTo ? "--add-to needs files to add"
                                                               : "name the archives to extract");
    for (const QString& path : op.paths)
        if (path.isEmpty()) return UsageError("a file name is empty");
    return kelp::RunOneOperation(op);
}

}  // namespace

int main(int argc, char** argv) {
    AnswerHelpOrVersion(argc, argv);
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (Options::Asked(args)) return RunAskedOperation(app.arguments());

    // The installer's part: a store without "InstDir" gets the data folder
    // and the version, and the program starts once with "/INIT".
    {
        kelp::platform::SettingsStore store;
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
