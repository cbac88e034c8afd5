// The main window: the archive listing with its function panel, quick-launch
// bar, menus, progress gauge and status bar. The dispatcher and the archive
// actions live in its ArchiveSession; the window shows what the session
// lists, answers its questions and forwards the user's gestures to it. Its
// handlers live in main_sc*.cpp by idea: layout and window commands,
// listing, settings, the session's questions, engine events.
#pragma once

#include <QHash>
#include <QIcon>
#include <QMainWindow>
#include <QPixmap>
#include <QStringList>

#include <QCoreApplication>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive_session.h"
#include "dialogs/settings.h"
#include "engine/zip_engine.h"
#include "member_drag.h"
#include "member_filter.h"
#include "member_rows.h"
#include "outlook_bar.h"
#include "platform/settings_store.h"
#include "process_viewer.h"
#include "qt_host_ui.h"
#include "recent_files.h"
#include "shell_services.h"
#include "sort_grid.h"

class QAction;
class QDrag;
class QDropEvent;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace kelp {

class AboutBox;
class EditWatch;
struct OpenedMember;
class OptionsDlg;
namespace media {
class MMViewer;
}
class AddDlg;
class ArchivePicker;
class ExtractDlg;
class SfxDlg;

class Main_sc : public QMainWindow, public SessionUi {
    Q_OBJECT
    // Made first: the state below refers into the session.
    std::unique_ptr<DesktopShell> ownShell_;
    ShellServices* shell_;
    QtHostUi host_;
    ArchiveSession session_;

  public:
    // `args` are the program's arguments without the program name; `shell`
    // (not owned) defaults to the desktop's.
    explicit Main_sc(const QStringList& args, ShellServices* shell = nullptr);
    ~Main_sc() override;

    // --- State (the session's; see archive_session.h) ------------------------
    ArchiveSession& Session() { return session_; }
    ProgramState& State;
    kelp::Settings& Settings;
    QStringList& Zipfiles;  // opened archives; the first is the current one
    QStringList& Delfiles;  // members extracted for viewing, deleted on close
    int LastSortColumn = 0;
    SortOptions SortSettings;
    QString& TempPath;  // the run's private temporary folder, ending in "/"
    // The open dialog's file list and file name, kept between uses.
    QStringList& OpenDialogFiles;
    QString& OpenDialogFileName;

    engine::ZipEngine& engine;  // ZipDir1
    platform::SettingsStore Store;

    // --- Components ----------------------------------------------------------
    SortGrid* memberGrid = nullptr;           // ListBox1
    QLineEdit* memberFilterEdit = nullptr;    // above the grid: keeps the matching rows
    OutlookBar* functionPanel = nullptr;      // OutlookBar1
    QPushButton* haltButton = nullptr;        // BitBtn1, "Halt  !!"
    QProgressBar* gauge = nullptr;            // progressbar1
    QWidget* leftPanel = nullptr;             // Panel1: function panel, halt, quick launch
    QWidget* gaugePanel = nullptr;            // Panel3
    QWidget* quickLaunchPanel = nullptr;      // Panel4
    QWidget* quickLaunchBar = nullptr;        // the quick-launch buttons (inside quickLaunchPanel)
    QToolButton* quickLaunchButtons[5] = {};  // ToolButton1..ToolButton5
    QLabel* StatusPanels[3] = {};
    view::Viewer* Viewer = nullptr;            // the process viewer window
    AboutBox* aboutBox = nullptr;              // Help > About and F1
    media::MMViewer* contentViewer = nullptr;  // MMViewer: previews members
    QList<QPixmap> images;                     // ImageList2: quick-launch and listing images

    QMenu* FileMenu = nullptr;
    QMenu* ActionMenu = nullptr;
    QMenu* popupMenu = nullptr;  // PopupMenu1
    QAction* SaveConfiguration = nullptr;
    QAction* ShowFunctionPanel = nullptr;  // "show1".."show4"
    QAction* ShowQuickLaunch = nullptr;
    QAction* ShowProgress = nullptr;
    QAction* ShowStatusBar = nullptr;

    // --- Window --------------------------------------------------------------
    void ApplyInterface();
    // The text of status bar panel 0..2.
    QString StatusText(int panel) const;
    // Lines of the operation log, including those not yet shown.
    QStringList LogLines();
    void Exit();
    // Ends the program; "&Exit" calls it after saving.
    std::function<void()> Terminate = [] { QCoreApplication::exit(0); };
    void ShowProcessViewer() override;

