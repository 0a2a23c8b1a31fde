#include "app/gui/TfrmMain.h"

#include "analysis/MethodClass.h"

#include "analysis/TBellComp.h"
#include "analysis/TBellIntMeth.h"
#include "app/gui/HelpSystem.h"
#include "app/gui/Hourglass.h"
#include "app/gui/Icons.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/TfrmAbout.h"
#include "app/gui/TfrmEdit.h"
#include "app/gui/TfrmFind.h"
#include "app/gui/TfrmImportCalls.h"
#include "app/gui/TfrmImportMethods.h"
#include "app/gui/TfrmIntMeth.h"
#include "app/gui/TfrmOpen.h"
#include "app/gui/TfrmOptions.h"
#include "display/Printing.h"
#include "display/TBellCard.h"
#include "display/TBellPageWidget.h"
#include "display/TfrmPrint.h"
#include "engine/TextFunctions.h"
#include "library/CallsData.h"
#include "library/FindSimilar.h"
#include "library/MethodLookup.h"
#include "library/OptionsTable.h"
#include "library/SaveMessages.h"
#include "library/TfrmDataMod.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace tambrel {

namespace {

// The user's notation form in the settings file: "cc", or "short" (the default).
inline const QString kNotationFormKey = QStringLiteral("display/placeNotationForm");
inline const QString kCCForm = QStringLiteral("cc");

inline const QString kMsgFiveMethods = QStringLiteral("A maximum of five methods can be shown.");
inline const QString kMsgNoMethodToEdit = QStringLiteral("There is no method to edit!");
inline const QString kMsgCloseEdited =
    QStringLiteral("The Current Method has been edited.\r\rDo you still want to close it?");
inline const QString kMsgExit = QStringLiteral("Exit from Tambrel?");

QString Q(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The question names the method first: at exit several edited methods are asked about in turn.
QString CloseEditedText(const TBellCard& card)
{
    return Q(card.Store().Name()) + QStringLiteral("\r\r") + kMsgCloseEdited;
}

} // namespace

TfrmMain::TfrmMain(TfrmDataMod& dataModule, HelpSystem& help, MessageBoxes& messages,
                   QWidget* parent)
    : QMainWindow(parent), m_data(dataModule), m_help(help), m_messages(messages)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QApplication::applicationDisplayName());
    setWindowIcon(ToolIcon(QStringLiteral("tambrel")));

    // The calls and options tables are open from the data module's creation: read the calls
    // once for every page, then the options (which closes the tables).
    if (m_data.dbfCalls.Active()) {
        m_calls = ReadCallsTable(m_data.dbfCalls);
    } else {
        ReloadCalls();
    }
    std::vector<std::string> warnings;
    OptionsTable optionsTable(m_data);
    GlobalOptions.Load(optionsTable, warnings);
    GlobalOptions.CCNotation = QSettings().value(kNotationFormKey).toString() == kCCForm;
    for (const std::string& warning : m_data.TakeWarnings()) {
        warnings.push_back(warning);
    }

    tbsMain = new QTabWidget(this);
    tbsMain->setObjectName(QStringLiteral("tbsMain"));
    tbsMain->setDocumentMode(true);
    for (int k = 1; k <= kCards; ++k) {
        auto& card = m_cards[static_cast<std::size_t>(k - 1)];
        card = std::make_unique<TBellCard>(m_fch, m_rolls);
        card->Store().SetCallsLibrary(&m_calls);
        card->onStatus = [this](const QString& text) { StatusText(text); };
        // The inter-method sheet finds its second method among the pages open when it draws.
        card->IntMeth().openMethod = [this](int slot) -> const TBellStore* {
            if (slot < 1 || slot > kCards || !tbsMain->isTabVisible(TabOf(slot))) {
                return nullptr;
            }
            return &Card(slot).Store();
        };
        card->Touch().pageMethod = [this](int page) { return PageMethod(page); };
        auto* page = new TBellPageWidget(*card, tbsMain);
        page->setObjectName(QStringLiteral("sbxCard%1").arg(k));
        page->setProperty("tag", k);
        m_pages[static_cast<std::size_t>(k - 1)] = page;
        tbsMain->addTab(page, QString());
        tbsMain->setTabVisible(k - 1, false);
    }
    pnlCalling = new QWidget(this);
    pnlCalling->setObjectName(QStringLiteral("pnlCalling"));
    lblCalling = new QLabel(QStringLiteral("&Calling:"), pnlCalling);
    lblCalling->setObjectName(QStringLiteral("lblCalling"));
    edtCalling = new QLineEdit(pnlCalling);
    edtCalling->setObjectName(QStringLiteral("edtCalling"));
    edtCalling->setToolTip(
        QStringLiteral("The touch lead by lead: p, b (or -), s, (group)N, 2:b, *N for parts"));
    edtCalling->setStatusTip(edtCalling->toolTip());
    lblCalling->setBuddy(edtCalling);
    chkByPositions = new QCheckBox(QStringLiteral("By p&ositions"), pnlCalling);
    chkByPositions->setObjectName(QStringLiteral("chkByPositions"));
    chkByPositions->setToolTip(
        QStringLiteral("The calling in calling positions, a course at a time: W H H, sH, 2M, *3"));
    auto* lblObservation = new QLabel(QStringLiteral("O&bservation:"), pnlCalling);
    cboObservation = new QComboBox(pnlCalling);
    cboObservation->setObjectName(QStringLiteral("cboObservation"));
    cboObservation->setToolTip(QStringLiteral("The bell whose place after each call names it"));
    lblObservation->setBuddy(cboObservation);
    lblTouchResult = new QLabel(pnlCalling);
    lblTouchResult->setObjectName(QStringLiteral("lblTouchResult"));
    auto* callingRow = new QHBoxLayout(pnlCalling);
    callingRow->setContentsMargins(6, 4, 6, 4);
    callingRow->addWidget(lblCalling);
    callingRow->addWidget(edtCalling, 1);
    callingRow->addWidget(chkByPositions);
    callingRow->addWidget(lblObservation);
    callingRow->addWidget(cboObservation);
    callingRow->addWidget(lblTouchResult, 1);
    pnlCalling->setVisible(false);
    connect(edtCalling, &QLineEdit::textEdited, this, &TfrmMain::CallingEdited);
    connect(cboObservation, &QComboBox::activated, this, [this](int index) {
        if (m_current > 0) {
            Card(m_current).ObservationBell = index + 2;
            CallingEdited(edtCalling->text());
        }
    });
    connect(chkByPositions, &QCheckBox::clicked, this, [this](bool checked) {
        if (m_current > 0) {
            Card(m_current).CallingByPositions = checked;
            CallingEdited(edtCalling->text());
        }
    });
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(pnlCalling);
    column->addWidget(tbsMain, 1);
    setCentralWidget(central);
    connect(tbsMain, &QTabWidget::currentChanged, this, [this] { PageChange(); });
    // As in browsers and editors: the method tabs in turn from anywhere in the window.
    for (const auto& [keys, step] : {std::pair{Qt::CTRL | Qt::Key_Tab, 1},
                                     {Qt::CTRL | Qt::Key_PageDown, 1},
                                     {Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, -1},
                                     {Qt::CTRL | Qt::Key_Backtab, -1},
                                     {Qt::CTRL | Qt::Key_PageUp, -1}}) {
        auto* shortcut = new QShortcut(QKeySequence(keys), this);
        connect(shortcut, &QShortcut::activated, this, [this, step = step] { StepTab(step); });
    }

    pnlStatus = new QLabel(this);
    pnlStatus->setObjectName(QStringLiteral("pnlStatus"));
    lblEdited = new QLabel(QStringLiteral("EDITED"), this);
    lblEdited->setObjectName(QStringLiteral("lblEdited"));
    lblEdited->setVisible(false);
    statusBar()->addWidget(pnlStatus, 1);
    statusBar()->addPermanentWidget(lblEdited);

    CreateActions();
    CreateMenusAndToolBar();
    QApplication::instance()->installEventFilter(new DialogHelpKey(this));

    frmOpen = new TfrmOpen(m_data, m_messages, m_help, this);
    frmEdit = new TfrmEdit(m_messages, m_help, this);
    frmPrint = new TfrmPrint(printer, this);
    frmPrint->butHelp->setIcon(ToolIcon(QStringLiteral("help")));
    connect(frmPrint->butHelp, &QPushButton::clicked, this, [this] {
        m_help.Command(QStringLiteral("SHOW"), QStringLiteral("reading_diagram.htm#printing"),
                       frmPrint);
    });
    frmIntMeth = new TfrmIntMeth(this);
    frmIntMeth->butHelp->setIcon(ToolIcon(QStringLiteral("help")));
    connect(frmIntMeth->butHelp, &QPushButton::clicked, this, [this] {
        m_help.Command(QStringLiteral("SHOW"), QStringLiteral("inter-meth_false.htm"), frmIntMeth);
    });
    frmOptions = new TfrmOptions(m_data, m_help, this);
    frmAbout = new TfrmAbout(this);
    frmImportMethods = new TfrmImportMethods(m_data, m_messages, m_help, this);
    frmImportCalls = new TfrmImportCalls(m_data, m_messages, m_help, this);
    frmFind = new TfrmFind(m_data, m_messages, m_help, this);

    EnableMethodCommands(false);
    cboView->setCurrentIndex(0);

    // Below this the menus, the tabs and a lead's column no longer fit beside one another.
    setMinimumSize(480, 360);
    QSettings settings;
    if (!restoreGeometry(settings.value(QStringLiteral("window/geometry")).toByteArray())) {
        resize(1100, 760);
    }
    for (const std::string& warning : warnings) {
        StatusText(Q(" " + warning));
    }
}

