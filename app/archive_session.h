// The archive session: the program's state, the engine, the opened archives
// and the records of their listed members, and the dispatcher that runs every
// archive operation on them. It holds no widgets: whatever needs a person or
// a screen (questions, dialogs, the selection, the listing, the log, the
// gauge) it asks of a SessionUi, which the main window implements and tests
// can implement with scripted answers.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/settings.h"
#include "engine/zip_engine.h"
#include "member_rows.h"
#include "shell_services.h"

namespace kelp {

// Action numbers of the dispatcher.
enum ActionNumber : uint8_t {
    actNone = 0,
    actNew = 1,
    actOpen = 2,
    actAdd = 3,
    actAddDropped = 4,
    actExtractAll = 5,
    actExtract = 6,
    actCheckout = 7,
    actTest = 8,
    actDelete = 9,
    actView = 10,
    actMakeExe = 11,
    actMakeZip = 12,
    actRemoveZip = 13,
    actListArchives = 14,
    actShowComment = 17,
    actChangeComment = 18,
    actRefresh = 19
};

// State shared by the actions and the window between actions.
struct ProgramState {
    bool Busy = false;
    uint8_t CurrentAction = actNone;
    int64_t SelectedBytes = 0;
    int64_t TotalBytes = 0;
    int64_t DoneBytes = 0;
    QString LastError;
};

enum LogMark { lmStart, lmEnd, lmSeparator };

// The separator line of the operation log: 57 hyphens.
extern const QString LogSeparator;

// What the session needs from the window: a person's answers and a screen.
class SessionUi {
  public:
    virtual ~SessionUi() = default;

    // --- Messages and questions
    virtual void ShowMessage(const QString& text) = 0;
    virtual bool Confirm(const QString& text, bool warning) = 0;
    enum class Overwrite { No, Yes, YesToAll };
    // Whether an extraction replaces the existing `file`.
    virtual Overwrite AskOverwrite(const QString& file) = 0;
    // The file a new archive is to be; "" when cancelled.
    virtual QString AskNewArchive(const QString& folder) = 0;
    // The archives to open; none when cancelled.
    virtual QStringList AskOpenArchives(const QString& folder) = 0;
    // The new archive comment; nullopt when cancelled.
    virtual std::optional<QString> AskComment(const QString& old) = 0;
    // The add dialog: what to add and how (sources, typed lines, level,
    // options); nullopt when cancelled.
    virtual std::optional<engine::AddRequest> AskAddSources() = 0;
    struct ExtractTarget {
        QString folder;
        bool selectedOnly = false;
    };
    // The extract dialog's folder and choice; nullopt when cancelled.
    virtual std::optional<ExtractTarget> AskExtractTarget() = 0;
    // The self-extractor dialog: what the program does when it runs;
    // nullopt when cancelled.
    virtual std::optional<engine::SfxSettings> AskSfxOptions() = 0;
    // A folder to compare the one opened archive with; "" when cancelled.
    virtual QString AskCompareFolder(const QString& start) = 0;
    // The file the repaired copy of `broken` is written to; "" when cancelled.
    virtual QString AskRepairTarget(const QString& broken) = 0;
    // Which of `archives` (two or more) an add or a conversion goes into;
    // nullopt when cancelled.
    virtual std::optional<QString> PickArchive(const QStringList& archives) = 0;

    // --- The selection and the members handed to other programs
    // The records of the selected rows, top to bottom; rows that are no
    // member are left out.
    virtual std::vector<uint32_t> SelectedRecords() const = 0;
    // How many rows are selected, those that are no member included: a
    // delete or an extract asks about any selection.
    virtual int SelectedRowCount() const = 0;
    // Opens a copy of a record's member for viewing and editing; its path,
    // or "" when it did not arrive.
    virtual QString OpenMemberCopy(uint32_t record) = 0;
    // Adds the current archive to the recent files.
    virtual void RememberCurrentArchive() = 0;

    // --- The listing
    // No rows: the header and one empty row.
    virtual void ClearListing() = 0;
    // Records `firstNew` onwards were appended; `total` is their files' size.
    virtual void ShowListing(uint32_t firstNew, int64_t total) = 0;
    // The first archive listed has no members.
    virtual void ShowEmptyListing() = 0;
    // The status bar's totals and opened archives after a listing changed.
    virtual void ShowTotals() = 0;
    // The engine has read (or failed to read) the archive it names.
    virtual void DirectoryRead() = 0;

