// The main window's layout, menus and window commands: creation, applying
// the settings to the window, the view switches and the ways out.
#include "main_sc.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "about_box.h"
#include "add_dlg.h"
#include "app_images.h"
#include "mm_viewer.h"
#include "options_dlg.h"
#include "platform/folders.h"

#include <algorithm>

namespace kelp {

namespace {

const char* const kHeaders[8] = {"Filename", "Type",  "FileTime", "Packed",
                                 "Size",     "Ratio", "Defpath",  "Archive"};
const int kColumnWidths[8] = {120, 80, 120, 50, 50, 30, 100, 330};
constexpr const char* kKey = "Kelp";
const char* const kMessageBoard = "https://kelp.example.org/board";
const char* const kHomePage = "https://kelp.example.org/";

// "Packed", "Size" and "Ratio" hold numbers, which line up on the right.
bool IsNumberColumn(int col) {
    return col >= 3 && col <= 5;
}

// The named font when the desktop has its family; otherwise the desktop's
// own, never whatever face the font matcher would put in its place.
QFont PreferredFont(const QString& family, const QFont& desktop) {
    if (!QFontDatabase::hasFamily(family)) return desktop;
    QFont f = desktop;
    f.setFamily(family);
    return f;
}

// Icons of the desktop's theme for the menu items that have a usual one;
// Kelp brings no pictures of its own for menus.
void AddThemeIcons(const QList<QAction*>& actions) {
    static const QHash<QString, QString> names = {
        {"&New  Zip", "document-new"},
        {"&Open Zip", "document-open"},
        {"&Remove Zip", "user-trash"},
        {"&Exit", "application-exit"},
        {"&Add", "list-add"},
        {"&Delete", "edit-delete"},
        {"&Refresh file list", "view-refresh"},
        {"&Refresh filelist", "view-refresh"},
        {"&General", "preferences-system"},
        {"Option", "preferences-system"},
        {"&How-to", "help-contents"},
        {"&About", "help-about"},
        {"&View", "document-preview"},
    };
    for (QAction* a : actions) {
        if (QMenu* sub = a->menu()) {
            AddThemeIcons(sub->actions());
            continue;
        }
        const auto it = names.constFind(a->text());
        if (it == names.constEnd()) continue;
        // Some themes keep their action icons only in the one-colour form.
        for (const QString& name : {*it, *it + "-symbolic"}) {
            if (QIcon::hasThemeIcon(name)) {
                a->setIcon(QIcon::fromTheme(name));
                break;
            }
        }
    }
}

}  // namespace

Main_sc::Main_sc(const QStringList& args, ShellServices* shell)
    : ownShell_(shell ? nullptr : std::make_unique<DesktopShell>()),
      shell_(shell ? shell : ownShell_.get()),
      host_(this),
      session_(*this, host_, *shell_),
      State(session_.State),
      Settings(session_.Settings),
      Zipfiles(session_.Zipfiles),
      Delfiles(session_.Delfiles),
      TempPath(session_.TempPath),
      OpenDialogFiles(session_.OpenDialogFiles),
      OpenDialogFileName(session_.OpenDialogFileName),
      engine(session_.engine),
      memberRows_(session_.Rows()) {
    host_.repairablePath = [this] {
        return engine.ReportingUnreadable() ? QString::fromStdString(engine.UnreadableArchive())
                                            : QString();
    };
    // Never from inside the read that failed: on a later turn of the loop.
    host_.repair = [this](const QString& path) {
        QTimer::singleShot(0, this, [this, path] { RepairWhenIdle(path); });
    };

    BuildLayout();
    BuildMenus();
    BuildExchange();
    WatchEdits();
    FormCreate(args);

    // The process viewer is created after the main window, as the other
    // windows of the program are.
    Viewer = new view::Viewer;
    Viewer->setMainWindow(this);
    Viewer->AlwaysOnTop = [this] { return Settings.aot; };
    Viewer->ListBackground = [this] { return memberGrid->palette().color(QPalette::Base); };
    Viewer->ListTextColor = [this] { return memberGrid->palette().color(QPalette::Text); };
    CreateAboutBox();
    // The content viewer sits below the process viewer.
    contentViewer = new media::MMViewer;
    contentViewer->setMainWindow(this, Viewer->frameGeometry().height());
    contentViewer->viewer()->MoreTypes = Settings.MoreTypes;
}

void Main_sc::CreateAboutBox() {
    // The project's README stands in for the home page where it is found.
    const QString readme = QDir::cleanPath(QDir(Settings.InstDir).filePath("../README.md"));
    AboutInfo info;
    info.zipLibVersion = engine.ZipLibVersion();
    info.unzipLibVersion = engine.UnzipLibVersion();
    info.ver = Settings.Ver;
    info.instDir = Settings.InstDir;
    info.homePage = QFileInfo(readme).isFile() ? readme : QString(kHomePage);
    info.messageBoard = kMessageBoard;
    info.listBackground = memberGrid->palette().color(QPalette::Base);
    info.listText = memberGrid->palette().color(QPalette::Text);
    info.programIcon = KelpPicture(64);
    aboutBox = new AboutBox(info, shell_, this);
}

Main_sc::~Main_sc() {
    // Every way out (close, Exit, the end of the program) removes the run's
    // temporary folder.
    DeleteTempFiles();
    delete contentViewer;
    recentFiles.Save(Store);
    delete Viewer;
}

void Main_sc::BuildLayout() {
    PlaceWindow();
    QFont f = font();
    f.setBold(true);
    f.setPixelSize(13);
    setFont(f);

    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    leftPanel = new QWidget(central);
    auto* left = new QVBoxLayout(leftPanel);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    BuildFunctionPanel();
    left->addWidget(functionPanel, 1);

    haltButton = new QPushButton(QIcon(HaltPicture()), "Halt  !!", leftPanel);
    haltButton->setIconSize(QSize(32, 32));
    haltButton->hide();
    connect(haltButton, &QPushButton::clicked, this, &Main_sc::HaltButtonClick);
    left->addWidget(haltButton);

    // The quick-launch bar: the four viewer buttons, then the button that
    // brings the viewer windows forward, in two rows.
    quickLaunchPanel = new QWidget(leftPanel);
    quickLaunchPanel->setFixedHeight(54);
    auto* quick = new QGridLayout(quickLaunchPanel);
    quick->setContentsMargins(2, 2, 2, 2);
    quick->setSpacing(1);
    quickLaunchBar = quickLaunchPanel;
    for (int n = 0; n < 4; ++n) images.append(ViewerButtonPicture(n + 1));
    images.append(ViewerWindowsPicture());  // 4
    images.append(ProgramPicture());        // 5: program files in the listing
    images.append(FolderPicture());         // 6: folders in the listing
    for (int n = 0; n < 5; ++n) {
        quickLaunchButtons[n] = new QToolButton(quickLaunchPanel);
        quickLaunchButtons[n]->setObjectName(QString("ToolButton%1").arg(n + 1));
        quickLaunchButtons[n]->setIcon(QIcon(images[n]));
        quickLaunchButtons[n]->setAutoRaise(true);
        quickLaunchButtons[n]->setFixedSize(24, 24);
        quick->addWidget(quickLaunchButtons[n], n / 3, n % 3 + (n == 4 ? 1 : 0));
    }
    for (int n = 0; n < 4; ++n) {
        quickLaunchButtons[n]->setEnabled(false);
        quickLaunchButtons[n]->setToolTip(QString("Viewer %1").arg(n + 1));
    }
    quickLaunchButtons[4]->setToolTip("Show the viewer windows");
    for (QToolButton* button : quickLaunchButtons) button->setAccessibleName(button->toolTip());
    connect(quickLaunchButtons[4], &QToolButton::clicked, this, &Main_sc::ContentViewerButtonClick);
    left->addWidget(quickLaunchPanel);
    // 81 pixels, or wider where its captions need it.
    const int leftWidth =
        std::max({81, functionPanel->captionsWidth(), haltButton->sizeHint().width()});
    leftPanel->setFixedWidth(leftWidth);
    haltButton->setFixedSize(leftWidth, std::max(75, haltButton->sizeHint().height()));
    row->addWidget(leftPanel);

    auto* panel2 = new QWidget(central);
    auto* right = new QVBoxLayout(panel2);
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    memberFilterEdit = new QLineEdit(panel2);
    memberFilterEdit->setObjectName("memberFilterEdit");
    memberFilterEdit->setAccessibleName("Find member");
    memberFilterEdit->setPlaceholderText(
        "Find member (Ctrl+Shift+F): part of a name or folder, or a pattern with * and ?");
    memberFilterEdit->setToolTip(
        "Shows only the members whose name or folder holds this text "
        "(any case). Tab or Down goes to the list, Escape clears it.");
    memberFilterEdit->setClearButtonEnabled(true);
    memberFilterEdit->installEventFilter(this);
    connect(memberFilterEdit, &QLineEdit::textChanged, this, &Main_sc::SetMemberFilter);
    right->addWidget(memberFilterEdit);
    memberGrid = new SortGrid(panel2);
    memberGrid->setAccessibleName("Members");
    memberGrid->setColCount(8);
    memberGrid->setRowCount(2);
    memberGrid->setFixedRows(1);
    QFont gf = memberGrid->font();
    gf.setPixelSize(11);
    memberGrid->setFont(gf);
    memberGrid->verticalHeader()->setDefaultSectionSize(
        std::max(16, QFontMetrics(gf).height() + 3));
    // The last column ("Archive") takes the room the others leave.
    memberGrid->horizontalHeader()->setStretchLastSection(true);
    memberGrid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    memberGrid->setSortSymbol(sgNone);  // the arrow appears with the first sort
    memberGrid->setSortOnClick(true);
    memberGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    memberGrid->installEventFilter(this);
    memberGrid->viewport()->installEventFilter(this);
    // The summary follows the selection however it changes: clicks, Ctrl+click,
    // the keyboard, and sorts that move the selected rows.
    connect(memberGrid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { MemberGridClick(); });
    connect(memberGrid->gridModel(), &QAbstractItemModel::layoutChanged, this,
            [this] { MemberGridClick(); });
    // The row the keyboard was on, for the grid's current row after a relisting.
    connect(memberGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) lastCurrentRow_ = current.row();
            });
    connect(memberGrid, &SortGrid::OnClickSort, this,
            [this](int col, int, SortOptions& o) { ClickSort(col, o); });
    connect(memberGrid, &SortGrid::OnBeginSort, this,
            [this](int, SortOptions& o) { BeginSort(o); });
    connect(memberGrid, &SortGrid::OnEndSort, this, &Main_sc::ListedRowsSorted);
    connect(memberGrid, &SortGrid::OnGetCellFormat, this,
            [](int col, int row, QStyle::State, FormatOptions& o) {
                if (row > 0 && IsNumberColumn(col)) o.AlignmentHorz = Qt::AlignRight;
            });
    connect(memberGrid, &SortGrid::OnDrawCell, this,
            [this](QPainter* p, int col, int row, const QRect& r, QStyle::State) {
                DrawCellIcon(p, col, row, r);
            });
    // Every listing sizes the columns to what it holds.
    connect(memberGrid->gridModel(), &QAbstractItemModel::modelReset, this, &Main_sc::FitColumns);
    right->addWidget(memberGrid, 1);

    gaugePanel = new QWidget(panel2);
    gaugePanel->setFixedHeight(18);
    auto* gaugeLayout = new QVBoxLayout(gaugePanel);
    gaugeLayout->setContentsMargins(0, 0, 0, 0);
    gauge = new QProgressBar(gaugePanel);
    gauge->setRange(0, 100);
    gauge->setValue(0);
    gauge->setToolTip("Current Progress");
    gauge->setBackgroundRole(QPalette::Midlight);
    gaugeLayout->addWidget(gauge);
    right->addWidget(gaugePanel);
    row->addWidget(panel2, 1);
    setCentralWidget(central);

    // 200 pixels, or what the longest texts of the panels need.
    const QFontMetrics sm(statusBar()->font());
    const int widths[3] = {
        std::max(200, sm.horizontalAdvance("Selected 100000 Files (99999999k )") + 16),
        std::max({200, sm.horizontalAdvance("Total 100000 Files ( 99999999k )") + 16,
                  sm.horizontalAdvance("Shown 100000 of 100000 Files") + 16}),
        15};
    for (int i = 0; i < 3; ++i) {
        StatusPanels[i] = new QLabel(this);
        StatusPanels[i]->setMinimumWidth(widths[i]);
        if (i < 2) StatusPanels[i]->setAlignment(Qt::AlignCenter);
        statusBar()->addWidget(StatusPanels[i], i == 2 ? 1 : 0);
    }
}

