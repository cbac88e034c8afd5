#include "one_operation.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <map>
#include <set>

#include "app_images.h"
#include "centre_on_desktop.h"
#include "engine/zip_engine.h"
#include "libs/include/kelp_lib_abi.h"
#include "qt_host_ui.h"

namespace kelp {

namespace {

constexpr int kMaxLinesInBox = 20;

// The first part of a member name: what the archive puts at the top of the
// folder it is extracted into ("\" stands for "/" in names from Windows).
std::string TopLevelName(const std::string& member) {
    size_t start = 0;
    while (start < member.size()) {
        size_t end = member.find_first_of("/\\", start);
        if (end == std::string::npos) end = member.size();
        const std::string part = member.substr(start, end - start);
        if (!part.empty() && part != ".") return part;
        start = end + 1;
    }
    return {};
}

// Everything an operation reports, gathered for one box at its end.
struct Outcome {
    QStringList errors;
    QStringList kept;  // existing files left as they were
};

// Drives the engine for one operation and keeps the window's gauge and
// labels up to date.
class OperationRunner {
  public:
    OperationRunner(OperationWindow& window) : window_(window), host_(&window) {
        zip_.SetHostUi(&host_);
        // Errors are gathered into one box at the end instead of a box each.
        zip_.Unattended = true;
        zip_.setPasswordReqCount(3);
        zip_.OnPasswordError = [this](std::string& password, const std::string& forFile,
                                      uint32_t&) {
            zip_.AskPassword("Password", "Enter the password for " + forFile, password);
            zip_.Password = password;
        };
        zip_.OnMessage = [this](int errCode, const std::string& text) {
            // An engine error counts itself before it is passed on here.
            const bool engineError = zip_.ErrorsReported() != errorsSeen_;
            errorsSeen_ = zip_.ErrorsReported();
            if ((errCode != 0 || engineError) && !window_.Halted())
                outcome_.errors << QString::fromStdString(text);
        };
        zip_.OnProgress = [this](engine::ProgressType type, const std::string& file, int64_t size) {
            Progress(type, file, size);
        };
        zip_.OnExtractOverwrite = [](const std::string&, bool, bool& doOverwrite) {
            doOverwrite = false;  // nothing on disk is replaced without asking
        };
        zip_.OnExtractSkipped = [this](const std::string& file, uint8_t skipType, int) {
            if (skipType == KSKIP_OVERWRITE) outcome_.kept << QString::fromStdString(file);
        };
        window_.OnHalt = [this] { zip_.CancelRequested = true; };
    }

    int Run(const OneOperation& op) {
        if (op.kind == OneOperation::AddTo)
            AddTo(op.target, op.paths);
        else
            for (const QString& archive : op.paths) {
                if (window_.Halted()) break;
                Extract(archive, op);
            }
        if (window_.Halted()) return kOperationFailed;
        if (outcome_.errors.isEmpty() && outcome_.kept.isEmpty()) return kOperationDone;
        ReportOutcome();
        return kOperationFailed;
    }

  private:
    // Opens `archive` in the engine; false, with the reason noted under the
    // archive's name, when its directory cannot be read.
    bool Open(const QString& archive) {
        const qsizetype errorsBefore = outcome_.errors.size();
        zip_.setZipFileName(QFile::encodeName(QFileInfo(archive).absoluteFilePath()).toStdString());
        if (!zip_.ZipFileName().empty()) return true;
        if (outcome_.errors.size() == errorsBefore) outcome_.errors << "cannot read the archive";
        outcome_.errors[errorsBefore] = archive + ": " + outcome_.errors[errorsBefore];
        return false;
    }

    void Extract(const QString& archive, const OneOperation& op) {
        window_.task()->setText("Extracting " + QFileInfo(archive).fileName());
        if (!QFileInfo(archive).isFile()) {
            outcome_.errors << archive + ": no such archive";
            return;
        }
        const qsizetype errorsBefore = outcome_.errors.size();
        if (!Open(archive)) return;
        QString folder = op.target;
        if (op.kind == OneOperation::ExtractHere) {
            std::vector<std::string> names;
            for (const engine::ZipDirEntry& entry : zip_.DirEntries())
                names.emplace_back(entry.MemberName());
            folder = ExtractHereFolder(QFileInfo(archive).absoluteFilePath(), names);
        }
        if (!QDir().mkpath(folder)) {
            outcome_.errors << folder + ": cannot create the folder";
            return;
        }
        engine::ExtractRequest request;
        request.archive = zip_.ZipFileName();
        request.targetDir = QFile::encodeName(QDir(folder).absolutePath()).toStdString();
        request.options = {engine::ExtrDirNames};
        request.password = zip_.Password;
        const qsizetype keptBefore = outcome_.kept.size();
        zip_.Run(request);
        if (zip_.SuccessCount() == 0 && outcome_.kept.size() == keptBefore &&
            outcome_.errors.size() == errorsBefore && zip_.EntryCount() > 0 && !window_.Halted())
            outcome_.errors << archive + ": nothing was extracted";
    }