    // --- Listing -------------------------------------------------------------
    void ListArchive() { session_.ListArchive(); }
    void ListAllArchives() { session_.ListAllArchives(); }
    // The selection summary in the status bar; runs on every change of the
    // grid's selection (mouse, keyboard) and after a sort.
    void MemberGridClick();
    // The grid rows the user selected, top to bottom; empty when none. A
    // scattered (Ctrl+click) selection gives exactly its rows, never the
    // rows between them.
    QList<int> SelectedRows() const;
    // A member as a row's record names it: its exact name and its index in
    // its archive's directory as listed.
    using MemberRef = ArchiveSession::MemberRef;
    // The record of a grid row; nullptr for a row that is no member (the
    // blank row of an empty grid).
    std::optional<uint32_t> RowRecord(int row) const;
    // The members of the selected rows that belong to `archive`, top to
    // bottom: what a delete, an "Extract selected only" or a drag hands the
    // engine. A folder row stands for its folder entry ("path/"), which the
    // libraries take with everything under it.
    std::vector<MemberRef> SelectedMembers(const QString& archive) const;
    // The member of one row, empty when the row is no member.
    std::vector<MemberRef> RowMember(int row) const;
    // The exact name of a row's member as a file name: the path an
    // extraction with folder names writes below its target.
    QString MemberPath(int row) const;
    // The file an extraction without folder names makes of a row's member:
    // its name after the last "/" or "\".
    QString MemberFileName(int row) const;
    // Extracts one row's member, without its folders and over an older copy,
    // into `folder` (TempPath when empty) for viewing (recorded for removal
    // at exit); the file's
    // path, or "" when it did not arrive (the engine has said why).
    QString ExtractForViewing(int row, const QString& folder = QString());

    // --- Editing in place (main_sc_edit.cpp) -----------------------------------
    // Extracts a record's member into a folder of its own and watches the copy
    // until Kelp exits (see edit_watch.h); the copy's path, or "" when it did
    // not arrive. A member opened before gives the same copy, with whatever
    // the user did to it.
    QString OpenForEditing(uint32_t record);
    // The members handed to other programs.
    EditWatch& Edits() { return *edits_; }
    // Asks at once about every copy saved since it was last seen (the close
    // handler runs it, so that a save just before closing is not lost).
    void AskAboutEditedCopies();
    // Before the run's folder goes: moves copies whose changes no archive
    // holds to a folder that stays, and says where.
    void KeepUnwrittenCopies();

    // --- Filter field (main_sc_filter.cpp) -------------------------------------
    // Shows only the listed rows whose member matches `text` (all rows for
    // an empty text); the selection keeps the rows still shown, and a row
    // the filter hides is dropped from it, so no action reaches it.
    void SetMemberFilter(const QString& text);
    // Ctrl+F: the filter field takes the keyboard, its text selected.
    void FocusMemberFilter();

    // --- Settings ------------------------------------------------------------
    void LoadSettings();
    void SaveSettings();
    // The View menu's switches, in the order they are stored ("show1".."show4").
    std::vector<QAction*> ViewSwitches() const;
    // The set-up question and defaults of the very first start; it opens the
    // bundled sample unless the user named an archive to open instead.
    void FirstRunSetup(bool openSample = true);

    // --- Actions: forwarded to the session (archive_session.h) ---------------
    void RunAction() { session_.RunAction(); }
    // Stores `action` in CurrentAction and runs it.
    void Dispatch(uint8_t action) { session_.Dispatch(action); }
    void FunctionPanelClick();

    // "Co&mpare": the first two opened archives, or the one opened and a
    // folder the user picks, into the process viewer.
    void CompareArchives() { session_.CompareArchives(); }
    // "Chec&k": the test, with the archives' structure examined too; each
    // finding is a "Finding: " line of the process viewer.
    void CheckArchives() { session_.CheckArchives(); }
    // "Name &encoding": the code page the names of the current row's archive
    // (else the first open) are read in, chosen by how the names look.
    void ChooseNameEncoding();
    // "Re&pair…" (Action menu), and "Repair…" in the box saying an archive
    // cannot be opened: asks where to write the repaired copy of `broken`
    // (NAME-repaired.zip beside it), salvages into it with the lines in the
    // process viewer, then opens it.
    void RepairArchive(const QString& broken) { session_.RepairArchive(broken); }
    // The same, asked for from a box while something else runs (the read
    // that failed, the window being made): once that has ended.
    void RepairWhenIdle(const QString& broken);
    // The archive "Re&pair…" takes: the one open, else the one that could
    // not be opened last; empty when neither.
    QString RepairableArchive() const;
    QAction* repairItem_ = nullptr;
    QString unopenedArchive_;