void Main_sc::PlaceWindow() {
    // The place the user left the window at, while it is still on a screen;
    // the first time (or when that screen is gone) two thirds of the
    // screen, centred, but no smaller than what shows the columns and the
    // status panels (900 x 600) where the screen has that room.
    const QRect left(Store.ReadInt(kKey, "WindowLeft"), Store.ReadInt(kKey, "WindowTop"),
                     Store.ReadInt(kKey, "WindowWidth"), Store.ReadInt(kKey, "WindowHeight"));
    const QScreen* screen = QApplication::primaryScreen();
    for (const QScreen* s : QApplication::screens())
        if (s->availableGeometry().intersects(left)) screen = s;
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
    if (left.width() >= 200 && left.height() >= 150 && area.intersects(left)) {
        setGeometry(left);
        if (Store.ReadInt(kKey, "WindowMaximized") != 0) setWindowState(Qt::WindowMaximized);
        return;
    }
    resize((area.size() * 2 / 3).expandedTo(QSize(900, 600)).boundedTo(area.size()));
    move(area.center() - rect().center());
}

void Main_sc::SaveWindowPlace() {
    const QRect g = isMaximized() ? normalGeometry() : geometry();
    Store.WriteInt(kKey, "WindowLeft", g.left());
    Store.WriteInt(kKey, "WindowTop", g.top());
    Store.WriteInt(kKey, "WindowWidth", g.width());
    Store.WriteInt(kKey, "WindowHeight", g.height());
    Store.WriteInt(kKey, "WindowMaximized", isMaximized() ? 1 : 0);
}