TfrmMain::~TfrmMain() = default;

TBellCard& TfrmMain::Card(int k)
{
    return *m_cards[static_cast<std::size_t>(k - 1)];
}

TBellPageWidget& TfrmMain::Page(int k)
{
    return *m_pages[static_cast<std::size_t>(k - 1)];
}

int TfrmMain::Exec(QDialog& dialog)
{
    return execDialog ? execDialog(dialog) : dialog.exec();
}

void TfrmMain::StatusText(const QString& text)
{
    pnlStatus->setText(text);
    pnlStatus->repaint();
}

void TfrmMain::ReportTableWarnings(const QString& lead)
{
    QString text = lead;
    for (const std::string& warning : m_data.TakeWarnings()) {
        text += QLatin1Char(' ') + Q(warning);
    }
    if (!text.isEmpty()) {
        StatusText(text);
    }
}

void TfrmMain::ReloadCalls()
{
    if (m_data.OpenTables("CALLS", TableAccess::Read)) {
        m_calls = ReadCallsTable(m_data.dbfCalls);
    }
    m_data.CloseTables();
    ReportTableWarnings();
}

void TfrmMain::StepTab(int step)
{
    const int count = tbsMain->count();
    for (int tab = tbsMain->currentIndex(), tried = 1; tried < count; ++tried) {
        tab = (tab + step + count) % count;
        if (tbsMain->isTabVisible(tab)) {
            tbsMain->setCurrentIndex(tab);
            return;
        }
    }
}

