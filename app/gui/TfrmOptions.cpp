#include "app/gui/TfrmOptions.h"

#include "app/gui/HelpSystem.h"
#include "app/gui/Icons.h"
#include "display/TBellCard.h"
#include "engine/TextFunctions.h"
#include "library/MethodLookup.h"
#include "library/TfrmDataMod.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tambrel {

namespace {

constexpr std::size_t kMaxCallEntries = 100;

const char* const kBellWords[16] = {"None",   "One",      "Two",      "Three",  "Four", "Five",
                                    "Six",    "Seven",    "Eight",    "Nine",   "Ten",  "Eleven",
                                    "Twelve", "Thirteen", "Fourteen", "Fifteen"};

QCheckBox* Check(QWidget* parent, const char* name, const char* caption)
{
    auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QComboBox* List(QWidget* parent, const char* name, std::initializer_list<const char*> items = {})
{
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    for (const char* item : items) {
        list->addItem(QString::fromLatin1(item));
    }
    return list;
}

QGroupBox* Group(QWidget* parent, const char* title)
{
    return new QGroupBox(QString::fromLatin1(title), parent);
}

// Upper case as typed, for the boxes of bell symbols.
void UpperCaseInput(QLineEdit* edit)
{
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
        const QString upper = text.toUpper();
        if (upper != text) {
            const int cursor = edit->cursorPosition();
            edit->setText(upper);
            edit->setCursorPosition(cursor);
        }
    });
}

} // namespace