void Main_sc::FitColumns() {
    if (filtering_) return;
    // The standard widths at least, wider where the texts need it (the
    // longest 200 cells of a column stand for all); the header's sort arrow
    // needs room beside its caption too. "Archive", the last column, is as
    // wide as its paths and stretches over whatever room the others leave.
    const int arrow = 14;
    const std::vector<int> content = memberGrid->ContentWidths(200);
    for (int c = 0; c < 8; ++c)
        memberGrid->setColumnWidth(
            c, c == 7 ? content[c] + arrow : std::max(kColumnWidths[c], content[c] + arrow));
}

void Main_sc::BuildFunctionPanel() {
    functionPanel = new OutlookBar(leftPanel);
    functionPanel->setAccessibleName("Functions");
    QFont bf = PreferredFont("Comic Sans MS", font());
    bf.setBold(false);
    bf.setUnderline(true);
    bf.setPixelSize(11);
    functionPanel->setButtonFont(bf);
    QFont icf = font();
    icf.setUnderline(true);
    functionPanel->setIconFont(icf);
    functionPanel->setSmoothScrolling(true);
    functionPanel->setColor(QColor(0xC0, 0xC0, 0xC0));
    const QStringList groups[3] = {
        {"New", "Open", "Extract", "Add", "Test"},
        {"Extr. Selected", "Extr. All", "Checkout", "Create SFX", "SFX => EXE"},
        {"Add", "Delete", "Remove Zip"}};
    const char* captions[3] = {"Archive", "Extract", "Add/Delete"};
    for (int g = 0; g < 3; ++g) {
        OutlookGroup& group = functionPanel->addGroup(captions[g]);
        for (int i = 0; i < groups[g].size(); ++i)
            group.addItem(groups[g][i], FunctionPicture(g, i));
    }
    functionPanel->setSelectedButton(0);
    connect(functionPanel, &OutlookBar::OnIconClick, this, &Main_sc::FunctionPanelClick);
}