void TfrmMain::CreateActions()
{
    const auto action = [this](QAction*& target, const char* name, const char* caption,
                               const char* icon, const char* hint, QKeySequence keys = {}) {
        target = new QAction(QString::fromLatin1(caption), this);
        target->setObjectName(QString::fromLatin1(name));
        if (icon != nullptr) {
            target->setIcon(ToolIcon(QString::fromLatin1(icon)));
        }
        if (hint != nullptr) {
            target->setToolTip(QString::fromLatin1(hint));
            target->setStatusTip(QString::fromLatin1(hint));
        }
        if (!keys.isEmpty()) {
            target->setShortcut(keys);
        }
    };
    action(mnuFNew, "mnuFNew", "&New Method...", "new", "Enter a New Method", QKeySequence::New);
    action(mnuFOpen, "mnuFOpen", "&Open an Existing Method...", "open", "Open a Method",
           QKeySequence::Open);
    action(mnuFClose, "mnuFClose", "&Close the Current Method", "close", "Close the Current Method",
           QKeySequence::Close);
    action(mnuFCloseAll, "mnuFCloseAll", "Close &All Methods", "closeall", "Close all Methods",
           QKeySequence(QStringLiteral("Ctrl+Shift+W")));
    action(mnuFEdit, "mnuFEdit", "&Edit the Current Method...", "edit", "Edit the Current Method",
           QKeySequence(QStringLiteral("Ctrl+E")));
    action(mnuFSave, "mnuFSave", "&Save the Current Method...", "save", "Save the Current Method",
           QKeySequence::Save);
    action(mnuFPrint, "mnuFPrint", "&Print the Current Method...", "print",
           "Print the Current Method", QKeySequence::Print);
    action(mnuFExit, "mnuFExit", "E&xit", nullptr, nullptr, QKeySequence::Quit);
    action(mnuVDiagram, "mnuVDiagram", "&Method Diagram", nullptr, nullptr,
           QKeySequence(QStringLiteral("Ctrl+1")));
    action(mnuVStatistics, "mnuVStatistics", "&Statistics Sheet", nullptr, nullptr,
           QKeySequence(QStringLiteral("Ctrl+2")));
    action(mnuVComposition, "mnuVComposition", "&Composition Sheet", nullptr, nullptr,
           QKeySequence(QStringLiteral("Ctrl+3")));
    action(mnuVInterMethod, "mnuVInterMethod", "&Inter-Method Falseness", nullptr, nullptr,
           QKeySequence(QStringLiteral("Ctrl+4")));
    action(mnuVTouch, "mnuVTouch", "&Touch", nullptr, nullptr,
           QKeySequence(QStringLiteral("Ctrl+5")));
    action(mnuVOptions, "mnuVOptions", "Set &Options...", "options", "Set Options",
           QKeySequence(QStringLiteral("Ctrl+,")));
    action(mnuTUnique, "mnuTUnique", "Check the Method is &Unique", "unique",
           "Check the Method is Unique", QKeySequence(QStringLiteral("Ctrl+U")));
    action(mnuTFind, "mnuTFind", "&Find Similar Methods...", "find", "Find Similar Methods",
           QKeySequence(QStringLiteral("Ctrl+F")));
    action(mnuTClipboard, "mnuTClipboard", "&Copy to the Clipboard", "clipboard",
           "Copy to the Clipboard", QKeySequence::Copy);
    action(mnuTClearClipboard, "mnuTClearClipboard", "C&lear the Clipboard", nullptr, nullptr);
    action(mnuTImportMethods, "mnuTImportMethods", "&Import Extra Methods...", nullptr, nullptr);
    action(mnuTImportCalls, "mnuTImportCalls", "Import &Extra Calls...", nullptr, nullptr);
    action(mnuTReindex, "mnuTReindex", "Reinde&x the Method Libraries", nullptr, nullptr);
    action(mnuHContents, "mnuHContents", "&Contents...", "help", nullptr, QKeySequence(Qt::Key_F1));
    action(mnuHWhatsNew, "mnuHWhatsNew", "&What's New...", nullptr, nullptr);
    action(mnuHTutorial, "mnuHTutorial", "&Tutorial...", nullptr, nullptr);
    action(mnuHAbout, "mnuHAbout", "&About Tambrel...", nullptr, nullptr);

    m_views = new QActionGroup(this);
    m_views->setExclusive(true);
    for (QAction* view :
         {mnuVDiagram, mnuVStatistics, mnuVComposition, mnuVInterMethod, mnuVTouch}) {
        view->setCheckable(true);
        m_views->addAction(view);
    }
    mnuVDiagram->setChecked(true);

    connect(mnuFNew, &QAction::triggered, this, [this] { MethodAction(QStringLiteral("NEW")); });
    connect(mnuFOpen, &QAction::triggered, this, [this] { MethodAction(QStringLiteral("OPEN")); });
    connect(mnuFEdit, &QAction::triggered, this, [this] { MethodAction(QStringLiteral("EDIT")); });
    connect(mnuFClose, &QAction::triggered, this, &TfrmMain::CloseCurrent);
    connect(mnuFCloseAll, &QAction::triggered, this, [this] { CloseAll(); });
    connect(mnuFSave, &QAction::triggered, this, &TfrmMain::SaveMethod);
    connect(mnuFPrint, &QAction::triggered, this, &TfrmMain::PrintMethod);
    connect(mnuFExit, &QAction::triggered, this, &QWidget::close);
    connect(mnuVDiagram, &QAction::triggered, this, [this] { ChooseView(0); });
    connect(mnuVStatistics, &QAction::triggered, this, [this] { ChooseView(1); });
    connect(mnuVComposition, &QAction::triggered, this, [this] { ChooseView(2); });
    connect(mnuVInterMethod, &QAction::triggered, this, [this] { ChooseView(3); });
    connect(mnuVTouch, &QAction::triggered, this, [this] { ChooseView(4); });
    connect(mnuVOptions, &QAction::triggered, this, &TfrmMain::SetOptions);
    connect(mnuTUnique, &QAction::triggered, this, &TfrmMain::CheckUnique);
    connect(mnuTFind, &QAction::triggered, this, &TfrmMain::FindSimilar);
    connect(mnuTClipboard, &QAction::triggered, this, &TfrmMain::CopyClipboard);
    connect(mnuTClearClipboard, &QAction::triggered, this, [] { ClearClipboard(); });
    connect(mnuTImportMethods, &QAction::triggered, this, &TfrmMain::ImportMethods);
    connect(mnuTImportCalls, &QAction::triggered, this, &TfrmMain::ImportCalls);
    connect(mnuTReindex, &QAction::triggered, this, &TfrmMain::Reindex);
    connect(mnuHContents, &QAction::triggered, this,
            [this] { m_help.Command(QStringLiteral("SHOW"), QString(), this); });
    connect(mnuHWhatsNew, &QAction::triggered, this, [this] {
        m_help.Command(QStringLiteral("SHOW"), QStringLiteral("whats_new.htm"), this);
    });
    connect(mnuHTutorial, &QAction::triggered, this, [this] {
        m_help.Command(QStringLiteral("SHOW"), QStringLiteral("tutorial.htm"), this);
    });
    connect(mnuHAbout, &QAction::triggered, this, [this] { Exec(*frmAbout); });
}

