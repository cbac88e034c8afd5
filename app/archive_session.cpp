// The session's dispatcher, its member records and listing, and the engine's
// events: every archive operation runs through RunAction, which refuses to
// start while another runs, does the work on all opened archives and brings
// the session back to idle.
#include "archive_session.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMimeDatabase>
#include <QTimer>

#include <stdlib.h>

#include <algorithm>

#include "platform/folders.h"
#include "platform/freed_memory.h"
#include "platform/ticks.h"

namespace kelp {

const QString LogSeparator(57, QLatin1Char('-'));

namespace {

// Tried when the predefined password for a try is empty.
const char* const kFallbackPassword = "Vorn";

QString Now() {
    const QLocale locale;
    const QDateTime now = QDateTime::currentDateTime();
    return locale.toString(now.date(), QLocale::ShortFormat) + " " +
           locale.toString(now.time(), QLocale::LongFormat);
}

}  // namespace

ArchiveSession::ArchiveSession(SessionUi& ui, engine::HostUi& host, ShellServices& shell)
    : ui_(ui), shell_(shell) {
    TempPath = MakePrivateTempFolder();
    engine.SetHostUi(&host);
    engine.Verbose = false;
    engine.Trace = false;
    engine.Unattended = false;
    engine.SFXPath = "KelpSFX.bin";
    engine.SFXOverWriteMode = engine::OvrConfirm;
    engine.SFXCaption = "Self-extracting Archive";
    engine.KeepFreeOnDisk1 = 0;
    engine.setPasswordReqCount(6);
    engine.OnDirUpdate = [this] { ui_.DirectoryRead(); };
    engine.OnProgress = [this](engine::ProgressType t, const std::string& f, int64_t s) {
        EngineProgress(t, f, s);
    };
    engine.OnMessage = [this](int code, const std::string& m) { EngineMessage(code, m); };
    engine.OnPasswordError = [this](std::string& p, const std::string& f, uint32_t& n) {
        EnginePasswordError(p, f, n);
    };
    engine.OnExtractOverwrite = [this](const std::string& f, bool older, bool& over) {
        EngineExtractOverwrite(f, older, over);
    };
}

ArchiveSession::~ArchiveSession() {
    DeleteTempFiles();
    engine.UnloadZipLib();
    engine.UnloadUnzipLib();
}

// --- Records and listing ------------------------------------------------------

QString ArchiveSession::TypeName(const QString& fileName) {
    // Type names depend on the extension only; ask the database once each.
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString key = dot >= 0 ? fileName.mid(dot).toLower() : fileName;
    auto it = typeNames_.constFind(key);
    if (it != typeNames_.constEnd()) return *it;
    static const QMimeDatabase db;
    const QString name = db.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).comment();
    return *typeNames_.insert(key, name.left(80));
}

void ArchiveSession::ListArchive() {
    const QString archive = QString::fromStdString(engine.ZipFileName());
    // A further archive is appended below the records already listed; the
    // first one replaces them. With no archive opened the named one counts
    // as first.
    const bool further = !Zipfiles.isEmpty() && archive != Zipfiles.first();
    if (!further || !rows_)
        rows_ =
            std::make_shared<MemberRows>([this](const QString& name) { return TypeName(name); });
    if (engine.EntryCount() == 0) {
        if (!further) ui_.ShowEmptyListing();
        return;
    }
    const uint32_t first = rows_->Count();
    const int64_t total = rows_->Append(engine.DirEntries(), archive);
    ui_.ShowListing(first, total);
}

void ArchiveSession::ListAllArchives() {
    ui_.ClearListing();
    for (const QString& z : Zipfiles) {
        engine.setZipFileName(z.toStdString());
        ListArchive();
    }
}

std::vector<ArchiveSession::MemberRef> ArchiveSession::RecordMember(uint32_t record) const {
    if (!rows_ || record >= rows_->Count()) return {};
    return {MemberRef{std::string(rows_->Name(record)), rows_->Entry(record)}};
}