TfrmOptions::TfrmOptions(TfrmDataMod& dataModule, HelpSystem& help, QWidget* parent)
    : QDialog(parent), m_data(dataModule), m_help(help)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Set Options"));
    // Modal to the main window only, so that the help window opened from here stays usable.
    setWindowModality(Qt::WindowModal);
    tabs = new QTabWidget(this);

    // Diagram
    tbsDiagram = new QWidget(this);
    tbsDiagram->setObjectName(QStringLiteral("tbsDiagram"));
    QGroupBox* lines = Group(tbsDiagram, " Lines");
    cboTreble = List(lines, "cboTreble",
                     {" No Line", " Crossing Only", " Full Line", " Full Line & Crossing"});
    cboBlueLine1 = List(lines, "cboBlueLine1");
    cboBlueLine2 = List(lines, "cboBlueLine2");
    auto* linesForm = new QFormLayout(lines);
    linesForm->addRow(QStringLiteral("Treble L&ine"), cboTreble);
    linesForm->addRow(QStringLiteral("&First Blue Line"), cboBlueLine1);
    linesForm->addRow(QStringLiteral("&Second Blue Line"), cboBlueLine2);

    QGroupBox* contents = Group(tbsDiagram, " Contents");
    chkShowTitle = Check(contents, "chkShowTitle", "Show Method &Name");
    chkShowGrid = Check(contents, "chkShowGrid", "Show Method &Grid");
    chkShowBob = Check(contents, "chkShowBob", "Show &Bob");
    chkShowSingle = Check(contents, "chkShowSingle", "Sho&w Single");
    cboLead2Show = List(contents, "cboLead2Show");
    auto* contentsLayout = new QVBoxLayout(contents);
    for (QWidget* w : {static_cast<QWidget*>(chkShowTitle), static_cast<QWidget*>(chkShowGrid),
                       static_cast<QWidget*>(chkShowBob), static_cast<QWidget*>(chkShowSingle)}) {
        contentsLayout->addWidget(w);
    }
    auto* leadsForm = new QFormLayout;
    leadsForm->addRow(QStringLiteral("&Leads to Show"), cboLead2Show);
    contentsLayout->addLayout(leadsForm);

    QGroupBox* layoutGroup = Group(tbsDiagram, " Layout ");
    cboNumbers = List(layoutGroup, "cboNumbers",
                      {" Numbers and Lines", " Dots and Lines", " Framed Lines", " Just Lines"});
    cboSize = List(layoutGroup, "cboSize");
    chkFit2Screen = Check(layoutGroup, "chkFit2Screen", "Try to fit L&ead to Screen");
    auto* layoutForm = new QFormLayout(layoutGroup);
    layoutForm->addRow(QStringLiteral("St&yle"), cboNumbers);
    layoutForm->addRow(QStringLiteral("Si&ze"), cboSize);
    layoutForm->addRow(chkFit2Screen);

    QGroupBox* display = Group(tbsDiagram, " Display/Print Options");
    chkColour = Check(display, "chkColour", "Dis&play in Colour");
    chkGreyNumbers = Check(display, "chkGreyNumbers", "Light Grey Nu&mbers");
    chkContinuous = Check(display, "chkContinuous", "C&ontinuous Line");
    chkTidyPN = Check(display, "chkTidyPN", "Tidy &up the Place Notation");
    chkHandstrokes = Check(display, "chkHandstrokes", "Indicate Handstro&kes");
    cboNotation = List(display, "cboNotation", {"Short form", "Central Council form"});
    cboNotation->setToolTip(
        QStringLiteral("How notations are shown and copied, e.g. -3-4-25-36-4-5-6-7 LH2 or "
                       "-38-14-1258-36-14-58-16-78,12; the libraries keep the short form"));
    // Every letter of the caption already leads elsewhere on this page; Tab reaches the list.
    auto* lblNotation = new QLabel(QStringLiteral("Show place notation as"), display);
    lblNotation->setBuddy(cboNotation);
    auto* displayLayout = new QGridLayout(display);
    displayLayout->addWidget(chkColour, 0, 0);
    displayLayout->addWidget(chkGreyNumbers, 0, 1);
    displayLayout->addWidget(chkContinuous, 0, 2);
    displayLayout->addWidget(chkTidyPN, 1, 0);
    displayLayout->addWidget(chkHandstrokes, 1, 1);
    displayLayout->addWidget(lblNotation, 2, 0);
    displayLayout->addWidget(cboNotation, 2, 1, 1, 2);

    auto* diagramLayout = new QGridLayout(tbsDiagram);
    diagramLayout->addWidget(lines, 0, 0);
    diagramLayout->addWidget(contents, 0, 1);
    diagramLayout->addWidget(layoutGroup, 1, 0);
    diagramLayout->addWidget(display, 1, 1);
    tabs->addTab(tbsDiagram, QStringLiteral("Diagram"));

    // Calls
    tbsCalls = new QWidget(this);
    tbsCalls->setObjectName(QStringLiteral("tbsCalls"));
    const auto callGroup = [this](const char* title, QComboBox*& list, const char* listName,
                                  const char* listCaption, QLineEdit*& edit, const char* editName,
                                  const char* editCaption) {
        QGroupBox* group = Group(tbsCalls, title);
        list = List(group, listName);
        edit = new QLineEdit(group);
        edit->setObjectName(QString::fromLatin1(editName));
        UpperCaseInput(edit);
        auto* form = new QFormLayout(group);
        form->addRow(QString::fromLatin1(listCaption), list);
        form->addRow(QString::fromLatin1(editCaption), edit);
        form->addRow(QString(), new QLabel(QStringLiteral("(Treble will always be drawn)"), group));
        return group;
    };
    QGroupBox* bob = callGroup("  Bob", cboBobType, "cboBobType", "Call to use for &Bob",
                               edtBobLines, "edtBobLines", "Bell &Lines to Draw");
    QGroupBox* single =
        callGroup("  Single", cboSingleType, "cboSingleType", "Call to use for &Single",
                  edtSingleLines, "edtSingleLines", "Bell Lines to &Draw");
    auto* callNote =
        new QLabel(QStringLiteral("The Treble line will always be drawn, so it is not "
                                  "necessary to include it in the Lines to Draw boxes."),
                   tbsCalls);
    callNote->setWordWrap(true);
    auto* callsLayout = new QVBoxLayout(tbsCalls);
    callsLayout->addWidget(bob);
    callsLayout->addWidget(single);
    callsLayout->addWidget(callNote);
    callsLayout->addStretch();
    tabs->addTab(tbsCalls, QStringLiteral("Calls"));

    // FCH display
    tbsFCH = new QWidget(this);
    tbsFCH->setObjectName(QStringLiteral("tbsFCH"));
    auto* fchIntro = new QLabel(QStringLiteral("False Course Heads (FCHs) are shown on the "
                                               "Composition Sheet and the Inter-Method Falseness "
                                               "sheet."),
                                tbsFCH);
    fchIntro->setWordWrap(true);
    QGroupBox* general = Group(tbsFCH, "  General");
    chkOddFCH = Check(general, "chkOddFCH", "Show &Odd FCHs");
    chkSplitTenor =
        Check(general, "chkSplitTenor", "Show S&plit Tenor FCHs for eight-bell methods");
    auto* generalLayout = new QVBoxLayout(general);
    generalLayout->addWidget(chkOddFCH);
    generalLayout->addWidget(chkSplitTenor);
    QGroupBox* composition = Group(tbsFCH, "  Composition Sheet");
    chkTB2Notation = Check(composition, "chkTB2Notation", "&Use Tambrel 2  Falseness Notation");
    auto* tb2 = new QLabel(QStringLiteral("Tambrel 2 used 42356 V3 under a lead to show that this "
                                          "lead in course 142356... is false against lead 3 of the "
                                          "plain course."),
                           composition);
    auto* tb3 = new QLabel(QStringLiteral("Tambrel 3 uses L3-34256 under a lead to show that this "
                                          "lead of the plain course is false against lead 3 of "
                                          "course 134256..."),
                           composition);
    tb2->setWordWrap(true);
    tb3->setWordWrap(true);
    auto* compositionLayout = new QVBoxLayout(composition);
    compositionLayout->addWidget(chkTB2Notation);
    compositionLayout->addWidget(tb2);
    compositionLayout->addWidget(tb3);
    auto* fchLayout = new QVBoxLayout(tbsFCH);
    fchLayout->addWidget(fchIntro);
    fchLayout->addWidget(general);
    fchLayout->addWidget(composition);
    fchLayout->addStretch();
    tabs->addTab(tbsFCH, QStringLiteral("FCH Display"));

    auto* buttons = new QDialogButtonBox(this);
    butOk = buttons->addButton(QStringLiteral("&This Method"), QDialogButtonBox::AcceptRole);
    butOk->setObjectName(QStringLiteral("butOk"));
    butOk->setDefault(true);
    butDefault = buttons->addButton(QStringLiteral("This and &All Future Methods"),
                                    QDialogButtonBox::AcceptRole);
    butDefault->setObjectName(QStringLiteral("butDefault"));
    butCancel = buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    butCancel->setObjectName(QStringLiteral("butCancel"));
    butHelp = buttons->addButton(QDialogButtonBox::Help);
    butHelp->setText(QStringLiteral("&Help"));
    butHelp->setObjectName(QStringLiteral("butHelp"));
    butHelp->setIcon(ToolIcon(QStringLiteral("help"))); // no icon theme to take it from

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);

    connect(butOk, &QPushButton::clicked, this, &TfrmOptions::butOkClick);
    connect(butDefault, &QPushButton::clicked, this, &TfrmOptions::butDefaultClick);
    connect(butCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(butHelp, &QPushButton::clicked, this, [this] {
        m_help.Command(QStringLiteral("SHOW"), QStringLiteral("options.htm"), this);
    });
    // Choosing a call shows that call's lines from the calls library.
    connect(cboBobType, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && static_cast<std::size_t>(index) < CallRefs.size()) {
            edtBobLines->setText(CallRefs[static_cast<std::size_t>(index)].second);
        }
    });
    connect(cboSingleType, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && static_cast<std::size_t>(index) < CallRefs.size()) {
            edtSingleLines->setText(CallRefs[static_cast<std::size_t>(index)].second);
        }
    });
}