    // --- Progress and the log
    virtual void ShowProcessViewer() = 0;
    virtual void LogAdd(const QString& line) = 0;
    // A line (or several, '\n'-separated) in UTF-8 as the engine reports it:
    // a member's report costs no conversion on its way into the log.
    virtual void LogAddUtf8(std::string_view lines) = 0;
    virtual void ClearLog() = 0;
    // Shows the lines LogAdd gathered at once.
    virtual void FlushLog() = 0;
    virtual void SetGauge(int percent) = 0;
    virtual void ShowHalt(bool shown) = 0;
    // The window's controls other than the halt button are disabled while
    // `locked`.
    virtual void LockWindow(bool locked) = 0;
    virtual void ActionStarting() = 0;
    // After every action; `completed` is false for one refused before work.
    virtual void ActionEnded(bool completed) = 0;
};

class ArchiveSession : public QObject {
    Q_OBJECT
  public:
    // `ui`, `host` and `shell` are not owned and outlive the session.
    ArchiveSession(SessionUi& ui, engine::HostUi& host, ShellServices& shell);
    ~ArchiveSession() override;

    ProgramState State;
    kelp::Settings Settings;
    QStringList Zipfiles;  // opened archives; the first is the current one
    QStringList Delfiles;  // members extracted for viewing, deleted on close
    // This run's private temporary folder (mode 0700), ending in "/"; empty
    // when it could not be made. It holds only Kelp's own scratch copies
    // (previews, drag-out copies, the conversion's safety copy), never a
    // checkout.
    QString TempPath;
    // The open dialog's file list and file name, kept between uses.
    QStringList OpenDialogFiles;
    QString OpenDialogFileName;
    engine::ZipEngine engine;
    // True while the command-line archive is read; StartupFailed records
    // that the engine reported a message meanwhile.
    bool StartupOpen = false;
    bool StartupFailed = false;

    // The records of every listed member; nullptr before the first listing.
    const std::shared_ptr<MemberRows>& Rows() const { return rows_; }
    // A member as a record names it: its exact name and its index in its
    // archive's directory as listed.
    struct MemberRef {
        std::string name;
        uint32_t entry = 0;
    };
    std::vector<MemberRef> RecordMember(uint32_t record) const;
    // The selected members that belong to `archive`, top to bottom. A folder
    // record stands for its folder entry ("path/"), which the libraries take
    // with everything under it.
    std::vector<MemberRef> SelectedMembers(const QString& archive) const;
    // The exact names of `members` for an extract or delete request; nullopt,
    // with a message, when the directory the engine read of ZipFileName no
    // longer holds them where they were listed (another program changed the
    // archive): the list is then read again.
    std::optional<std::vector<std::string>> ExactNames(const std::vector<MemberRef>& members);
    // The exact name of a record's member as a file name, and its last part.
    QString MemberPath(uint32_t record) const;
    QString MemberFileName(uint32_t record) const;
    // Extracts a record's member, without its folders and over an older
    // copy, into `folder` (TempPath when empty) for viewing (recorded for
    // removal at exit); the file's path, or "" when it did not arrive.
    QString ExtractForViewing(uint32_t record, const QString& folder = QString());

    // --- Listing
    // Lists the archive the engine names: the first replaces the records,
    // a further one of Zipfiles is appended.
    void ListArchive();
    void ListAllArchives();