std::vector<ArchiveSession::MemberRef> ArchiveSession::SelectedMembers(
    const QString& archive) const {
    std::vector<MemberRef> members;
    if (!rows_) return members;
    for (uint32_t record : ui_.SelectedRecords())
        if (record < rows_->Count() && rows_->Archive(record) == archive)
            members.push_back({std::string(rows_->Name(record)), rows_->Entry(record)});
    return members;
}

std::optional<std::vector<std::string>> ArchiveSession::ExactNames(
    const std::vector<MemberRef>& members) {
    const engine::DirEntryList entries = engine.DirEntries();
    std::vector<std::string> names;
    for (const MemberRef& m : members) {
        if (m.entry < entries.size() && entries[m.entry].MemberName() == m.name) {
            names.push_back(m.name);
            continue;
        }
        ui_.ShowMessage(QString::fromStdString(engine.ZipFileName()) +
                        " has changed since it was listed; nothing was done with it. The list is "
                        "read again: please select the members once more.");
        QTimer::singleShot(0, this, [this] { Dispatch(actRefresh); });
        return std::nullopt;
    }
    return names;
}

QString ArchiveSession::MemberPath(uint32_t record) const {
    if (!rows_ || record >= rows_->Count()) return {};
    const std::string_view name = rows_->Name(record);
    return QFile::decodeName(QByteArray(name.data(), qsizetype(name.size())));
}

QString ArchiveSession::MemberFileName(uint32_t record) const {
    const QString path = MemberPath(record);
    return path.mid(
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) + 1);
}

QString ArchiveSession::ExtractForViewing(uint32_t record, const QString& folder) {
    const std::vector<MemberRef> member = RecordMember(record);
    if (member.empty() || !HaveTempPath()) return {};
    const uint8_t action = State.CurrentAction;
    State.CurrentAction = actView;  // TimedExtract records the file for removal
    const QString target = folder.isEmpty() ? TempPath : folder;
    // The record's own archive, which need not be the current one.
    engine.setZipFileName(rows_->Archive(record).toStdString());
    if (std::optional<std::vector<std::string>> names = ExactNames(member))
        TimedExtract({engine.ZipFileName(), std::move(*names), true, target.toStdString(),
                      engine::ExtrOpts{engine::ExtrOverWrite}, engine.Password});
    State.CurrentAction = action;
    const QString file = target + MemberFileName(record);
    return QFileInfo(file).isFile() ? file : QString();
}

// --- Dispatcher ---------------------------------------------------------------

void ArchiveSession::Dispatch(uint8_t action) {
    if (State.Busy) {
        // While a halted action is still stopping, the action asked for runs
        // when it has ended; otherwise a running action refuses others.
        if (haltRequested_) pendingAction_ = action;
        return;
    }
    State.CurrentAction = action;
    RunAction();
}

void ArchiveSession::RunAction() {
    const uint8_t action = State.CurrentAction;
    if (State.Busy) return;
    if (engine.ZipFileName().empty() && action != actNew && action != actOpen) return;
    State.Busy = true;
    haltRequested_ = false;
    ui_.ActionStarting();
    // 0, 15, 16 and every number above 19 have no operation of their own:
    // they run only the common ending.
    if (action == actNone || action == 15 || action == 16 || action > actRefresh) {
        EndAction();
        return;
    }
    switch (action) {
        case actNew:
            ActionNew();
            break;
        case actOpen:
            ActionOpen();
            break;
        case actAdd:
            ActionAdd();
            break;
        case actAddDropped:
            ActionAddDropped();
            break;
        case actExtractAll:
            if (Zipfiles.isEmpty()) {
                EarlyEnd();
                return;
            }
            ActionExtractAll(ExtractAllFolder);
            break;
        case actExtract:
            ActionExtract();
            break;
        case actCheckout:
            ActionCheckout();
            break;
        case actTest:
            ActionTest();
            break;
        case actDelete:
            // Nothing selected: nothing to ask about.
            if (ui_.SelectedRowCount() == 0) {
                EarlyEnd();
                return;
            }
            ActionDelete();
            break;
        case actView: {
            const std::vector<uint32_t> selected = ui_.SelectedRecords();
            if (selected.empty() || rows_->IsFolder(selected.front())) {
                EarlyEnd();
                return;
            }
            ActionView(selected.front());
            break;
        }
        case actMakeExe:
            if (!ActionMakeExe()) {
                EarlyEnd();
                return;
            }
            break;
        case actMakeZip:
            ActionMakeZip();
            break;
        case actRemoveZip:
            if (ActionRemoveZip()) {
                EarlyEnd();
                return;
            }
            break;
        case actListArchives:
            ActionListArchives();
            break;
        case actShowComment:
            ActionShowComment();
            break;
        case actChangeComment:
            ActionChangeComment();
            break;
        case actRefresh:
            ListAllArchives();
            break;
    }
    EndAction();
}

