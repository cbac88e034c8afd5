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
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "about_box.h"
#include "app_images.h"
#include "platform/folders.h"

#include <stdlib.h>

namespace kelp {

namespace {

const char* const kHeaders[8] = {"Filename", "Type",  "FileTime", "Packed",
                                 "Size",     "Ratio", "Defpath",  "Archive"};
const int kColumnWidths[8] = {120, 80, 120, 50, 50, 30, 100, 330};
const char* const kMessageBoard = "https://kelp.example.org/board";
const char* const kHomePage = "https://kelp.example.org/";

QColor FromBgr(int32_t c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

}  // namespace

Main_sc::Main_sc(const QStringList& args, ShellServices* shell) : shell_(shell), host_(this) {
    if (!shell_) {
        ownShell_ = std::make_unique<DesktopShell>();
        shell_ = ownShell_.get();
    }
    TempPath = MakePrivateTempFolder();
    ZipDir1.SetHostUi(&host_);
    ZipDir1.Verbose = false;
    ZipDir1.Trace = false;
    ZipDir1.AddCompLevel = 9;
    ZipDir1.ExtrOptions = engine::ExtrOpts{engine::ExtrOverWrite};
    ZipDir1.Unattended = false;
    ZipDir1.SFXPath = "KelpSFX.bin";
    ZipDir1.SFXOverWriteMode = engine::OvrConfirm;
    ZipDir1.SFXCaption = "Self-extracting Archive";
    ZipDir1.KeepFreeOnDisk1 = 0;
    ZipDir1.setPasswordReqCount(6);
    ZipDir1.OnDirUpdate = [this] { ZipDir1DirUpdate(); };
    ZipDir1.OnProgress = [this](engine::ProgressType t, const std::string& f, int64_t s) {
        ZipDir1Progress(t, f, s);
    };
    ZipDir1.OnMessage = [this](int code, const std::string& m) { ZipDir1Message(code, m); };
    ZipDir1.OnPasswordError = [this](std::string& p, const std::string& f, uint32_t& n) {
        ZipDir1PasswordError(p, f, n);
    };
    ZipDir1.OnExtractOverwrite = [this](const std::string& f, bool older, bool& over) {
        ZipDir1ExtractOverwrite(f, older, over);
    };

    BuildLayout();
    BuildMenus();
    FormCreate(args);

    // The process viewer is created after the main window, as the other
    // windows of the program are.
    Viewer = new view::Viewer;
    Viewer->setMainWindow(this);
    Viewer->AlwaysOnTop = [this] { return Settings.aot; };
    Viewer->ListBackground = [this] { return ListBox1->palette().color(QPalette::Base); };
    Viewer->ListTextColor = [this] { return ListBox1->palette().color(QPalette::Text); };
    CreateAboutBox();
}

void Main_sc::CreateAboutBox() {
    // The project's README stands in for the home page where it is found.
    const QString readme = QDir::cleanPath(QDir(Settings.InstDir).filePath("../README.md"));
    AboutInfo info;
    info.zipLibVersion = ZipDir1.ZipLibVersion();
    info.unzipLibVersion = ZipDir1.UnzipLibVersion();
    info.ver = Settings.Ver;
    info.instDir = Settings.InstDir;
    info.homePage = QFileInfo(readme).isFile() ? readme : QString(kHomePage);
    info.messageBoard = kMessageBoard;
    info.listBackground = ListBox1->palette().color(QPalette::Base);
    info.listText = ListBox1->palette().color(QPalette::Text);
    info.programIcon = KelpPicture(64);
    aboutBox = new AboutBox(info, shell_, this);
}

Main_sc::~Main_sc() {
    // Every way out (close, Exit, the end of the program) removes the run's
    // temporary folder.
    DeleteTempFiles();
    delete Viewer;
    ZipDir1.UnloadZipLib();
    ZipDir1.UnloadUnzipLib();
}

void Main_sc::BuildLayout() {
    resize(453, 433);
    if (const QScreen* s = QApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    QFont f = font();
    f.setBold(true);
    f.setPixelSize(13);
    setFont(f);

    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    Panel1 = new QWidget(central);
    Panel1->setFixedWidth(81);
    auto* left = new QVBoxLayout(Panel1);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    BuildFunctionPanel();
    left->addWidget(OutlookBar1, 1);

    BitBtn1 = new QPushButton(QIcon(HaltPicture()), "Halt  !!", Panel1);
    BitBtn1->setFixedSize(81, 75);
    BitBtn1->setIconSize(QSize(32, 32));
    BitBtn1->hide();
    connect(BitBtn1, &QPushButton::clicked, this, &Main_sc::BitBtn1Click);
    left->addWidget(BitBtn1);

    // The quick-launch bar: the four viewer buttons, then the button that
    // brings the viewer windows forward, in two rows.
    Panel4 = new QWidget(Panel1);
    Panel4->setFixedHeight(54);
    auto* quick = new QGridLayout(Panel4);
    quick->setContentsMargins(2, 2, 2, 2);
    quick->setSpacing(1);
    ToolBar1 = Panel4;
    for (int n = 0; n < 4; ++n) ImageList2.append(ViewerButtonPicture(n + 1));
    ImageList2.append(ViewerWindowsPicture());  // 4
    ImageList2.append(ProgramPicture());        // 5: program files in the listing
    ImageList2.append(FolderPicture());         // 6: folders in the listing
    for (int n = 0; n < 5; ++n) {
        ToolButtons[n] = new QToolButton(Panel4);
        ToolButtons[n]->setObjectName(QString("ToolButton%1").arg(n + 1));
        ToolButtons[n]->setIcon(QIcon(ImageList2[n]));
        ToolButtons[n]->setAutoRaise(true);
        ToolButtons[n]->setFixedSize(24, 24);
        quick->addWidget(ToolButtons[n], n / 3, n % 3 + (n == 4 ? 1 : 0));
    }
    for (int n = 0; n < 4; ++n) {
        ToolButtons[n]->setEnabled(false);
        ToolButtons[n]->setToolTip(QString("Viewer %1").arg(n + 1));
    }
    ToolButtons[4]->setToolTip("Show the viewer windows");
    connect(ToolButtons[4], &QToolButton::clicked, this, &Main_sc::ToolButton5Click);
    left->addWidget(Panel4);
    row->addWidget(Panel1);

    auto* panel2 = new QWidget(central);
    auto* right = new QVBoxLayout(panel2);
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    ListBox1 = new SortGrid(panel2);
    ListBox1->setColCount(8);
    ListBox1->setRowCount(2);
    ListBox1->setFixedRows(1);
    QFont gf = ListBox1->font();
    gf.setPixelSize(11);
    ListBox1->setFont(gf);
    ListBox1->verticalHeader()->setDefaultSectionSize(16);
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox1->setSortSymbol(sgNone);  // the arrow appears with the first sort
    ListBox1->setSortOnClick(true);
    ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    ListBox1->installEventFilter(this);
    ListBox1->viewport()->installEventFilter(this);
    // The summary follows the selection however it changes: clicks, Ctrl+click,
    // the keyboard, and sorts that move the selected rows.
    connect(ListBox1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { ListBox1Click(); });
    connect(ListBox1->gridModel(), &QAbstractItemModel::layoutChanged, this,
            [this] { ListBox1Click(); });
    connect(ListBox1, &SortGrid::OnClickSort, this,
            [this](int col, int, SortOptions& o) { ClickSort(col, o); });
    connect(ListBox1, &SortGrid::OnBeginSort, this, [this](int, SortOptions& o) { BeginSort(o); });
    connect(ListBox1, &SortGrid::OnDrawCell, this,
            [this](QPainter* p, int col, int row, const QRect& r, QStyle::State) {
                DrawCellIcon(p, col, row, r);
            });
    right->addWidget(ListBox1, 1);

    Panel3 = new QWidget(panel2);
    Panel3->setFixedHeight(18);
    auto* gauge = new QVBoxLayout(Panel3);
    gauge->setContentsMargins(0, 0, 0, 0);
    progressbar1 = new QProgressBar(Panel3);
    progressbar1->setRange(0, 100);
    progressbar1->setValue(0);
    progressbar1->setToolTip("Current Progress");
    progressbar1->setBackgroundRole(QPalette::Midlight);
    gauge->addWidget(progressbar1);
    right->addWidget(Panel3);
    row->addWidget(panel2, 1);
    setCentralWidget(central);

    const int widths[3] = {200, 200, 15};
    for (int i = 0; i < 3; ++i) {
        StatusPanels[i] = new QLabel(this);
        StatusPanels[i]->setMinimumWidth(widths[i]);
        if (i < 2) StatusPanels[i]->setAlignment(Qt::AlignCenter);
        statusBar()->addWidget(StatusPanels[i], i == 2 ? 1 : 0);
    }
}

void Main_sc::BuildFunctionPanel() {
    OutlookBar1 = new OutlookBar(Panel1);
    QFont bf("Comic Sans MS");
    bf.setUnderline(true);
    bf.setPixelSize(11);
    OutlookBar1->setButtonFont(bf);
    QFont icf = font();
    icf.setUnderline(true);
    OutlookBar1->setIconFont(icf);
    OutlookBar1->setSmoothScrolling(true);
    OutlookBar1->setColor(QColor(0xC0, 0xC0, 0xC0));
    const QStringList groups[3] = {
        {"New", "Open", "Extract", "Add", "Test"},
        {"Extr. Selected", "Extr. All", "Checkout", "Create SFX", "SFX => EXE"},
        {"Add", "Delete", "Remove Zip"}};
    const char* captions[3] = {"Archive", "Extract", "Add/Delete"};
    for (int g = 0; g < 3; ++g) {
        OutlookGroup& group = OutlookBar1->addGroup(captions[g]);
        for (int i = 0; i < groups[g].size(); ++i)
            group.addItem(groups[g][i], FunctionPicture(g, i));
    }
    OutlookBar1->setSelectedButton(0);
    connect(OutlookBar1, &OutlookBar::OnIconClick, this, &Main_sc::OutlookBar1Click);
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
    item(FileMenu, "&Exit", QKeySequence("Ctrl+X"), [this] { Exit(); });
    SaveConfiguration = item(FileMenu, "&Save configuration", {}, none);
    SaveConfiguration->setCheckable(true);
    SaveConfiguration->setChecked(true);

    ActionMenu = menuBar()->addMenu("&Action");
    item(ActionMenu, "&Add", QKeySequence("Ctrl+A"), act(actAdd));
    item(ActionMenu, "&Extract", QKeySequence("Ctrl+E"), none);
    item(ActionMenu, "&Rename", {}, none);
    item(ActionMenu, "&Delete", {}, act(actDelete));
    item(ActionMenu, "&Create checkout", {}, act(actCheckout));
    item(ActionMenu, "&Test", QKeySequence("Ctrl+T"), act(actTest));
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
    item(viewMenu, "&Content Viewer", QKeySequence("F9"), none);
    item(viewMenu, "&Procress Viewer", QKeySequence("F10"), [this] {
        Viewer->close();
        ShowProcessViewer();
    });
    item(viewMenu, "&Opened archive", QKeySequence("F11"), act(actListArchives));
    item(viewMenu, "&Refresh file list", QKeySequence("Ctrl+F"), act(actRefresh));

    QMenu* optionMenu = menuBar()->addMenu("&Option");
    item(optionMenu, "&General", QKeySequence("Ctrl+G"), none);
    item(optionMenu, "&Viewer", {}, none);
    item(optionMenu, "&Interface", {}, none);

    QMenu* help = menuBar()->addMenu("&Help");
    item(help, "&How-to", {}, [this] { OpenHowTo(); });
    item(help, "&Message Board", {}, [this] { LaunchBrowser(kMessageBoard); });
    item(help, "&Check Update", {}, [this] { LaunchBrowser(kHomePage); });
    help->addSeparator();
    item(help, "&About", QKeySequence("F1"), [this] { aboutBox->exec(); });

    PopupMenu1 = new QMenu(this);
    item(PopupMenu1, "&View", {}, act(actView));
    item(PopupMenu1, "&Extract", {}, [this] {
        OutlookBar1->setSelectedIcon(0);
        Dispatch(actExtract);
    });
    item(PopupMenu1, "&Add", {}, act(actAdd));
    item(PopupMenu1, "&Delete", {}, act(actDelete));
    PopupMenu1->addSeparator();
    item(PopupMenu1, "&Checkout", {}, act(actCheckout));
    item(PopupMenu1, "MakeExe", {}, act(actMakeExe));
    item(PopupMenu1, "MakeZip", {}, act(actMakeZip));
    item(PopupMenu1, "&List Opened archive", {}, act(actListArchives));
    PopupMenu1->addSeparator();
    item(PopupMenu1, "Option", {}, none);
    item(PopupMenu1, "&Refresh filelist", {}, act(actRefresh));
    connect(ListBox1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu1->popup(ListBox1->viewport()->mapToGlobal(p)); });
}

void Main_sc::FormCreate(const QStringList& args) {
    LoadSettings();
    QApplication::setApplicationDisplayName("KELP  " + Settings.Ver);
    setWindowTitle("KELP  " + Settings.Ver + " - <none>");
    ZipDir1.LoadZipLib();
    ZipDir1.LoadUnzipLib();
    SortSettings = SortOptions{};
    // The command-line archive is resolved against the folder the program was
    // started in, before the window moves the process to the desktop folder.
    const QString first = args.isEmpty() ? QString() : args.first();
    const QFileInfo firstFile(first);
    const QString archive = firstFile.isFile() ? firstFile.absoluteFilePath() : QString();
    QDir::setCurrent(QString::fromStdString(platform::DesktopFolder()));
    ResetGrid();
    for (int c = 0; c < 8; ++c) ListBox1->setColumnWidth(c, kColumnWidths[c]);
    Zipfiles = OpenDialogFiles;
    State.CurrentAction = actNone;

    if (!archive.isEmpty()) {
        // A message the engine reports while reading this archive means it
        // is not one; the engine has shown its own box first.
        startupOpen_ = true;
        startupFailed_ = false;
        Settings.AddSubDirs = true;
        OpenDialogFiles.append(archive);
        Zipfiles = OpenDialogFiles;
        OpenDialogFileName = archive;
        ZipDir1.setZipFileName(archive.toStdString());
        if (!startupFailed_ && !ZipDir1.ZipFileName().empty()) ListArchive();
        startupOpen_ = false;
        if (startupFailed_ || ZipDir1.ZipFileName().empty())
            ShowMessage(first + " is not a zipfile");
    } else if (first.toUpper() == "/INIT") {
        FirstRunSetup();
    }
    ApplyInterface();
    State.Busy = false;
}

void Main_sc::ResetGrid() {
    ListBox1->setRowCount(2);
    ListBox1->setFixedRows(1);
    for (int c = 0; c < 8; ++c) {
        ListBox1->setCells(c, 0, kHeaders[c]);
        ListBox1->setCells(c, 1, QString());
    }
}

void Main_sc::ApplyInterface() {
    for (int c = 0; c < 7; ++c) ListBox1->setCells(c, 0, kHeaders[c]);
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != Settings.aot) {
        const bool visible = isVisible();
        setWindowFlag(Qt::WindowStaysOnTopHint, Settings.aot);
        if (visible) show();
    }
    // The function panel's caption colour (Toolfont) is kept in the settings;
    // the outlook bar draws its captions in its own colour.
    QPalette gp = progressbar1->palette();
    gp.setColor(QPalette::Highlight, FromBgr(Settings.Progcolor));
    progressbar1->setPalette(gp);
    QPalette lp = ListBox1->palette();
    lp.setColor(QPalette::Base, FromBgr(Settings.FileBkColor));
    lp.setColor(QPalette::Text, FromBgr(Settings.FileListColor));
    ListBox1->setPalette(lp);