void TfrmMain::CreateMenusAndToolBar()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addActions({mnuFNew, mnuFOpen, mnuFClose, mnuFCloseAll});
    file->addSeparator();
    file->addActions({mnuFEdit, mnuFSave});
    file->addSeparator();
    file->addAction(mnuFPrint);
    file->addSeparator();
    file->addAction(mnuFExit);
    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->addActions({mnuVDiagram, mnuVStatistics, mnuVComposition, mnuVInterMethod, mnuVTouch});
    view->addSeparator();
    view->addAction(mnuVOptions);
    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    tools->addActions({mnuTUnique, mnuTFind});
    tools->addSeparator();
    tools->addActions({mnuTClipboard, mnuTClearClipboard});
    tools->addSeparator();
    tools->addActions({mnuTImportMethods, mnuTImportCalls, mnuTReindex});
    // Clearing is offered only when the clipboard holds something.
    connect(tools, &QMenu::aboutToShow, this, [this] {
        const QMimeData* content = QApplication::clipboard()->mimeData();
        mnuTClearClipboard->setEnabled(content != nullptr && !content->formats().isEmpty());
    });
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addActions({mnuHContents, mnuHWhatsNew, mnuHTutorial});
    help->addSeparator();
    help->addAction(mnuHAbout);

    tbrMain = addToolBar(QStringLiteral("Commands"));
    tbrMain->setObjectName(QStringLiteral("tbrMain"));
    tbrMain->setIconSize(QSize(24, 24));
    const auto button = [this](QAction* action, const char* name) {
        tbrMain->addAction(action);
        tbrMain->widgetForAction(action)->setObjectName(QString::fromLatin1(name));
    };
    button(mnuFNew, "butNew");
    button(mnuFOpen, "butOpen");
    button(mnuFClose, "butClose");
    button(mnuFCloseAll, "butCloseAll");
    tbrMain->addSeparator();
    button(mnuFEdit, "butEdit");
    button(mnuFSave, "butSave");
    button(mnuFPrint, "butPrint");
    tbrMain->addSeparator();
    cboView = new QComboBox(tbrMain);
    cboView->setObjectName(QStringLiteral("cboView"));
    cboView->addItems({QStringLiteral("Method Diagram"), QStringLiteral("Statistics Sheet"),
                       QStringLiteral("Composition Sheet"),
                       QStringLiteral("Inter-Method Falseness"), QStringLiteral("Touch")});
    cboView->setToolTip(QStringLiteral("Set View of the Current Method"));
    cboView->setStatusTip(cboView->toolTip());
    cboView->setFocusPolicy(Qt::TabFocus);
    tbrMain->addWidget(cboView);
    connect(cboView, &QComboBox::activated, this, [this](int index) { ChooseView(index); });
    button(mnuVOptions, "butOptions");
    tbrMain->addSeparator();
    button(mnuTUnique, "butUnique");
    button(mnuTFind, "butFind");
    button(mnuTClipboard, "butClipboard");
}

bool TfrmMain::MethodCommandsEnabled() const
{
    return mnuFClose->isEnabled();
}

void TfrmMain::EnableMethodCommands(bool enabled)
{
    for (QAction* action : {mnuFClose, mnuFCloseAll, mnuFEdit, mnuFSave, mnuFPrint, mnuVDiagram,
                            mnuVStatistics, mnuVComposition, mnuVInterMethod, mnuVTouch,
                            mnuVOptions, mnuTUnique, mnuTFind, mnuTClipboard}) {
        action->setEnabled(enabled);
    }
    cboView->setEnabled(enabled);
    tbsMain->setVisible(enabled);
    if (!enabled) {
        for (int k = 1; k <= kCards; ++k) {
            Card(k).ClearPage();
            Page(k).PictureChanged();
        }
        m_current = 0;
        mnuVDiagram->setChecked(true);
        cboView->setCurrentIndex(0);
        pnlCalling->setVisible(false);
    }
}

int TfrmMain::TabOf(int k) const
{
    return tbsMain->indexOf(m_pages[static_cast<std::size_t>(k - 1)]);
}

int TfrmMain::CardAtTab(int tab) const
{
    const QWidget* page = tbsMain->widget(tab);
    return page != nullptr ? page->property("tag").toInt() : 0;
}

void TfrmMain::ShowEdited()
{
    lblEdited->setVisible(m_current > 0 && Card(m_current).Edited);
}