void ArchiveSession::EndAction() {
    if (!Zipfiles.isEmpty()) engine.setZipFileName(Zipfiles.first().toStdString());
    engine.Password.clear();
    State.CurrentAction = actNone;
    State.Busy = false;
    engine.CancelRequested = false;
    haltRequested_ = false;
    ui_.ActionEnded(true);
    RunPendingAction();
    // Listing, testing or extracting a large archive frees a record per
    // member at the end; without this the process would keep that memory.
    platform::ReturnFreedMemory();
}

void ArchiveSession::EarlyEnd() {
    State.Busy = false;
    State.CurrentAction = actNone;
    haltRequested_ = false;
    ui_.ActionEnded(false);
    RunPendingAction();
}

void ArchiveSession::RunPendingAction() {
    if (pendingAction_ == actNone) return;
    const uint8_t action = pendingAction_;
    pendingAction_ = actNone;
    // On the next turn of the event loop, once the ended action has unwound.
    QTimer::singleShot(0, this, [this, action] { Dispatch(action); });
}

bool ArchiveSession::Halt() {
    // Asks the library to stop; the running action keeps the session busy
    // until its call has returned and the common ending has run, so nothing
    // started meanwhile can clear the request (an action asked for in the
    // meantime runs after the ending, see Dispatch).
    if (!State.Busy) return false;
    engine.CancelRequested = true;
    // The loops over the opened archives stop too.
    haltRequested_ = true;
    return true;
}

void ArchiveSession::CheckArchives() {
    if (State.Busy) return;
    checkStructure_ = true;
    Dispatch(actTest);
    checkStructure_ = false;
}

void ArchiveSession::TimedExtract(const engine::ExtractRequest& request) {
    if (State.CurrentAction == actView)
        for (const std::string& spec : request.members)
            Delfiles.append(QString::fromStdString(spec));
    const uint32_t before = platform::TickCount();
    try {
        engine.Run(request);
    } catch (...) {
        ui_.ShowMessage("Error on DLL");
    }
    const uint32_t after = platform::TickCount();
    ui_.LogAdd(QString("Time used: %1 ms")
                   .arg(static_cast<int64_t>(after) - static_cast<int64_t>(before)));
}

void ArchiveSession::WriteLogMark(LogMark mark) {
    switch (mark) {
        case lmStart:
            State.LastError.clear();
            ui_.ClearLog();
            ui_.LogAdd("Start Time " + Now());
            ui_.LogAdd(LogSeparator);
            break;
        case lmSeparator:
            ui_.LogAdd(LogSeparator);
            break;
        case lmEnd:
            ui_.LogAdd(LogSeparator);
            ui_.LogAdd("End Time " + Now());
            ui_.LogAdd(State.LastError.isEmpty() ? QString("No Errors found")
                                                 : "Error found :" + State.LastError);
            break;
    }
}

// --- Temporary folders --------------------------------------------------------

QString ArchiveSession::MakePrivateTempFolder() {
    // Members are viewed and dragged out through a folder of this run's own, made
    // with mode 0700 under the temporary folder, so nobody else can plant a
    // file or link under the names Kelp writes.
    std::string pattern = platform::TempFolder() + "kelp-XXXXXX";
    if (!mkdtemp(pattern.data())) return QString();
    return QString::fromStdString(pattern) + "/";
}