void Main_sc::BuildMenus() {
    auto item = [this](QMenu* menu, const QString& text, QKeySequence key, auto handler) {
        QAction* a = menu->addAction(text);
        if (!key.isEmpty()) a->setShortcut(key);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    auto act = [this](uint8_t n) { return [this, n] { Dispatch(n); }; };
    auto none = [] {};

    FileMenu = menuBar()->addMenu("&File");
    item(FileMenu, "&New  Zip", QKeySequence("Ctrl+N"), act(actNew));
    item(FileMenu, "&Open Zip", QKeySequence("Ctrl+O"), act(actOpen));
    FileMenu->addSeparator();
    item(FileMenu, "&Copy Zip", {}, none)->setEnabled(false);
    item(FileMenu, "&Rename Zip", {}, none)->setEnabled(false);
    item(FileMenu, "&Remove Zip", {}, act(actRemoveZip));
    FileMenu->addSeparator();
    exitItem_ = item(FileMenu, "&Exit", QKeySequence("Ctrl+X"), [this] { Exit(); });
    SaveConfiguration = item(FileMenu, "&Save configuration", {}, none);
    SaveConfiguration->setCheckable(true);
    SaveConfiguration->setChecked(true);

    ActionMenu = menuBar()->addMenu("&Action");
    item(ActionMenu, "&Add", QKeySequence("Ctrl+A"), act(actAdd));
    item(ActionMenu, "&Extract", QKeySequence("Ctrl+E"), [this] {
        functionPanel->setSelectedIcon(0);  // where the extract dialog stands
        Dispatch(actExtract);
    });
    item(ActionMenu, "&Rename", QKeySequence("F2"), [this] { RenameSelected(); });
    item(ActionMenu, "&Delete", {}, act(actDelete));
    item(ActionMenu, "&Create checkout", {}, act(actCheckout));
    item(ActionMenu, "&Test", QKeySequence("Ctrl+T"), act(actTest));
    item(ActionMenu, "Chec&k", {}, [this] { CheckArchives(); });
    item(ActionMenu, "Co&mpare", {}, [this] { CompareArchives(); });
    repairItem_ = item(ActionMenu, "Re&pair…", {}, [this] { RepairArchive(RepairableArchive()); });
    ActionMenu->addSeparator();
    item(ActionMenu, "MakeExe", {}, act(actMakeExe));
    item(ActionMenu, "MakeZip", {}, act(actMakeZip));
    ActionMenu->addSeparator();
    item(ActionMenu, "Show c&omment", {}, act(actShowComment));
    item(ActionMenu, "C&hange comment", {}, act(actChangeComment));
    ActionMenu->setEnabled(false);

    QMenu* viewMenu = menuBar()->addMenu("&View");
    auto sw = [&](const QString& text, const char* key) {
        QAction* a = viewMenu->addAction(text);
        a->setShortcut(QKeySequence(key));
        a->setCheckable(true);
        a->setChecked(true);
        connect(a, &QAction::triggered, this, [this, a] { SwitchView(a); });
        return a;
    };
    ShowFunctionPanel = sw("Function panel", "F5");
    ShowQuickLaunch = sw("&Quick launch", "F6");
    ShowProgress = sw("&Progress", "F7");
    ShowStatusBar = sw("&Status bar", "F8");
    viewMenu->addSeparator();
    item(viewMenu, "&Content Viewer", QKeySequence("F9"), [this] { ShowContentViewer(); });
    item(viewMenu, "&Procress Viewer", QKeySequence("F10"), [this] {
        Viewer->close();
        ShowProcessViewer();
    });
    item(viewMenu, "&Opened archive", QKeySequence("F11"), act(actListArchives));
    // Ctrl+F has long refreshed the list; finding members takes Ctrl+Shift+F.
    item(viewMenu, "&Find member", QKeySequence("Ctrl+Shift+F"), [this] { FocusMemberFilter(); });
    item(viewMenu, "&Refresh file list", QKeySequence("Ctrl+F"), act(actRefresh));
    item(viewMenu, "Name &encoding...", {}, [this] { ChooseNameEncoding(); });

    QMenu* optionMenu = menuBar()->addMenu("&Option");
    item(optionMenu, "&General", QKeySequence("Ctrl+G"),
         [this] { ShowOptions(OptionsDlg::GeneralPage, false); });
    item(optionMenu, "&Viewer", {}, [this] { ShowOptions(OptionsDlg::ViewerPage, true); });
    item(optionMenu, "&Interface", {}, [this] { ShowOptions(OptionsDlg::InterfacePage, true); });

    QMenu* help = menuBar()->addMenu("&Help");
    item(help, "&How-to", {}, [this] { OpenHowTo(); });
    item(help, "&Message Board", {}, [this] { LaunchBrowser(kMessageBoard); });
    item(help, "&Check Update", {}, [this] { LaunchBrowser(kHomePage); });
    help->addSeparator();
    item(help, "&About", QKeySequence("F1"), [this] { aboutBox->exec(); });

    popupMenu = new QMenu(this);
    item(popupMenu, "&View", {}, act(actView));
    item(popupMenu, "&Extract", {}, [this] {
        functionPanel->setSelectedIcon(0);
        Dispatch(actExtract);
    });
    item(popupMenu, "&Add", {}, act(actAdd));
    item(popupMenu, "&Delete", {}, act(actDelete));
    popupMenu->addSeparator();
    item(popupMenu, "&Checkout", {}, act(actCheckout));
    item(popupMenu, "MakeExe", {}, act(actMakeExe));
    item(popupMenu, "MakeZip", {}, act(actMakeZip));
    item(popupMenu, "&List Opened archive", {}, act(actListArchives));
    popupMenu->addSeparator();
    item(popupMenu, "Option", {}, [this] { ShowOptions(-1, false); });
    item(popupMenu, "&Refresh filelist", {}, act(actRefresh));
    connect(memberGrid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { popupMenu->popup(memberGrid->viewport()->mapToGlobal(p)); });
    AddThemeIcons(menuBar()->actions());
    AddThemeIcons(popupMenu->actions());
}

void Main_sc::FormCreate(const QStringList& args) {
    LoadSettings();
    // The application title names the message boxes. It is the application's
    // name rather than its display name, which the platform would append to
    // the window caption a second time.
    QApplication::setApplicationName("KELP  " + Settings.Ver);
    setWindowTitle("KELP  " + Settings.Ver + " - <none>");
    engine.LoadZipLib();
    engine.LoadUnzipLib();
    SortSettings = SortOptions{};
    // The command-line archive is resolved against the folder the program was
    // started in, before the window moves the process to the desktop folder.
    // On the very first start "/INIT" comes first and the archive the user
    // named (opening it is what started the program) second.
    const QString first = args.isEmpty() ? QString() : args.first();
    const bool init = first.toUpper() == "/INIT";
    const QString named = init ? args.value(1) : first;
    const QFileInfo namedFile(named);
    const QString archive = namedFile.isFile() ? namedFile.absoluteFilePath() : QString();
    QDir::setCurrent(QString::fromStdString(platform::DesktopFolder()));
    ResetGrid();
    FitColumns();
    Zipfiles = OpenDialogFiles;
    State.CurrentAction = actNone;

    if (init) FirstRunSetup(archive.isEmpty());
    // The settings' looks are applied before the archive is opened: applying
    // them lists what is open, and the archive is then listed only once.
    ApplyInterface();
    if (!archive.isEmpty()) {
        // A message the engine reports while reading this archive means it
        // is not one; the engine has shown its own box first.
        session_.StartupOpen = true;
        session_.StartupFailed = false;
        Settings.AddSubDirs = true;
        OpenDialogFiles.append(archive);
        Zipfiles = OpenDialogFiles;
        OpenDialogFileName = archive;
        engine.setZipFileName(archive.toStdString());
        if (!session_.StartupFailed && !engine.ZipFileName().empty()) ListArchive();
        session_.StartupOpen = false;
        if (session_.StartupFailed || engine.ZipFileName().empty())
            ShowMessage(named + " is not a zipfile");
    }
    State.Busy = false;
}

void Main_sc::ResetGrid() {
    listedOrder_.clear();
    listedTotal_ = 0;
    memberGrid->setRowCount(2);
    memberGrid->setFixedRows(1);
    for (int c = 0; c < 8; ++c) {
        memberGrid->setCells(c, 0, kHeaders[c]);
        memberGrid->setCells(c, 1, QString());
    }
}

void Main_sc::ApplyInterface() {
    for (int c = 0; c < 7; ++c) memberGrid->setCells(c, 0, kHeaders[c]);
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != Settings.aot) {
        const bool visible = isVisible();
        setWindowFlag(Qt::WindowStaysOnTopHint, Settings.aot);
        if (visible) show();
    }
    // The function panel's caption colour (Toolfont) is kept in the settings;
    // the outlook bar draws its captions in its own colour.
    QPalette gp = gauge->palette();
    gp.setColor(QPalette::Highlight, ColorFromBgr(Settings.Progcolor));
    gauge->setPalette(gp);
    QPalette lp = memberGrid->palette();
    lp.setColor(QPalette::Base, ColorFromBgr(Settings.FileBkColor));
    lp.setColor(QPalette::Text, ColorFromBgr(Settings.FileListColor));
    memberGrid->setPalette(lp);

    const QString viewers[4] = {Settings.Viewer1, Settings.Viewer2, Settings.Viewer3,
                                Settings.Viewer4};
    QFileIconProvider provider;
    for (int n = 0; n < 4; ++n) {
        const QFileInfo program(viewers[n]);
        if (!viewers[n].isEmpty() && program.isFile() && program.isExecutable()) {
            quickLaunchButtons[n]->setEnabled(true);
            images.append(provider.icon(program).pixmap(16, 16));
            quickLaunchButtons[n]->setIcon(QIcon(images.last()));
        } else {
            quickLaunchButtons[n]->setEnabled(false);
            quickLaunchButtons[n]->setIcon(QIcon(images[n]));
        }
    }
    functionPanel->setBackground(QFileInfo(Settings.Toolback).isFile() ? QPixmap(Settings.Toolback)
                                                                       : QPixmap());
    leftPanel->setVisible(ShowFunctionPanel->isChecked());
    quickLaunchPanel->setVisible(ShowQuickLaunch->isChecked());
    gaugePanel->setVisible(ShowProgress->isChecked());
    statusBar()->setVisible(ShowStatusBar->isChecked());
    functionPanel->setColor(ColorFromBgr(Settings.ToolBkColor));
    functionPanel->setIconFontColor(ColorFromBgr(Settings.Toolfont));
    if (contentViewer) contentViewer->viewer()->MoreTypes = Settings.MoreTypes;
    RelistArchives();
}