    const QString viewers[4] = {Settings.Viewer1, Settings.Viewer2, Settings.Viewer3,
                                Settings.Viewer4};
    QFileIconProvider provider;
    for (int n = 0; n < 4; ++n) {
        const QFileInfo program(viewers[n]);
        if (!viewers[n].isEmpty() && program.isFile()) {
            ToolButtons[n]->setEnabled(true);
            ImageList2.append(provider.icon(program).pixmap(16, 16));
            ToolButtons[n]->setIcon(QIcon(ImageList2.last()));
        } else {
            ToolButtons[n]->setEnabled(false);
            ToolButtons[n]->setIcon(QIcon(ImageList2[n]));
        }
    }
    OutlookBar1->setBackground(QFileInfo(Settings.Toolback).isFile() ? QPixmap(Settings.Toolback)
                                                                     : QPixmap());
    Panel1->setVisible(ShowFunctionPanel->isChecked());
    Panel4->setVisible(ShowQuickLaunch->isChecked());
    Panel3->setVisible(ShowProgress->isChecked());
    statusBar()->setVisible(ShowStatusBar->isChecked());
    OutlookBar1->setColor(FromBgr(Settings.ToolBkColor));
    if (!ZipDir1.ZipFileName().empty()) {
        // With several archives open, listing only the current one would drop
        // the others' rows from the grid; list them all again.
        if (Zipfiles.size() > 1 && ZipDir1.ZipFileName() == Zipfiles.first().toStdString()) {
            ListAllArchives();
            ZipDir1.setZipFileName(Zipfiles.first().toStdString());
        } else {
            ListArchive();
        }
    }
}

void Main_sc::UpdateCaption() {
    if (!ZipDir1.ZipFileName().empty()) {
        ActionMenu->setEnabled(true);
        setWindowTitle("KELP  " + Settings.Ver + " -" + OpenDialogFileName);
    } else {
        ActionMenu->setEnabled(false);
        setWindowTitle("KELP  " + Settings.Ver + " - " + "<none>");
    }
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

void Main_sc::ToolButton5Click() {
    Viewer->close();
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

QString Main_sc::MakePrivateTempFolder() {
    // Members are viewed and checked out in a folder of this run's own, made
    // with mode 0700 under the temporary folder, so nobody else can plant a
    // file or link under the names Kelp writes.
    std::string pattern = platform::TempFolder() + "kelp-XXXXXX";
    if (!mkdtemp(pattern.data())) return QString();
    return QString::fromStdString(pattern) + "/";
}

bool Main_sc::HaveTempPath() {
    if (!TempPath.isEmpty()) return true;
    ShowMessage("Cannot create a private folder in " +
                QString::fromStdString(platform::TempFolder()));
    return false;
}

void Main_sc::DeleteTempFiles() {
    if (TempPath.isEmpty()) return;
    for (const QString& entry : Delfiles) {
        const QString path = TempPath + QFileInfo(entry).fileName();
        if (QFileInfo(path).isFile()) QFile::remove(path);
    }
    // The rest of the run's folder (checkouts, anything a library left)
    // goes with it.
    QDir(TempPath).removeRecursively();
    TempPath.clear();
}

void Main_sc::Exit() {
    // Leaves without the close handler: settings only when asked for, and the
    // viewing copies stay.
    if (SaveConfiguration->isChecked()) SaveSettings();
    exiting_ = true;
    Terminate();
}

void Main_sc::closeEvent(QCloseEvent* e) {
    if (exiting_) {
        e->accept();
        return;
    }
    if (SaveConfiguration->isChecked()) setWindowTitle("Deleting temp files");
    DeleteTempFiles();
    SaveSettings();
    Viewer->hide();
    e->accept();
}

bool Main_sc::eventFilter(QObject* o, QEvent* e) {
    // F1 in the grid opens the how-to rather than the menu's about box.
    if (o == ListBox1 && e->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(e)->key() == Qt::Key_F1) {
        e->accept();
        return true;
    }
    if (o == ListBox1 && e->type() == QEvent::KeyPress) {
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
    }
    if (o == ListBox1->viewport() && e->type() == QEvent::MouseButtonDblClick) {
        if (!SelectedRows().isEmpty()) Dispatch(actView);
        return true;
    }
    return QMainWindow::eventFilter(o, e);
}

}  // namespace kelp