void TfrmMain::MethodAction(const QString& action)
{
    const int remembered = m_current;
    const bool edit = action == QLatin1String("EDIT");
    if (!edit) {
        int free = 0;
        for (int k = kCards; k >= 1; --k) {
            if (!tbsMain->isTabVisible(TabOf(k))) {
                free = k;
            }
        }
        if (free == 0) {
            m_messages.Show(this, BoxKind::Information, kMsgFiveMethods);
            return;
        }
        m_current = free;
    }
    if (action == QLatin1String("NEW")) {
        TBellStore& store = Card(m_current).Store();
        store.SetBells(IsValidStage(GlobalOptions.Bells) ? GlobalOptions.Bells : 8);
        store.SetName("UNTITLED METHOD");
        store.SetPlaceNotation("");
        frmEdit->Prepare(Card(m_current), GlobalOptions);
        Exec(*frmEdit);
    } else if (action == QLatin1String("OPEN")) {
        frmOpen->Prepare(Card(m_current), GlobalOptions, ResetOpenPosition);
        Exec(*frmOpen);
        frmOpen->FormClose();
        ReportTableWarnings();
    } else {
        if (m_current == 0) {
            m_messages.Show(this, BoxKind::Warning, kMsgNoMethodToEdit);
            return;
        }
        frmEdit->Prepare(Card(m_current), GlobalOptions);
        Exec(*frmEdit);
    }
    TBellCard& card = Card(m_current);
    if (!card.Changed) {
        m_current = remembered; // cancelled
        return;
    }
    card.Edited = action != QLatin1String("OPEN");
    Hourglass hourglass;
    if (!edit) {
        {
            // Moving tabs shifts the current one; the page change follows below, once.
            const QSignalBlocker quiet(tbsMain);
            tbsMain->tabBar()->moveTab(TabOf(m_current), tbsMain->count() - 1);
            tbsMain->setTabVisible(TabOf(m_current), true);
        }
        EnableMethodCommands(true);
        card.PageOptions.InitialiseFrom(GlobalOptions, card.Store().Bells());
    }
    card.PageOptions.LeadToShow = 0;
    card.Store().Calculate();
    SetTabCaption(m_current);
    {
        const QSignalBlocker quiet(tbsMain);
        tbsMain->setCurrentIndex(TabOf(m_current));
    }
    ShowEdited();
    ShowView(0);
    card.Changed = false;
}

void TfrmMain::SetTabCaption(int k)
{
    QString name = Q(Card(k).Store().Name());
    const QFontMetrics metrics(tbsMain->tabBar()->font());
    const int width = m_tabWidth > 0 ? m_tabWidth - 12 : 10000;
    if (metrics.horizontalAdvance(name + QLatin1Char('8')) > width) {
        while (!name.isEmpty() &&
               metrics.horizontalAdvance(name + QStringLiteral("...8")) > width) {
            name.chop(1);
        }
        name += QStringLiteral("...");
    }
    name.replace(QLatin1Char('&'), QStringLiteral("&&")); // "&" is no access key here
    tbsMain->setTabText(TabOf(k), name);
    tbsMain->setTabToolTip(TabOf(k), Q(Card(k).Store().Name()));
}

void TfrmMain::SetTabWidth()
{
    m_tabWidth = centralWidget() != nullptr ? width() * 5 / 26 : 0; // five tabs fill 26/26 less one
    tbsMain->tabBar()->setStyleSheet(
        QStringLiteral("QTabBar::tab { width: %1px; }").arg(m_tabWidth));
    for (int k = 1; k <= kCards; ++k) {
        if (tbsMain->isTabVisible(TabOf(k))) {
            SetTabCaption(k);
        }
    }
}

void TfrmMain::ShowView(int view)
{
    if (m_current == 0) {
        return;
    }
    TBellCard& card = Card(m_current);
    cboView->setCurrentIndex(view);
    card.View = static_cast<PageView>(view);
    if (view == 0) {
        mnuVDiagram->setChecked(true);
        Hourglass hourglass;
        Page(m_current).Redraw();
        if (card.Store().CourseTooLong()) {
            m_messages.Show(this, BoxKind::Information,
                            QStringLiteral("This method has more than 2000 rows in the Plain "
                                           "Course.\r\rOnly the first %1 changes are shown.")
                                .arg(card.Store().RowCount()));
        }
    } else {
        m_views->actions()[view]->setChecked(true);
        Hourglass hourglass;
        Page(m_current).Redraw();
    }
    ShowCallingBar();
    if (card.View == PageView::Touch) {
        edtCalling->setFocus(Qt::OtherFocusReason);
    }
}

void TfrmMain::ShowCallingBar()
{
    const bool touch = m_current > 0 && Card(m_current).View == PageView::Touch;
    if (touch) {
        TBellCard& card = Card(m_current);
        const QString calling = Q(card.Calling);
        if (edtCalling->text() != calling) {
            edtCalling->setText(calling);
        }
        chkByPositions->setChecked(card.CallingByPositions);
        // The working bells of the page's stage, the one observed chosen.
        const QSignalBlocker quiet(cboObservation);
        cboObservation->clear();
        for (int bell = 2; bell <= card.Store().Bells(); ++bell) {
            cboObservation->addItem(QString(QChar::fromLatin1(SymbolOf(bell))));
        }
        cboObservation->setCurrentIndex(card.Touch().Observed() - 2);
        lblTouchResult->setText(card.Touch().ResultText());
    }
    pnlCalling->setVisible(touch);
}

void TfrmMain::CallingEdited(const QString& text)
{
    if (m_current == 0 || Card(m_current).View != PageView::Touch) {
        return;
    }
    // A touch of thousands of rows proves and draws well within a keystroke: no waiting.
    TBellCard& card = Card(m_current);
    card.Calling = text.toStdString();
    Page(m_current).Redraw();
    lblTouchResult->setText(card.Touch().ResultText());
}

const TBellStore* TfrmMain::PageMethod(int page) const
{
    for (int tab = 0, shown = 0; tab < tbsMain->count(); ++tab) {
        if (tbsMain->isTabVisible(tab) && ++shown == page) {
            return &m_cards[static_cast<std::size_t>(CardAtTab(tab) - 1)]->Store();
        }
    }
    return nullptr;
}

void TfrmMain::RestoreViewList()
{
    const int view = m_current > 0 ? static_cast<int>(Card(m_current).View) : 0;
    cboView->setCurrentIndex(view);
    m_views->actions()[view]->setChecked(true);
    ShowCallingBar();
}