void Main_sc::UpdateCaption() {
    if (!engine.ZipFileName().empty()) {
        setWindowTitle("KELP  " + Settings.Ver + " -" + OpenDialogFileName);
    } else {
        setWindowTitle("KELP  " + Settings.Ver + " - " + "<none>");
    }
    // An archive that could not be opened can still be repaired.
    const bool named = !engine.ZipFileName().empty();
    ActionMenu->setEnabled(named || !unopenedArchive_.isEmpty());
    for (QAction* a : ActionMenu->actions())
        if (a != repairItem_) a->setEnabled(named);
}

void Main_sc::SwitchView(QAction*) {
    // The action has already inverted its own check mark.
    ApplyInterface();
}

QString Main_sc::StatusText(int panel) const {
    return StatusPanels[panel]->text();
}

void Main_sc::ShowProcessViewer() {
    Viewer->show();
    Viewer->raise();
}

void Main_sc::ShowContentViewer() {
    contentViewer->close();
    contentViewer->setMainWindow(this, Viewer->frameGeometry().height());
    contentViewer->show();
}

OptionsDlg& Main_sc::OptionsDialog() {
    if (!optionsDialog_) {
        optionsDialog_ = new OptionsDlg(Settings, this);
        optionsDialog_->ApplyInterface = [this] { ApplyInterface(); };
        optionsDialog_->FirstRunSetup = [this] { FirstRunSetup(); };
    }
    return *optionsDialog_;
}