void TfrmOptions::Prepare(TBellCard& card, TBellOptions& global)
{
    m_card = &card;
    m_global = &global;
    FormActivate();
}

void TfrmOptions::FormActivate()
{
    const TBellStore& store = m_card->Store();
    const TBellOptions& options = m_card->PageOptions;
    const int n = store.Bells();
    m_bells = n;

    for (QComboBox* list : {cboBlueLine1, cboBlueLine2}) {
        list->clear();
        for (int b = 0; b < n; ++b) {
            list->addItem(
                QStringLiteral(" %1 - %2").arg(b).arg(QString::fromLatin1(kBellWords[b])));
        }
        list->addItem(QStringLiteral(" %1 - Tenor").arg(n));
    }
    cboSize->clear();
    if (n < 12) {
        cboSize->addItem(QStringLiteral(" Compressed"));
    }
    cboSize->addItem(QStringLiteral(" Normal"));
    if (n > 4) {
        cboSize->addItem(QStringLiteral(" Expanded"));
    }
    cboSize->addItem(QStringLiteral(" Fixed"));
    cboLead2Show->clear();
    cboLead2Show->addItem(QStringLiteral(" All Leads"));
    for (int k = 1; k <= store.LeadsInCourse(); ++k) {
        cboLead2Show->addItem(QStringLiteral("%1 - %2").arg(k).arg(
            QString::fromStdString(store.GetRowText((k - 1) * store.LeadLength()))));
    }

    cboTreble->setCurrentIndex(std::clamp(options.Treble - 1, 0, 3));
    cboBlueLine1->setCurrentIndex(options.BlueBell1 > n ? n : std::max(options.BlueBell1, 0));
    cboBlueLine2->setCurrentIndex(options.BlueBell2 > n ? n - 1 : std::max(options.BlueBell2, 0));
    cboNumbers->setCurrentIndex(std::clamp(options.Numbers, 0, 3));
    const int size = std::clamp(options.Size, 0, 3);
    const bool shifted = (n >= 12 && size > 0) || (n <= 4 && size > 1); // the missing entries
    cboSize->setCurrentIndex(std::clamp(shifted ? size - 1 : size, 0, cboSize->count() - 1));
    chkShowTitle->setChecked(options.ShowTitle);
    chkShowGrid->setChecked(options.ShowGrid);
    chkFit2Screen->setChecked(options.Fit2Screen);
    chkColour->setChecked(options.Colour);
    chkGreyNumbers->setChecked(options.GreyNumbers);
    chkContinuous->setChecked(options.Continuous);
    chkTidyPN->setChecked(options.TidyPN);
    chkHandstrokes->setChecked(options.Handstrokes);
    cboNotation->setCurrentIndex(m_global->CCNotation ? 1 : 0); // one preference for every page
    chkOddFCH->setChecked(options.OddFCH);
    chkSplitTenor->setChecked(options.SplitTenorFCH);
    chkTB2Notation->setChecked(options.TB2Notation);
    const bool calls = n > 4;
    chkShowBob->setEnabled(calls);
    chkShowSingle->setEnabled(calls);
    chkShowBob->setChecked(calls && options.ShowBob);
    chkShowSingle->setChecked(calls && options.ShowSingle);
    tabs->setTabEnabled(tabs->indexOf(tbsCalls), calls);
    cboLead2Show->setCurrentIndex(std::clamp(options.LeadToShow, 0, cboLead2Show->count() - 1));

    BuildCallLists();
    tabs->setCurrentWidget(tbsDiagram);
    butOk->setFocus();
}