void TfrmMain::ChooseView(int view)
{
    if (m_current == 0) {
        return;
    }
    TBellCard& card = Card(m_current);
    if (static_cast<int>(card.View) == view) {
        if (card.View == PageView::InterMethod) {
            ChooseSecondMethod(); // chosen again: another second method, perhaps
            return;
        }
        RestoreViewList();
        return; // already shown
    }
    switch (view) {
    case 0:
        ShowView(0);
        return;
    case 1:
        ShowView(1);
        return;
    case 2:
        if (const std::string refusal = TBellComp::Refusal(card.Store()); !refusal.empty()) {
            m_messages.Show(this, BoxKind::Information, Q(refusal));
            break;
        }
        ShowView(2);
        return;
    case 3:
        if (const std::string refusal = TBellIntMeth::Refusal(card.Store()); !refusal.empty()) {
            m_messages.Show(this, BoxKind::Information, Q(refusal));
            break;
        }
        ChooseSecondMethod();
        return;
    default:
        ShowView(4);
        return;
    }
    RestoreViewList();
}

void TfrmMain::ChooseSecondMethod()
{
    TBellCard& card = Card(m_current);
    // Methods whose course was cut at 2000 rows are not offered: falseness against part of a
    // course would look complete. The current method is always there.
    std::vector<TfrmIntMeth::Candidate> candidates;
    for (int k = 1; k <= kCards; ++k) {
        const TBellStore& store = Card(k).Store();
        if (tbsMain->isTabVisible(TabOf(k)) && TBellIntMeth::Refusal(card.Store(), store).empty()) {
            candidates.push_back({k, store.Name()});
        }
    }
    // The method chosen last for this page, while that page still holds it.
    const SecondMethod& last = card.IntMeth().Second();
    const bool lastOpen = last.slot >= 1 && last.slot <= kCards &&
                          tbsMain->isTabVisible(TabOf(last.slot)) &&
                          last.Matches(&Card(last.slot).Store());
    frmIntMeth->FormActivate(candidates, lastOpen ? last.slot : 0);
    Exec(*frmIntMeth);
    const int chosen = frmIntMeth->result() == QDialog::Accepted ? frmIntMeth->Chosen() : 0;
    if (chosen == 0) {
        RestoreViewList();
        return;
    }
    card.IntMeth().Choose(chosen, Card(chosen).Store());
    ShowView(3);
}

void TfrmMain::SetOptions()
{
    if (m_current == 0) {
        return;
    }
    TBellCard& card = Card(m_current);
    const bool ccNotation = GlobalOptions.CCNotation;
    frmOptions->Prepare(card, GlobalOptions);
    Exec(*frmOptions);
    ReportTableWarnings();
    if (GlobalOptions.CCNotation != ccNotation) {
        // The notation form is the user's, kept at once, and every page shows it.
        QSettings().setValue(kNotationFormKey,
                             GlobalOptions.CCNotation ? kCCForm : QStringLiteral("short"));
        for (int k = 1; k <= kCards; ++k) {
            Card(k).PageOptions.CCNotation = GlobalOptions.CCNotation;
            if (k != m_current && tbsMain->isTabVisible(TabOf(k))) {
                Page(k).Redraw();
            }
        }
    }
    if (card.Changed) {
        Hourglass hourglass;
        card.Store().RecalcCalls();
        ShowView(static_cast<int>(card.View));
        card.Changed = false;
    }
}

void TfrmMain::PageChange()
{
    const int tab = tbsMain->currentIndex();
    const int k = tab >= 0 ? CardAtTab(tab) : 0;
    if (k == 0 || !tbsMain->isTabVisible(tab)) {
        return;
    }
    m_current = k;
    RestoreViewList();
    ShowEdited();
    // The second method, or a method of a spliced touch, may have been closed or changed on
    // its own page meanwhile.
    if (Card(k).View == PageView::InterMethod || Card(k).View == PageView::Touch) {
        Page(k).Redraw();
        ShowCallingBar();
    }
}

void TfrmMain::CloseCurrent()
{
    if (m_current == 0) {
        return;
    }
    TBellCard& card = Card(m_current);
    if (card.Edited && !m_messages.Show(this, BoxKind::Question, CloseEditedText(card))) {
        return;
    }
    card.Edited = false;
    const int tab = TabOf(m_current);
    int left = -1;
    int right = -1;
    for (int t = tab - 1; t >= 0 && left < 0; --t) {
        left = tbsMain->isTabVisible(t) ? t : -1;
    }
    for (int t = tab + 1; t < tbsMain->count() && right < 0; ++t) {
        right = tbsMain->isTabVisible(t) ? t : -1;
    }
    const int next = left >= 0 ? CardAtTab(left) : (right >= 0 ? CardAtTab(right) : 0);
    {
        const QSignalBlocker quiet(tbsMain);
        tbsMain->setTabVisible(tab, false);
    }
    card.ClearPage();
    Page(m_current).PictureChanged();
    if (next == 0) {
        EnableMethodCommands(false);
        ShowEdited();
        return;
    }
    {
        const QSignalBlocker quiet(tbsMain);
        tbsMain->setCurrentIndex(TabOf(next));
    }
    m_current = next;
    PageChange();
}

bool TfrmMain::CloseAll()
{
    int kept = 0;
    for (int k = 1; k <= kCards; ++k) {
        const int tab = TabOf(k);
        if (!tbsMain->isTabVisible(tab)) {
            continue;
        }
        TBellCard& card = Card(k);
        if (card.Edited) {
            tbsMain->setCurrentIndex(tab);
            if (!m_messages.Show(this, BoxKind::Question, CloseEditedText(card))) {
                kept = k;
                continue;
            }
        }
        card.Edited = false;
        {
            const QSignalBlocker quiet(tbsMain);
            tbsMain->setTabVisible(tab, false);
        }
        card.ClearPage();
        Page(k).PictureChanged();
    }
    if (kept == 0) {
        EnableMethodCommands(false);
        lblEdited->setVisible(false);
        return true;
    }
    {
        const QSignalBlocker quiet(tbsMain);
        tbsMain->setCurrentIndex(TabOf(kept));
    }
    m_current = kept;
    PageChange();
    return false;
}