    // --- Renaming in place (main_sc_rename.cpp) --------------------------------
    // F2 and "&Rename": an edit of the selected member's name over its row.
    void RenameSelected();
    // The edit while it is open, else nullptr.
    QWidget* renameEdit_ = nullptr;

    // --- Dialogs (made on first use, kept between uses) -----------------------
    ExtractDlg& ExtractDialog();  // dialoge
    OptionsDlg& OptionsDialog();  // Options
    // Shows the options dialog on `page` (or where it was left, for -1);
    // `apply` runs ApplyInterface afterwards.
    void ShowOptions(int page, bool apply);
    void ShowContentViewer();  // "&Content Viewer" (F9)
    // Extracts a grid row's member into the temporary folder and shows it
    // in the content viewer, when the viewer takes its type.
    void PreviewMember(int row);
    AddDlg& AddDialog();             // Add_menu
    ArchivePicker& ArchiveDialog();  // Aselzip
    SfxDlg& SfxDialog();             // SFXdialog

    // --- Exchange with the desktop: drops, drags, recent files, quick launch
    RecentFiles recentFiles;
    // Adds the current archive (the first of Zipfiles) to the recent files.
    void RememberCurrentArchive() override;
    void RecentFileClick(const QString& path);
    // Files and folders dropped on the grid go through the add dialog.
    void FilesDropped(const QStringList& paths);
    // Quick-launch button n (1..4): the selected member in program Viewer<n>.
    void QuickLaunchClick(int n);
    // Runs a drag of members out of the grid; replaceable so that tests can
    // look at the drag without a nested drag loop.
    std::function<Qt::DropAction(QDrag&)> RunDrag;
    DragGesture dragGesture;

    // --- Engine events and log -----------------------------------------------
    void EngineDirUpdate();
    void EngineProgress(engine::ProgressType type, const std::string& fileName, int64_t fileSize) {
        session_.EngineProgress(type, fileName, fileSize);
    }
    void EngineMessage(int errCode, const std::string& message) {
        session_.EngineMessage(errCode, message);
    }
    void EnginePasswordError(std::string& newPassword, const std::string& forFile,
                             uint32_t& repeatCount) {
        session_.EnginePasswordError(newPassword, forFile, repeatCount);
    }
    void EngineExtractOverwrite(const std::string& forFile, bool isOlder, bool& doOverwrite) {
        session_.EngineExtractOverwrite(forFile, isOlder, doOverwrite);
    }
    void WriteLogMark(LogMark mark) { session_.WriteLogMark(mark); }
    void LogAdd(const QString& line) override;
    void LogAddUtf8(std::string_view lines) override;
    void FlushLog() override;  // shows the lines LogAdd gathered
    void HaltButtonClick();

    // Message boxes in the window's name.
    void ShowMessage(const QString& text) override;
    bool Confirm(const QString& text, bool warning = false) override;

    // Gives the grid the keyboard with a current row; runs when the window
    // shows and after every action.
    void FocusGrid();