void TfrmOptions::BuildCallLists()
{
    const TBellOptions& options = m_card->PageOptions;
    cboBobType->clear();
    cboSingleType->clear();
    CallRefs.clear();
    if (m_data.OpenTables("CALLS", TableAccess::Read)) {
        TDbf& calls = m_data.dbfCalls;
        calls.SetOrderToTag("REF");
        calls.GoTop();
        setWindowTitle(QStringLiteral("Set Options - Calls Library built ") +
                       QString::fromStdString(Trim(calls.FieldText("places"))));
        const std::string key = BellsKey(m_bells);
        int bob = -1;
        int single = -1;
        if (calls.Find(key)) {
            while (!calls.Eof() && calls.FieldText("bells") == key &&
                   CallRefs.size() < kMaxCallEntries) {
                const QString name = QString::fromStdString(Trim(calls.FieldText("name")));
                const std::string ref = Trim(calls.FieldText("call_ref"));
                cboBobType->addItem(name);
                cboSingleType->addItem(name);
                CallRefs.emplace_back(QString::fromStdString(ref),
                                      QString::fromStdString(Trim(calls.FieldText("lines"))));
                if (ref == options.BobType) {
                    bob = static_cast<int>(CallRefs.size()) - 1;
                }
                if (ref == options.SingleType) {
                    single = static_cast<int>(CallRefs.size()) - 1;
                }
                calls.Skip();
            }
        }
        cboBobType->setCurrentIndex(bob);
        cboSingleType->setCurrentIndex(single);
    }
    m_data.CloseTables();
    edtBobLines->setText(QString::fromStdString(options.BobLines));
    edtSingleLines->setText(QString::fromStdString(options.SingleLines));
}