bool TfrmMain::AskExit()
{
    if (!m_messages.Show(this, BoxKind::Question, kMsgExit)) {
        return false;
    }
    if (!CloseAll()) {
        return false;
    }
    OptionsTable optionsTable(m_data);
    if (const std::string error = GlobalOptions.Save(optionsTable); !error.empty()) {
        m_messages.Show(this, BoxKind::Warning,
                        QStringLiteral("The options could not be saved:\r\r") + Q(error));
    }
    return true;
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    m_help.Command(QStringLiteral("CLOSE"));
    if (m_exiting || AskExit()) {
        m_exiting = true;
        QSettings().setValue(QStringLiteral("window/geometry"), saveGeometry());
        event->accept();
        return;
    }
    event->ignore();
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        // Once the window has been painted, so that the about box stands in front of it.
        QTimer::singleShot(0, this, &TfrmMain::FirstActivation);
    }
}

void TfrmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (m_activated) {
        SetTabWidth();
    }
}

void TfrmMain::FirstActivation()
{
    m_activated = true;
    m_help.Command(QStringLiteral("OPEN"));
    if (aboutAtFirstActivation) {
        Exec(*frmAbout);
    }
    bool empty = false;
    if (m_data.OpenTables("OPTIONS", TableAccess::Read)) {
        empty = m_data.dbfOptions.RecordCount() == 0;
    }
    m_data.CloseTables();
    ReportTableWarnings();
    if (empty) {
        Reindex(); // a first start: make sure the new library's indexes are whole
    }
    SetTabWidth();
}

bool TfrmMain::ConfirmTitle(TBellCard& card)
{
    TBellStore& store = card.Store();
    const Classification c = Classify(store.UsedMoves(), store.Bells());
    const TitleCheck check = CheckTitle(store.Name(), c, store.Bells());
    if (!check.disagreement.empty()) {
        return m_messages.Show(this, BoxKind::Question, Q(check.disagreement));
    }
    if (check.offer.empty()) {
        return true;
    }
    if (Utf8Length(check.offer) > TBellStore::kMaxNameLength) {
        // Cut, it would be a title the Council never gave: say so, and keep the name.
        m_messages.Show(this, BoxKind::Information,
                        Q(check.offer) + QStringLiteral("\r\rThe Central Council's title is "
                                                        "longer than the 60 characters a library "
                                                        "holds, so the method keeps the name as "
                                                        "typed."));
        return true;
    }
    switch (m_messages.AskTitle(this, Q(store.Name()), Q(check.offer))) {
    case TitleChoice::Cancel:
        return false;
    case TitleChoice::Full:
        store.SetName(check.offer);
        SetTabCaption(m_current);
        Page(m_current).Redraw(); // the heading names the method
        return true;
    case TitleChoice::AsTyped:
        break;
    }
    return true;
}

void TfrmMain::SaveMethod()
{
    if (m_current == 0) {
        return;
    }
    TBellCard& card = Card(m_current);
    if (!ConfirmTitle(card)) {
        return;
    }
    const TBellStore& store = card.Store();
    const SaveChoice choice = m_messages.AskSaveLibrary(this);
    if (choice == SaveChoice::Cancel) {
        return;
    }
    StatusText(QString()); // no word of an earlier save
    Hourglass hourglass;
    const tambrel::Status opened =
        m_data.OpenTables(choice == SaveChoice::Main ? "MAIN" : "PERSONAL");
    if (!opened) {
        m_data.CloseTables();
        m_messages.Show(this, BoxKind::Warning, Q(opened.error));
        return;
    }
    TDbf& table = m_data.dbfMethods;
    const std::string& name = store.Name();
    const SaveDecision decision = DecideSave(
        name, store.TidyNotation(), LookUpHeld(table, store.Bells(), name, store.TidyNotation()));
    tambrel::Status written;
    bool saved = false;
    switch (decision.outcome) {
    case SaveOutcome::TooLong:
        // Nothing is saved, so the method stays edited and is asked about at exit.
        m_data.CloseTables();
        m_messages.Show(this, BoxKind::Information, Q(decision.text));
        return;
    case SaveOutcome::AlreadyStored:
        m_messages.Show(this, BoxKind::Plain, Q(decision.text));
        card.Edited = false;
        break;
    case SaveOutcome::AskRename:
        if (m_messages.Show(this, BoxKind::Question, Q(decision.text))) {
            written = RenameMethod(table, name);
            card.Edited = !written.ok();
            saved = written.ok();
        }
        break;
    case SaveOutcome::Append:
        written = AppendMethod(table, BellsKey(store.Bells()), name, store.TidyNotation(),
                               store.LeadHeadCode());
        card.Edited = !written.ok();
        saved = written.ok();
        break;
    case SaveOutcome::NameTaken:
    case SaveOutcome::BothTaken:
        m_messages.Show(this, BoxKind::Warning, Q(decision.text));
        break;
    }
    const tambrel::Status closed = m_data.CloseTables();
    if (!written) {
        m_messages.Show(this, BoxKind::Warning, Q(written.error));
    } else if (!closed) {
        card.Edited = true;
        m_messages.Show(this, BoxKind::Warning, Q(closed.error));
    }
    ReportTableWarnings(
        !saved || !written || !closed
            ? QString()
            : Q(choice == SaveChoice::Main ? kMsgSavedToMain : kMsgSavedToPersonal));
    ShowEdited();
}