void Main_sc::ShowOptions(int page, bool apply) {
    OptionsDlg& dialog = OptionsDialog();
    if (page >= 0) dialog.pages()->setCurrentIndex(page);
    dialog.exec();
    if (apply) ApplyInterface();
}

void Main_sc::ContentViewerButtonClick() {
    Viewer->close();
    contentViewer->close();
    ShowContentViewer();
    ShowProcessViewer();
    show();
    raise();
    activateWindow();
}

void Main_sc::OpenHowTo() {
    shell_->Open(Settings.InstDir + "how-to.htm", QString());
}

void Main_sc::LaunchBrowser(const QString& address) {
    if (Confirm("You are going to launch a internet browser.")) shell_->Open(address, QString());
}

void Main_sc::ShowMessage(const QString& text) {
    QMessageBox::information(this, QApplication::applicationDisplayName(), text);
}

bool Main_sc::Confirm(const QString& text, bool warning) {
    const auto icon = warning ? QMessageBox::Warning : QMessageBox::Question;
    QMessageBox box(icon, QApplication::applicationDisplayName(), text,
                    QMessageBox::Yes | QMessageBox::No, this);
    return box.exec() == QMessageBox::Yes;
}

void Main_sc::Exit() {
    // Leaves without the close handler: settings only when asked for, and the
    // viewing copies stay.
    RememberCurrentArchive();
    if (SaveConfiguration->isChecked()) SaveSettings();
    exiting_ = true;
    Terminate();
}