    void AddTo(const QString& archive, const QStringList& paths) {
        const QString target = QFileInfo(archive).absoluteFilePath();
        window_.task()->setText("Adding to " + QFileInfo(archive).fileName());
        // An existing archive whose directory cannot be read is left alone.
        if (!QFileInfo::exists(target))
            zip_.setZipFileName(QFile::encodeName(target).toStdString());
        else if (!Open(target))
            return;
        // Each file is stored under its own name (and a folder with what it
        // holds, dot-files too), not under the path leading to it: the
        // library names members after the path it is given, so each group
        // of files is added from the folder that holds them.
        std::map<QString, std::vector<engine::AddSource>> byFolder;
        for (const QString& path : paths) {
            const QFileInfo info(path);
            if (!info.exists() && !info.isSymLink()) {
                outcome_.errors << path + ": no such file or folder";
                continue;
            }
            byFolder[info.absolutePath()].push_back(
                {QFile::encodeName(info.fileName()).toStdString(), true, std::nullopt});
        }
        const QString startFolder = QDir::currentPath();
        for (auto& [folder, sources] : byFolder) {
            if (window_.Halted()) break;
            QDir::setCurrent(folder);
            engine::AddRequest request = zip_.AddRequestNow();
            request.options = {engine::AddDirNames, engine::AddSeparateDirs, engine::AddRecurseDirs,
                               engine::AddHiddenFiles};
            request.sources = std::move(sources);
            const qsizetype errorsBefore = outcome_.errors.size();
            zip_.Run(request);
            if (zip_.SuccessCount() == 0 && outcome_.errors.size() == errorsBefore &&
                !window_.Halted())
                outcome_.errors << "Nothing was added from " + folder;
        }
        QDir::setCurrent(startFolder);
    }

    void Progress(engine::ProgressType type, const std::string& file, int64_t size) {
        switch (type) {
            case engine::ptByteTotal:
                total_ = size;
                done_ = 0;
                window_.gauge()->setValue(0);
                break;
            case engine::ptBytesDone:
                done_ += size;
                if (total_ > 0)
                    window_.gauge()->setValue(
                        static_cast<int>(std::clamp<int64_t>(done_ * 100 / total_, 0, 100)));
                break;
            case engine::ptFileStart: {
                QLabel* label = window_.member();
                label->setText(label->fontMetrics().elidedText(QString::fromStdString(file),
                                                               Qt::ElideMiddle, label->width()));
                break;
            }
            default:
                break;
        }
    }

    void ReportOutcome() {
        QStringList lines = outcome_.errors;
        if (!outcome_.kept.isEmpty()) {
            lines << QString("%1 file(s) already there were left as they were:")
                         .arg(outcome_.kept.size());
            lines << outcome_.kept;
        }
        if (lines.size() > kMaxLinesInBox) {
            const qsizetype more = lines.size() - kMaxLinesInBox;
            lines = lines.mid(0, kMaxLinesInBox);
            lines << QString("... and %1 more").arg(more);
        }
        QMessageBox box(QMessageBox::Warning, "Kelp", lines.join('\n'), QMessageBox::Ok, &window_);
        box.exec();
    }

    OperationWindow& window_;
    QtHostUi host_;
    engine::ZipEngine zip_;
    Outcome outcome_;
    int errorsSeen_ = 0;
    int64_t total_ = 0;
    int64_t done_ = 0;
};

}  // namespace

OperationWindow::OperationWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Kelp");
    auto* layout = new QVBoxLayout(this);
    task_ = new QLabel(this);
    QFont bold = task_->font();
    bold.setBold(true);
    task_->setFont(bold);
    member_ = new QLabel(this);
    member_->setMinimumWidth(380);
    gauge_ = new QProgressBar(this);
    gauge_->setRange(0, 100);
    gauge_->setValue(0);
    gauge_->setAccessibleName("Progress");
    halt_ = new QPushButton(QIcon(HaltPicture()), "Halt  !!", this);
    halt_->setIconSize(QSize(32, 32));
    halt_->setAutoDefault(false);
    connect(halt_, &QPushButton::clicked, this, &OperationWindow::Halt);
    layout->addWidget(task_);
    layout->addWidget(member_);
    layout->addWidget(gauge_);
    layout->addWidget(halt_, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    halt_->setFocus();
}

void OperationWindow::reject() {
    Halt();
}

void OperationWindow::Halt() {
    if (halted_) return;
    halted_ = true;
    halt_->setEnabled(false);
    member_->setText("Halting...");
    if (OnHalt) OnHalt();
}

QString ExtractHereFolder(const QString& archive, const std::vector<std::string>& memberNames) {
    const QFileInfo info(archive);
    const QDir beside = info.absoluteDir();
    std::set<std::string> tops;
    for (const std::string& name : memberNames)
        if (const std::string top = TopLevelName(name); !top.empty()) tops.insert(top);
    if (tops.empty()) return beside.absolutePath();
    if (tops.size() == 1 &&
        !QFileInfo::exists(beside.filePath(QFile::decodeName(tops.begin()->c_str()))))
        return beside.absolutePath();
    // "photos.zip" gives "photos" (a name without a suffix, "name (2)").
    QString base = info.fileName().left(info.fileName().lastIndexOf('.'));
    if (base.isEmpty()) base = info.fileName();
    QString folder = beside.filePath(base);
    for (int n = 2; QFileInfo::exists(folder) || QFileInfo(folder).isSymLink(); ++n)
        folder = beside.filePath(QString("%1 (%2)").arg(base).arg(n));
    return folder;
}

int RunOneOperation(const OneOperation& operation) {
    OperationWindow window;
    OneOperation op = operation;
    if (op.kind == OneOperation::ExtractTo && op.target.isEmpty()) {
        // An empty folder asks for one (the file managers' "Extract to…").
        op.target = QFileDialog::getExistingDirectory(
            nullptr, "Extract to", QFileInfo(op.paths.value(0)).absolutePath(),
            QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
        if (op.target.isEmpty()) return kOperationFailed;
    }
    CentreOnDesktop(&window);
    window.show();
    QCoreApplication::processEvents();
    OperationRunner runner(window);
    return runner.Run(op);
}

}  // namespace kelp