  protected:
    // --- The session's questions and screen (main_sc_session.cpp) ----------
    Overwrite AskOverwrite(const QString& file) override;
    QString AskNewArchive(const QString& folder) override;
    QStringList AskOpenArchives(const QString& folder) override;
    std::optional<QString> AskComment(const QString& old) override;
    std::optional<engine::AddRequest> AskAddSources() override;
    std::optional<ExtractTarget> AskExtractTarget() override;
    std::optional<engine::SfxSettings> AskSfxOptions() override;
    QString AskCompareFolder(const QString& start) override;
    QString AskRepairTarget(const QString& broken) override;
    std::optional<QString> PickArchive(const QStringList& archives) override;
    std::vector<uint32_t> SelectedRecords() const override;
    int SelectedRowCount() const override { return int(SelectedRows().size()); }
    QString OpenMemberCopy(uint32_t record) override { return OpenForEditing(record); }
    void ClearListing() override { ResetGrid(); }
    void ShowListing(uint32_t firstNew, int64_t total) override;
    void ShowEmptyListing() override;
    void ShowTotals() override { UpdateStatusAfterListing(); }
    void DirectoryRead() override { EngineDirUpdate(); }
    void ClearLog() override;
    void SetGauge(int percent) override;
    void ShowHalt(bool shown) override;
    void LockWindow(bool locked) override;
    void ActionStarting() override;
    void ActionEnded(bool completed) override;

    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    void BuildLayout();
    void BuildMenus();
    void BuildFunctionPanel();
    void BuildExchange();
    void RebuildRecentMenu();
    bool ExchangeEvent(QObject* o, QEvent* e);  // drops and drags on the grid
    // The grid's own keys (Home, End, Space, the first Up or Down); true
    // when handled.
    bool GridKey(QKeyEvent* e);
    // Moves the grid's cursor to `row` and selects it alone.
    void SelectGridRow(int row);
    bool AcceptsDrop(const QDropEvent* e) const;
    bool HaveTempPath() { return session_.HaveTempPath(); }
    void EndAction() { session_.EndAction(); }
    void EarlyEnd() { session_.EarlyEnd(); }
    void DeleteTempFiles() { session_.DeleteTempFiles(); }
    void StartMemberDrag();
    // Extracts each archive's dragged members, with their folder names, into
    // `folder`.
    void ExtractDraggedMembers(
        const QString& folder,
        const std::vector<std::pair<QString, std::vector<MemberRef>>>& members) {
        session_.ExtractMembersTo(folder, members);
    }
    // Relists the opened archives and names the first one again.
    void RelistArchives();
    // Size and place from the settings store, or two thirds of the screen.
    void PlaceWindow();
    void SaveWindowPlace();
    void FitColumns();  // columns as wide as their texts, standard widths at least
    void CreateAboutBox();
    void FormCreate(const QStringList& args);
    void UpdateCaption();
    void SwitchView(QAction* item);
    void OpenHowTo();
    void LaunchBrowser(const QString& address);
    void ContentViewerButtonClick();
    void ResetGrid();  // header row and one empty row
    // Puts the listed rows that pass the filter into the grid; with
    // `keepSelection`, selected and current rows stay so where shown.
    void ShowListedRows(bool keepSelection);
    // After a sort: the listed order follows it, hidden rows included.
    void ListedRowsSorted(int col);
    // Status panel 1: the totals, or how many rows the filter shows.
    void UpdateTotals();
    // Tab, Down and Escape in the filter field; true when handled.
    bool FilterKey(QKeyEvent* e);
    void UpdateStatusAfterListing();
    void DrawCellIcon(QPainter* painter, int col, int row, const QRect& rect);
    QPixmap IconFor(const QString& ext);
    void ClickSort(int col, SortOptions& options);
    void BeginSort(SortOptions& options);
    void WatchEdits();
    // The question about a saved copy, and its answer.
    void CopyChanged(OpenedMember* member);
    // Writes the copy back, or says why the archive is not overwritten.
    void WriteBackCopy(OpenedMember& member);
    // Writes the copy into its archive as the member `name`, stored as the
    // member was; asks first when its method cannot be written.
    bool WriteMember(OpenedMember& member, const std::string& name);
    // The archive changed since the member was opened: offers to add the
    // copy under a new name or to save it elsewhere.
    void EditConflict(OpenedMember& member, const QString& why);

    // The session's records of the listed archives' members.
    const std::shared_ptr<MemberRows>& memberRows_;
    // Every listed record in the grid's order, those the filter hides too.
    std::vector<uint32_t> listedOrder_;
    std::vector<uint32_t> shownRecords_;  // ShowListedRows' buffer
    MemberFilter memberFilter_;
    int64_t listedTotal_ = 0;        // bytes of the archive listed last, for "Total"
    bool filtering_ = false;         // the grid is being refilled by the filter
    QHash<QString, QPixmap> icons_;  // by upper-cased extension
    QByteArray pendingLog_;          // log lines not yet in the viewer, each ended by '\n'
    bool exiting_ = false;
    ExtractDlg* extractDialog_ = nullptr;
    OptionsDlg* optionsDialog_ = nullptr;
    AddDlg* addDialog_ = nullptr;
    ArchivePicker* archivePicker_ = nullptr;
    SfxDlg* sfxDialog_ = nullptr;
    QAction* exitItem_ = nullptr;  // "&Exit": the recent files go above it
    QList<QAction*> recentItems_;  // the recent-file items and their separator
    int dragCount_ = 0;            // names each drag's own folder
    int openCount_ = 0;            // names each opened member's own folder
    EditWatch* edits_ = nullptr;
    // The opened members whose archives were as recorded when the running
    // action started: they are taken as the action leaves them.
    std::vector<OpenedMember*> editsBeforeAction_;
    int lastCurrentRow_ = 0;      // the grid's current row, kept over relistings
    bool forwardingKey_ = false;  // SelectGridRow's own key on its way to the grid
};

}  // namespace kelp