void Main_sc::closeEvent(QCloseEvent* e) {
    if (exiting_) {
        e->accept();
        return;
    }
    RememberCurrentArchive();
    AskAboutEditedCopies();
    KeepUnwrittenCopies();
    if (SaveConfiguration->isChecked()) setWindowTitle("Deleting temp files");
    DeleteTempFiles();
    SaveSettings();
    Viewer->hide();
    e->accept();
}

void Main_sc::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    FocusGrid();
}

void Main_sc::FocusGrid() {
    // The grid has the keyboard and a current row (the one it had, or the
    // nearest that is left), so that the keys work at once; nothing is
    // selected by this.
    memberGrid->setFocus(Qt::OtherFocusReason);
    const QAbstractItemModel* model = memberGrid->gridModel();
    if (memberGrid->currentIndex().isValid() || model->rowCount() == 0) return;
    const int row = std::clamp(lastCurrentRow_, 0, model->rowCount() - 1);
    memberGrid->selectionModel()->setCurrentIndex(model->index(row, 0),
                                                  QItemSelectionModel::NoUpdate);
}

void Main_sc::SelectGridRow(int row) {
    // The row is reached the way a plain arrow key reaches it, from the row
    // beside it, so that the view also takes it as the start of a later
    // Shift selection.
    const QAbstractItemModel* model = memberGrid->gridModel();
    QItemSelectionModel* selection = memberGrid->selectionModel();
    const int column = std::max(memberGrid->currentIndex().column(), 0);
    const int from = row > 0 ? row - 1 : row + 1;
    if (from >= model->rowCount()) {
        selection->setCurrentIndex(model->index(row, column),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        return;
    }
    selection->setCurrentIndex(model->index(from, column), QItemSelectionModel::NoUpdate);
    QKeyEvent step(QEvent::KeyPress, row > 0 ? Qt::Key_Down : Qt::Key_Up, Qt::NoModifier);
    forwardingKey_ = true;
    QApplication::sendEvent(memberGrid, &step);
    forwardingKey_ = false;
}

bool Main_sc::GridKey(QKeyEvent* e) {
    if (forwardingKey_) return false;
    const int key = e->key();
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    const int rows = memberGrid->gridModel()->rowCount();
    // Home and End, with Ctrl or without, select the first and the last row
    // alone (the view would do nothing on the row it is on, and with Ctrl
    // only move its cursor); with Shift they extend the selection there.
    if (key == Qt::Key_Home || key == Qt::Key_End) {
        if (mods & Qt::ShiftModifier) {
            if (!(mods & Qt::ControlModifier)) return false;
            QKeyEvent shifted(QEvent::KeyPress, key, mods & ~Qt::ControlModifier);
            QApplication::sendEvent(memberGrid, &shifted);
            return true;
        }
        if (rows > 0) SelectGridRow(key == Qt::Key_Home ? 0 : rows - 1);
        return true;
    }
    // Space selects the current row and Ctrl+Space adds or removes it; the
    // view would also search for a blank, which every cell begins with, and
    // move on to the next row.
    if (key == Qt::Key_Space && !(mods & Qt::ShiftModifier)) {
        const QModelIndex current = memberGrid->currentIndex();
        if (current.isValid())
            memberGrid->selectionModel()->select(
                current, ((mods & Qt::ControlModifier) ? QItemSelectionModel::Toggle
                                                       : QItemSelectionModel::Select) |
                             QItemSelectionModel::Rows);
        return true;
    }
    // With nothing selected, the first Up or Down selects the current row
    // (the first one after the window opens) rather than the next.
    if ((key == Qt::Key_Down || key == Qt::Key_Up) && !(mods & Qt::ControlModifier) &&
        !memberGrid->selectionModel()->hasSelection() && rows > 0) {
        const QModelIndex current = memberGrid->currentIndex();
        SelectGridRow(current.isValid() ? current.row() : 0);
        return true;
    }
    return false;
}

bool Main_sc::eventFilter(QObject* o, QEvent* e) {
    if (ExchangeEvent(o, e)) return true;
    if (o == memberFilterEdit && e->type() == QEvent::KeyPress &&
        FilterKey(static_cast<QKeyEvent*>(e)))
        return true;
    // F1 in the grid opens the how-to rather than the menu's about box.
    if (o == memberGrid && e->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(e)->key() == Qt::Key_F1) {
        e->accept();
        return true;
    }
    if (o == memberGrid && e->type() == QEvent::KeyPress) {
        if (GridKey(static_cast<QKeyEvent*>(e))) return true;
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Delete) {
            Dispatch(actDelete);
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Dispatch(actView);
            return true;
        }
        if (key == Qt::Key_F1) {
            OpenHowTo();
            return true;
        }
        // The view takes F2 as its own edit key before the menu's shortcut.
        if (key == Qt::Key_F2) {
            RenameSelected();
            return true;
        }
    }
    if (o == memberGrid->viewport() && e->type() == QEvent::MouseButtonDblClick) {
        if (!SelectedRows().isEmpty()) Dispatch(actView);
        return true;
    }
    return QMainWindow::eventFilter(o, e);
}

}  // namespace kelp