void TfrmMain::CheckUnique()
{
    if (m_current == 0) {
        return;
    }
    const TBellStore& store = Card(m_current).Store();
    const auto lookup = [&](const char* code) {
        std::string name;
        if (m_data.OpenTables(code, TableAccess::Read) &&
            FindMethod(m_data.dbfMethods, FindBy::Places, BellsKey(store.Bells()),
                       store.TidyNotation())) {
            name = Trim(m_data.dbfMethods.FieldText("name"));
        }
        m_data.CloseTables();
        return name;
    };
    std::string inMain;
    std::string inPersonal;
    {
        Hourglass hourglass;
        inMain = lookup("MAIN");
        inPersonal = inMain.empty() ? lookup("PERSONAL") : std::string();
    }
    ReportTableWarnings();
    const UniqueReport report = ReportUnique(inMain, inPersonal);
    m_messages.Show(this, report.inMain ? BoxKind::Warning : BoxKind::Information, Q(report.text));
}

void TfrmMain::FindSimilar()
{
    if (m_current == 0) {
        return;
    }
    const TBellStore& store = Card(m_current).Store();
    if (const std::string refusal = FindRefusal(store); !refusal.empty()) {
        m_messages.Show(this, BoxKind::Information, Q(refusal));
        return;
    }
    frmFind->Prepare(store, ResetOpenPosition, GlobalOptions.CCNotation);
    Exec(*frmFind);
}

void TfrmMain::PrintMethod()
{
    if (m_current == 0) {
        return;
    }
    TBellCard& card = Card(m_current);
    frmPrint->FormActivate(GlobalOptions, card.View == PageView::Diagram);
    if (Exec(*frmPrint) != QDialog::Accepted) {
        return;
    }
    // The file chosen in this print's set-up, or else one asked for now: an earlier print's
    // file is never used again unasked, and one that exists is replaced only on Yes.
    QString file;
    if (PrintsToFile(printer)) {
        file = frmPrint->ChosenFile();
        if (!file.isEmpty() && QFileInfo::exists(file) && !AskReplace(file)) {
            file.clear();
        }
        if (file.isEmpty()) {
            file = AskPrintFile(Q(card.Store().Name()));
        }
        if (file.isEmpty()) {
            return; // nothing printed, and the dialog's choices are not kept
        }
    }
    frmPrint->Accepted(GlobalOptions, card.PageOptions);
    if (!file.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
    }
    QString error;
    {
        Hourglass hourglass;
        error = PrintCard(card, printer, card.PageOptions.Copies);
    }
    StatusText(card.ViewObject(card.View).DoneStatus());
    if (!error.isEmpty()) {
        m_messages.Show(this, BoxKind::Warning, error);
    }
}

bool TfrmMain::AskReplace(const QString& file)
{
    return m_messages.Show(this, BoxKind::Question,
                           QStringLiteral("The file\r\r") + QDir::toNativeSeparators(file) +
                               QStringLiteral("\r\ralready exists.\r\rDo you want to replace it?"));
}

QString TfrmMain::AskPrintFile(const QString& methodName)
{
    const QString suggested = SuggestedPrintFile(methodName);
    for (;;) {
        QString file;
        if (choosePrintFile) {
            file = choosePrintFile(suggested);
        } else {
            QFileDialog dialog(this, QStringLiteral("Print to File"));
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setOption(QFileDialog::DontConfirmOverwrite); // asked below, No by default
            dialog.setNameFilter(QStringLiteral("PDF files (*.pdf)"));
            dialog.setDefaultSuffix(QStringLiteral("pdf"));
            dialog.setDirectory(QFileInfo(suggested).absolutePath());
            dialog.selectFile(suggested);
            if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
                file = dialog.selectedFiles().constFirst();
            }
        }
        if (file.isEmpty() || !QFileInfo::exists(file) || AskReplace(file)) {
            return file;
        }
    }
}

void TfrmMain::CopyClipboard()
{
    if (m_current == 0) {
        return;
    }
    Hourglass hourglass;
    CopyToClipboard(Card(m_current));
}

void TfrmMain::ImportMethods()
{
    // An edited method kept open stops the import: nothing else changes.
    const bool open = m_current > 0;
    if (!CloseAll()) {
        return;
    }
    EnableMethodCommands(false);
    frmImportMethods->NoteClosedMethods(open);
    if (const tambrel::Status opened = frmImportMethods->FormActivate(GlobalOptions.CheckMyLib);
        !opened) {
        ReportTableWarnings();
        m_messages.Show(this, BoxKind::Warning, Q(opened.error));
        return;
    }
    Exec(*frmImportMethods);
    frmImportMethods->FormClose();
    GlobalOptions.CheckMyLib = frmImportMethods->chkCheckMyLib->isChecked();
    if (frmImportMethods->Import().LibraryReplaced()) {
        ResetOpenPosition = true; // the main library's record numbers are all new
    }
    ReportTableWarnings();
}

void TfrmMain::ImportCalls()
{
    const bool open = m_current > 0;
    if (!CloseAll()) {
        return;
    }
    EnableMethodCommands(false);
    frmImportCalls->NoteClosedMethods(open);
    if (const tambrel::Status opened = frmImportCalls->FormActivate(); !opened) {
        ReportTableWarnings();
        m_messages.Show(this, BoxKind::Warning, Q(opened.error));
        return;
    }
    Exec(*frmImportCalls);
    frmImportCalls->FormClose();
    if (frmImportCalls->Imported()) {
        ReloadCalls(); // every later method takes its bobs and singles from the new calls
    }
    ReportTableWarnings();
}

void TfrmMain::Reindex()
{
    tambrel::Status status;
    {
        Hourglass hourglass;
        StatusText(QStringLiteral(" Re-indexing the Method Libraries..."));
        status = m_data.ReindexTables();
        StatusText(QString());
    }
    ReloadCalls();
    if (status) {
        m_messages.Show(this, BoxKind::Information, QStringLiteral("Re-indexing Complete."));
    } else {
        m_messages.Show(this, BoxKind::Warning, Q(status.error));
    }
}

} // namespace tambrel