int TfrmOptions::SizeOption() const
{
    const int index = cboSize->currentIndex();
    if (m_bells >= 12 || (m_bells <= 4 && index > 1)) {
        return index + 1;
    }
    return index;
}

// The display and falseness choices that both accepting buttons write.
void TfrmOptions::WriteDisplay(TBellOptions& options) const
{
    options.Treble = cboTreble->currentIndex() + 1;
    options.BlueBell1 = cboBlueLine1->currentIndex();
    options.BlueBell2 = cboBlueLine2->currentIndex();
    options.Numbers = cboNumbers->currentIndex();
    options.Size = SizeOption();
    options.Fit2Screen = chkFit2Screen->isChecked();
    options.ShowTitle = chkShowTitle->isChecked();
    options.ShowGrid = chkShowGrid->isChecked();
    options.ShowBob = chkShowBob->isChecked();
    options.ShowSingle = chkShowSingle->isChecked();
    options.Colour = chkColour->isChecked();
    options.GreyNumbers = chkGreyNumbers->isChecked();
    options.Continuous = chkContinuous->isChecked();
    options.TidyPN = chkTidyPN->isChecked();
    options.Handstrokes = chkHandstrokes->isChecked();
    options.CCNotation = cboNotation->currentIndex() == 1;
    options.OddFCH = chkOddFCH->isChecked();
    options.SplitTenorFCH = chkSplitTenor->isChecked();
    options.TB2Notation = chkTB2Notation->isChecked();
}

void TfrmOptions::butOkClick()
{
    TBellOptions& page = m_card->PageOptions;
    WriteDisplay(page);
    page.LeadToShow = cboLead2Show->currentIndex();
    const auto code = [this](const QComboBox* list) {
        const int index = list->currentIndex();
        return index >= 0 && static_cast<std::size_t>(index) < CallRefs.size()
                   ? CallRefs[static_cast<std::size_t>(index)].first.toStdString()
                   : std::string();
    };
    page.BobType = code(cboBobType);
    page.BobLines = edtBobLines->text().toStdString();
    page.SingleType = code(cboSingleType);
    page.SingleLines = edtSingleLines->text().toStdString();
    m_global->CCNotation = page.CCNotation; // a per-user preference, not a page's
    m_card->Changed = true;
    accept();
}

void TfrmOptions::butDefaultClick()
{
    WriteDisplay(*m_global);
    butOkClick();
}

} // namespace tambrel