QString ArchiveSession::MakeCheckoutFolder() {
    // The user's own copy: under the temporary folder, named by the time,
    // but outside this run's private folder, so that it stays when Kelp
    // closes. mkdtemp makes it new (never a folder or link someone else put
    // there) and private to the user.
    const QString stamp = QDateTime::currentDateTime().toString("yyyyMMdd-hhmmss");
    std::string pattern =
        platform::TempFolder() + "kelp-checkout-" + stamp.toStdString() + "-XXXXXX";
    if (!mkdtemp(pattern.data())) return QString();
    return QString::fromStdString(pattern);
}

bool ArchiveSession::HaveTempPath() {
    if (!TempPath.isEmpty()) return true;
    ui_.ShowMessage("Cannot create a private folder in " +
                    QString::fromStdString(platform::TempFolder()));
    return false;
}

void ArchiveSession::DeleteTempFiles() {
    if (TempPath.isEmpty()) return;
    for (const QString& entry : Delfiles) {
        const QString path = TempPath + QFileInfo(entry).fileName();
        if (QFileInfo(path).isFile()) QFile::remove(path);
    }
    // The rest of the run's folder (drag-out copies, anything a library
    // left) goes with it; checkouts are made elsewhere and stay.
    QDir(TempPath).removeRecursively();
    TempPath.clear();
}

// --- Engine events ------------------------------------------------------------

void ArchiveSession::EngineProgress(engine::ProgressType type, const std::string&,
                                    int64_t fileSize) {
    if (type == engine::ptBytesDone) {
        State.DoneBytes += fileSize;
        int64_t percent = 100;
        if (State.TotalBytes != 0)
            percent = static_cast<int64_t>(static_cast<long double>(State.DoneBytes) /
                                           State.TotalBytes * 100.0L);
        ui_.SetGauge(static_cast<int>(std::clamp<int64_t>(percent, 0, 100)));
    } else if (type == engine::ptByteTotal) {
        switch (State.CurrentAction) {
            case actExtract:
                State.TotalBytes = State.SelectedBytes;
                break;
            case actExtractAll:
            case actCheckout:
            case actTest:
            case actDelete:
            case actView:
                State.TotalBytes = fileSize;
                break;
            default:
                break;
        }
        State.DoneBytes = 0;
    }
}

void ArchiveSession::EngineMessage(int errCode, const std::string& message) {
    if (StartupOpen) StartupFailed = true;
    ui_.LogAddUtf8(message);
    if (errCode > 0 && !engine.Unattended) State.LastError = QString::fromStdString(message);
}

void ArchiveSession::EnginePasswordError(std::string& newPassword, const std::string& forFile,
                                         uint32_t& repeatCount) {
    // The three predefined passwords answer the first three tries silently.
    const QString* predefined = repeatCount == 6   ? &Settings.P1
                                : repeatCount == 5 ? &Settings.P2
                                : repeatCount == 4 ? &Settings.P3
                                                   : nullptr;
    if (predefined) {
        engine.Password =
            predefined->isEmpty() ? std::string(kFallbackPassword) : predefined->toStdString();
        newPassword = engine.Password;
        return;
    }
    engine.AskPassword(
        "EnterPassword",
        "Extracting " + forFile + " Plz enter password(" + std::to_string(repeatCount) + ")",
        newPassword);
    engine.Password = newPassword.substr(0, 255);
}

void ArchiveSession::EngineExtractOverwrite(const std::string& forFile, bool, bool& doOverwrite) {
    Settings.Extrover = doOverwrite;
    if (State.CurrentAction == actView) {
        doOverwrite = true;
        return;
    }
    if (doOverwrite) return;
    const SessionUi::Overwrite answer = ui_.AskOverwrite(QString::fromStdString(forFile));
    if (answer == SessionUi::Overwrite::YesToAll) Settings.Extrover = true;
    doOverwrite = answer != SessionUi::Overwrite::No;
}

}  // namespace kelp