    // --- Dispatcher
    // Stores `action` in CurrentAction and runs it; refused while another
    // runs (put off until it ends when that one was halted).
    void Dispatch(uint8_t action);
    // Runs State.CurrentAction.
    void RunAction();
    // The common ending of an action that set State.Busy: idle again, the
    // halt cleared, an action asked for meanwhile run. EarlyEnd is the ending
    // of one that stopped before it did any work.
    void EndAction();
    void EarlyEnd();
    // Asks the running action to stop; false when none runs.
    bool Halt();
    // "Chec&k": the test, with the archives' structure examined too.
    void CheckArchives();
    // "Co&mpare": the first two opened archives, or the one opened and a
    // folder the user picks, into the log.
    void CompareArchives();
    // Salvages what can be found of `broken` into a new archive the user
    // names, with the lines in the log, then opens it.
    void RepairArchive(const QString& broken);
    // Renames one member, found by its record, and lists the archives again.
    void RenameMember(const QString& archive, const MemberRef& member, const std::string& newName);
    // Extracts each archive's `members`, with their folder names and over
    // older files, into `folder` (a drag's own folder); refused while busy.
    void ExtractMembersTo(const QString& folder,
                          const std::vector<std::pair<QString, std::vector<MemberRef>>>& members);
    // Runs `request`, timed into the log.
    void TimedExtract(const engine::ExtractRequest& request);
    // Puts what lies in each folder of the request's sources after it as
    // entries of their own (with `subDirs` also below its sub-folders, depth
    // first). Entries inside a folder whose names begin with "." are left
    // out and named in the log; a dot-file picked itself is added
    // (AddHiddenFiles). Typed lines are left alone.
    void ExpandFolderSources(engine::AddRequest& request, bool subDirs);
    // Adds the files dropped on the window, as the add dialog took them.
    void AddDropped(const engine::AddRequest& choices);
    // The folder "Extract all" writes into: the extract dialog's last
    // choice; empty: the current folder.
    QString ExtractAllFolder;
    void WriteLogMark(LogMark mark);
    // Says so when there is no temporary folder.
    bool HaveTempPath();
    void DeleteTempFiles();

    // --- Engine events
    void EngineProgress(engine::ProgressType type, const std::string& fileName, int64_t fileSize);
    void EngineMessage(int errCode, const std::string& message);
    void EnginePasswordError(std::string& newPassword, const std::string& forFile,
                             uint32_t& repeatCount);
    void EngineExtractOverwrite(const std::string& forFile, bool isOlder, bool& doOverwrite);

  private:
    void RunPendingAction();
    void ActionNew();
    void ActionOpen();
    void ActionCheckout();
    void ActionTest();
    void ActionView(uint32_t record);
    void ActionListArchives();
    void ActionShowComment();
    void ActionChangeComment();
    void ActionAdd();
    void ActionAddDropped();
    void ActionExtractAll(const QString& folder);
    void ActionExtract();
    void ActionDelete();
    // False when the self-extractor dialog was cancelled.
    bool ActionMakeExe();
    void ActionMakeZip();
    // True when the archives were removed (answered Yes).
    bool ActionRemoveZip();
    // The archive an add or a conversion goes into: asked only when more
    // than one is open; nullopt when the question was cancelled.
    std::optional<QString> ChooseArchive();
    // With the add-password setting on, asks for one; given, the request
    // encrypts with it.
    void AskAddPassword(engine::AddRequest& request, const std::string& prompt);
    void ExpandFolder(std::vector<engine::AddSource>& sources, const engine::AddSource& folder,
                      bool subDirs);
    // Runs a conversion on ZipFileName with a safety copy in TempPath: to a
    // program that does as `sfx` says, or without it back to an archive.
    void ConvertWithCopy(const std::optional<engine::SfxSettings>& sfx);
    // The options the extract settings ask for (Extrfold, Extrover).
    engine::ExtrOpts ExtractOptions() const;
    // Extracts (or tests) all members of every opened archive as `request`
    // says, between the log's start and end marks; `existingOnly` passes
    // over vanished files.
    void ExtractEachArchive(const engine::ExtractRequest& request, bool existingOnly);
    // Runs `request` into `archive`; false when the engine failed with an
    // error ("DLL Error" is shown).
    bool RunAdd(engine::AddRequest request, const QString& archive);
    QString TypeName(const QString& fileName);
    static QString MakePrivateTempFolder();
    // A new folder for a checkout, kept after Kelp closes: the temporary
    // folder's "kelp-checkout-<date>-<time>-XXXXXX"; empty when it cannot
    // be made.
    static QString MakeCheckoutFolder();

    SessionUi& ui_;
    ShellServices& shell_;
    std::shared_ptr<MemberRows> rows_;
    QHash<QString, QString> typeNames_;  // by extension
    bool haltRequested_ = false;
    bool checkStructure_ = false;      // the test now running is a check
    uint8_t pendingAction_ = actNone;  // asked for while a halted action stopped
    engine::AddRequest droppedAdd_;    // what AddDropped hands to its action
};

}  // namespace kelp
