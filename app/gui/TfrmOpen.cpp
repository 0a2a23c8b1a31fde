#include "app/gui/TfrmOpen.h"
#include "app/gui/StageList.h"

#include "app/gui/HelpSystem.h"
#include "app/gui/Hourglass.h"
#include "app/gui/Icons.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/MethodListModel.h"
#include "display/TBellCard.h"
#include "display/TBellOptions.h"
#include "engine/Bells.h"
#include "engine/CCNotation.h"
#include "engine/PlaceNotation.h"
#include "engine/TextFunctions.h"
#include "library/NameFilter.h"
#include "library/TfrmDataMod.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>
#include <QValidator>

namespace tambrel {

namespace {

// Keeps what is typed in upper case, as the libraries' names and notations are stored; being
// a validator, the change is made before the box reports the edit.
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        input = QString::fromStdString(UpperCase(input.toStdString()));
        return Acceptable;
    }
};

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

QGroupBox* RadioGroup(QWidget* parent, const QString& name, const QString& title,
                      const QStringList& items, QButtonGroup*& buttons)
{
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(name);
    buttons = new QButtonGroup(box);
    auto* layout = new QVBoxLayout(box);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], box);
        button->setObjectName(name + QString::number(i));
        buttons->addButton(button, i);
        layout->addWidget(button);
    }
    buttons->button(0)->setChecked(true);
    return box;
}

// The bells list: "All" first, then the stages.
int StageAt(int index)
{
    return index <= 0 ? kAllStages : index - 1 + kMinBells;
}

int IndexOfStage(int bells)
{
    return bells == kAllStages ? 0 : bells - kMinBells + 1;
}

} // namespace

TfrmOpen::TfrmOpen(TfrmDataMod& dataModule, MessageBoxes& messages, HelpSystem& help,
                   QWidget* parent)
    : QDialog(parent), m_data(dataModule), m_messages(messages), m_help(help)
{
    setObjectName(QStringLiteral("frmOpen"));
    setWindowTitle(QStringLiteral("Open an Existing Method"));
    setWindowModality(Qt::WindowModal); // the help window opened from here stays usable

    rgpLibrary = RadioGroup(
        this, QStringLiteral("rgpLibrary"), QStringLiteral("Method Library "),
        {QStringLiteral("&Main"), QStringLiteral("&Personal"), QStringLiteral("M&ethod Find")},
        libraryButtons);
    auto* lblBells = new QLabel(QStringLiteral("Number of &Bells"), this);
    cboBells = new StageList(this);
    cboBells->setObjectName(QStringLiteral("cboBells"));
    cboBells->addItem(QStringLiteral("All"));
    for (int bells = kMinBells; bells <= kMaxBells; ++bells) {
        cboBells->addItem(Q(StageListEntry(bells)));
    }
    cboBells->setCurrentIndex(IndexOfStage(8));
    lblBells->setBuddy(cboBells);
    auto* lblGroup = new QLabel(QStringLiteral("LH &Group"), this);
    cboGroup = new FramedList(this);
    cboGroup->setObjectName(QStringLiteral("cboGroup"));
    lblGroup->setBuddy(cboGroup);
    // Every letter of "Class" is another control's shortcut already: Tab reaches the list.
    auto* lblClass = new QLabel(QStringLiteral("Class"), this);
    cboClass = new FramedList(this);
    cboClass->setObjectName(QStringLiteral("cboClass"));
    cboClass->setToolTip(QStringLiteral("Lists only the methods of this class, as the Central "
                                        "Council classifies them from their place notation"));
    // The longest classes would widen the column of choices: they show in full when the list
    // drops down.
    cboClass->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cboClass->setMinimumContentsLength(8);
    lblClass->setBuddy(cboClass);
    rgpFindBy = RadioGroup(this, QStringLiteral("rgpFindBy"), QStringLiteral(" Find By "),
                           {QStringLiteral("&Name"), QStringLiteral("P&laces")}, findByButtons);
    chkSavePos = new QCheckBox(QStringLiteral("&Save Position"), this);
    chkSavePos->setObjectName(QStringLiteral("chkSavePos"));

    auto* lblFind = new QLabel(QStringLiteral("&Find:"), this);
    edtFind = new QLineEdit(this);
    edtFind->setObjectName(QStringLiteral("edtFind"));
    edtFind->setMaxLength(98);
    edtFind->setValidator(new UpperCaseValidator(edtFind));
    lblFind->setBuddy(edtFind);
    auto* lblFilter = new QLabel(QStringLiteral("Name con&tains:"), this);
    edtFilter = new QLineEdit(this);
    edtFilter->setObjectName(QStringLiteral("edtFilter"));
    edtFilter->setMaxLength(60);
    edtFilter->setClearButtonEnabled(true);
    edtFilter->setValidator(new UpperCaseValidator(edtFilter));
    edtFilter->setToolTip(QStringLiteral("Lists only the methods whose names hold every word "
                                         "typed here, anywhere in the name"));
    lblFilter->setBuddy(edtFilter);

    m_model = new MethodListModel(this);
    tzgMethods = new QTableView(this);
    tzgMethods->setObjectName(QStringLiteral("tzgMethods"));
    tzgMethods->setModel(m_model);
    tzgMethods->setSelectionBehavior(QAbstractItemView::SelectRows);
    tzgMethods->setSelectionMode(QAbstractItemView::SingleSelection);
    tzgMethods->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tzgMethods->setWordWrap(false);
    // Tab leaves the list for the next field rather than walking its cells, one per row.
    tzgMethods->setTabKeyNavigation(false);
    tzgMethods->setColumnHidden(0, true); // the bells, shown only over every stage
    tzgMethods->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    tzgMethods->horizontalHeader()->setStretchLastSection(true);
    tzgMethods->verticalHeader()->setVisible(false);
    // Rows of one height are never measured, so a long list costs nothing to show.
    tzgMethods->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tzgMethods->verticalHeader()->setDefaultSectionSize(tzgMethods->fontMetrics().height() + 6);
    tzgMethods->setMinimumSize(tzgMethods->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 40,
                               tzgMethods->fontMetrics().height() * 18);

    lblEmpty = new QLabel(tzgMethods->viewport());
    lblEmpty->setObjectName(QStringLiteral("lblEmpty"));
    lblEmpty->setAlignment(Qt::AlignCenter);
    lblEmpty->setWordWrap(true);
    lblEmpty->setEnabled(false); // greyed, as a list's own placeholder
    auto* emptyLayout = new QVBoxLayout(tzgMethods->viewport());
    emptyLayout->addWidget(lblEmpty);
    lblEmpty->hide();

    lblInfo = new QLabel(QStringLiteral("Pl&aces:"), this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    dbeInfo = new QLineEdit(this);
    dbeInfo->setObjectName(QStringLiteral("dbeInfo"));
    dbeInfo->setReadOnly(true);
    lblInfo->setBuddy(dbeInfo);
    auto* lblGroupInfo = new QLabel(QStringLiteral("LH Gro&up:"), this);
    dbeGroupInfo = new QLineEdit(this);
    dbeGroupInfo->setObjectName(QStringLiteral("dbeGroupInfo"));
    dbeGroupInfo->setReadOnly(true);
    lblGroupInfo->setBuddy(dbeGroupInfo);
    dbeGroupInfo->setMaximumWidth(dbeGroupInfo->fontMetrics().horizontalAdvance(QLatin1Char('M')) *
                                  5);

    auto* buttons = new QDialogButtonBox(this);
    butOK = buttons->addButton(QStringLiteral("&Open"), QDialogButtonBox::AcceptRole);
    butOK->setObjectName(QStringLiteral("butOK"));
    butOK->setDefault(true);
    butDelete = buttons->addButton(QStringLiteral("&Delete"), QDialogButtonBox::ActionRole);
    butDelete->setObjectName(QStringLiteral("butDelete"));
    butCancel = buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    butCancel->setObjectName(QStringLiteral("butCancel"));
    butHelp = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
    butHelp->setObjectName(QStringLiteral("butHelp"));
    butHelp->setIcon(ToolIcon(QStringLiteral("help")));

    auto* choices = new QVBoxLayout;
    choices->addWidget(rgpLibrary);
    choices->addWidget(lblBells);
    choices->addWidget(cboBells);
    choices->addWidget(lblGroup);
    choices->addWidget(cboGroup);
    choices->addWidget(lblClass);
    choices->addWidget(cboClass);
    choices->addWidget(rgpFindBy);
    choices->addWidget(chkSavePos);
    choices->addStretch();
    auto* search = new QGridLayout;
    search->addWidget(lblFind, 0, 0);
    search->addWidget(edtFind, 0, 1);
    search->addWidget(lblFilter, 1, 0);
    search->addWidget(edtFilter, 1, 1);
    auto* info = new QGridLayout;
    info->addWidget(lblInfo, 0, 0);
    info->addWidget(dbeInfo, 0, 1);
    info->addWidget(lblGroupInfo, 1, 0);
    info->addWidget(dbeGroupInfo, 1, 1, Qt::AlignLeft);
    auto* list = new QVBoxLayout;
    list->addLayout(search);
    list->addWidget(tzgMethods, 1);
    list->addLayout(info);
    auto* body = new QHBoxLayout;
    body->addLayout(choices);
    body->addLayout(list, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(buttons);
    resize(760, 560);

    RebuildGroups();

    connect(libraryButtons, &QButtonGroup::idClicked, this, [this](int library) {
        const Hourglass hourglass; // another table to open, and a large one perhaps
        setWindowTitle(Q(BrowserCaption(m_data, library)));
        m_savedRecNo = kNoSavedRecNo;
        edtFind->clear();
        RebuildClasses();
        Refresh(RefreshMode::NoSave);
    });
    // A list changed from the keyboard keeps the focus, so that the arrows go on through it.
    connect(cboBells, &QComboBox::activated, this, [this] {
        const bool keep = cboBells->hasFocus();
        RebuildGroups();
        RebuildClasses();
        Refresh(RefreshMode::NoSave);
        edtFind->end(false);
        if (keep) {
            cboBells->setFocus();
        }
    });
    connect(cboGroup, &QComboBox::activated, this, [this] {
        const bool keep = cboGroup->hasFocus();
        edtFind->clear();
        Refresh(RefreshMode::Save);
        edtFind->end(false);
        if (keep) {
            cboGroup->setFocus();
        }
    });
    connect(cboClass, &QComboBox::activated, this, [this] {
        const bool keep = cboClass->hasFocus();
        ShowRows(cboClass->currentIndex() > 0); // "All" lists as before a class was chosen
        if (keep) {
            cboClass->setFocus();
        }
    });
    connect(findByButtons, &QButtonGroup::idClicked, this, [this] {
        edtFind->clear();
        Refresh(RefreshMode::Save);
    });
    // Only typing refreshes: the box cleared by another choice does not.
    connect(edtFind, &QLineEdit::textEdited, this, [this] { Refresh(RefreshMode::NoSave); });
    connect(edtFilter, &QLineEdit::textChanged, this,
            [this](const QString& text) { ShowRows(!NameFilter(text.toStdString()).Empty()); });
    connect(tzgMethods->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!m_selecting && current.isValid()) {
                    RowChosen(current.row());
                }
            });
    connect(tzgMethods, &QTableView::clicked, this, [this] { edtFind->setFocus(); });
    connect(tzgMethods, &QTableView::doubleClicked, this, [this] { butOKClick(); });
    connect(chkSavePos, &QCheckBox::clicked, this, [this] { edtFind->setFocus(); });
    connect(butOK, &QPushButton::clicked, this, &TfrmOpen::butOKClick);
    connect(butDelete, &QPushButton::clicked, this, &TfrmOpen::butDeleteClick);
    connect(butCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(butHelp, &QPushButton::clicked, this, [this] {
        m_help.Command(QStringLiteral("SHOW"), QStringLiteral("opening_method.htm"), this);
    });
}

TfrmOpen::~TfrmOpen() = default;

void TfrmOpen::Prepare(TBellCard& card, TBellOptions& global, bool& resetOpenPosition)
{
    m_card = &card;
    m_global = &global;
    const int shown = StageAt(cboBells->currentIndex());
    if (resetOpenPosition || (shown != kAllStages && global.Bells != shown)) {
        m_savedRecNo = kNoSavedRecNo;
    }
    resetOpenPosition = false;
    FormActivate();
}

void TfrmOpen::FormActivate()
{
    const Hourglass hourglass; // the library opens and is searched before the dialog shows
    cboBells->setCurrentIndex(IndexOfStage(m_allStages                     ? kAllStages
                                           : IsValidStage(m_global->Bells) ? m_global->Bells
                                                                           : 8));
    chkSavePos->setChecked(m_global->SaveOpenPos);
    m_model->SetCCNotation(m_global->CCNotation);
    if (m_savedRecNo < 1) {
        RebuildGroups();
    }
    setWindowTitle(Q(BrowserCaption(m_data, Choice().library)));
    edtFind->clear();
    edtFilter->clear();
    m_problem.clear();
    RebuildClasses();
    Refresh(RefreshMode::Save);
}

void TfrmOpen::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TfrmOpen::FormClose()
{
    m_model->Clear();
    m_range = {};
    if (m_data.dbfMethods.Active()) {
        m_data.dbfMethods.SetWhileTo("");
    }
    m_data.CloseTables();
}

void TfrmOpen::RebuildGroups()
{
    cboGroup->clear();
    // Over every stage, the groups of the largest, which holds those of every other.
    const int bells = StageAt(cboBells->currentIndex());
    for (const std::string& group : LeadHeadGroups(bells == kAllStages ? kMaxBells : bells)) {
        cboGroup->addItem(Q(group));
    }
    cboGroup->setCurrentIndex(0);
}

void TfrmOpen::RebuildClasses()
{
    const Hourglass hourglass; // the first look at a stage classifies its methods
    m_model->Clear();          // the table may be opened afresh
    const ClassCode chosen = Choice().methodClass;
    cboClass->clear();
    cboClass->addItem(QStringLiteral("All"), kAnyClass);
    for (const ClassCode code : ClassesPresent(m_data, Choice(), m_classes)) {
        cboClass->addItem(Q(ClassWordsOf(code)), code);
    }
    cboClass->setCurrentIndex(std::max(0, cboClass->findData(chosen)));
    cboClass->view()->setMinimumWidth(cboClass->view()->sizeHintForColumn(0) +
                                      cboClass->fontMetrics().averageCharWidth() * 2);
}

BrowserChoice TfrmOpen::Choice() const
{
    BrowserChoice choice;
    choice.library = std::max(0, libraryButtons->checkedId());
    choice.bells = StageAt(cboBells->currentIndex());
    choice.group = cboGroup->currentText().toStdString();
    choice.findBy = findByButtons->checkedId() == 1 ? FindBy::Places : FindBy::Name;
    choice.findText = edtFind->text().toStdString();
    choice.savePosition = chkSavePos->isChecked();
    if (cboClass->currentIndex() > 0) {
        choice.methodClass = static_cast<ClassCode>(cboClass->currentData().toInt());
    }
    return choice;
}

void TfrmOpen::Refresh(RefreshMode mode, bool comeBack)
{
    BrowserChoice choice = Choice();
    if (comeBack) {
        choice.savePosition = true;
    }
    m_model->Clear(); // nothing reads the table while it is reordered
    m_range = RefreshBrowser(m_data, choice, mode, m_savedRecNo);
    if (!m_range.status && m_range.status.error != m_problem) {
        m_messages.Show(this, BoxKind::Warning, Q(m_range.status.error));
    }
    m_problem = m_range.status.error;
    ShowRows();
    edtFind->setFocus();
}

void TfrmOpen::ShowRows(bool fromTop)
{
    const bool byName = findByButtons->checkedId() != 1;
    lblInfo->setText(byName ? QStringLiteral("Pl&aces:") : QStringLiteral("N&ame:"));
    TDbf& methods = m_data.dbfMethods;
    std::vector<std::size_t> rows;
    const NameFilter filter(edtFilter->text().toStdString());
    const BrowserChoice choice = Choice();
    if (m_range.found) {
        rows = ListedPositions(methods, m_range, filter, choice, m_classes);
    }
    m_model->Reset(m_range.found ? &methods : nullptr, std::move(rows), byName ? "name" : "places");
    // Over every stage each row shows its stage.
    tzgMethods->setColumnHidden(0, choice.bells != kAllStages);
    // A filter just typed or a class just chosen selects its first method in the order shown,
    // as a ringer reading the list from the top expects; otherwise the positioned record, or
    // with a filter the first listed one from there on.
    int row = -1;
    if (m_range.found) {
        row = fromTop ? (m_model->rowCount() > 0 ? 0 : -1)
                      : ListedRowNear(m_model->Positions(), m_range, methods.Position());
    }
    m_selecting = true;
    if (row >= 0) {
        const QModelIndex index = m_model->index(row, 1);
        tzgMethods->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                 QItemSelectionModel::Rows);
        tzgMethods->scrollTo(index, QAbstractItemView::PositionAtCenter);
        m_savedRecNo = SelectedRecNo(); // a filter may have selected another than the cursor's
    } else {
        tzgMethods->selectionModel()->clear();
    }
    m_selecting = false;
    const QString emptyText =
        m_model->rowCount() == 0 && filter.Empty() && choice.methodClass == kAnyClass
            ? Q(EmptyListText(choice))
            : QString();
    lblEmpty->setText(emptyText);
    lblEmpty->setVisible(!emptyText.isEmpty());
    tzgMethods->setEnabled(row >= 0);
    butOK->setEnabled(row >= 0);
    butDelete->setEnabled(row >= 0);
    ShowInfo(row);
}

int TfrmOpen::SelectedRow() const
{
    const QModelIndex current = tzgMethods->selectionModel()->currentIndex();
    return current.isValid() && current.row() < m_model->rowCount() ? current.row() : -1;
}

std::uint32_t TfrmOpen::SelectedRecNo() const
{
    const int row = SelectedRow();
    return row >= 0 ? m_data.dbfMethods.LiveRecordAt(m_model->PositionAt(row)) : 0;
}

void TfrmOpen::RowChosen(int row)
{
    const std::uint32_t recno = m_data.dbfMethods.LiveRecordAt(m_model->PositionAt(row));
    if (recno != 0 && m_data.dbfMethods.Go(recno)) {
        m_savedRecNo = recno;
    }
    ShowInfo(row);
}

void TfrmOpen::ShowInfo(int row)
{
    if (row < 0) {
        dbeInfo->clear();
        dbeGroupInfo->clear();
        return;
    }
    const MethodFields method = MethodAt(m_data.dbfMethods, m_model->PositionAt(row));
    const bool ccForm = m_global != nullptr && m_global->CCNotation;
    dbeInfo->setText(Q(findByButtons->checkedId() == 1 ? method.name
                       : ccForm ? CCNotationOfPlaces(method.places, method.bells)
                                : method.places));
    dbeInfo->setCursorPosition(0);
    dbeGroupInfo->setText(Q(method.group));
}

void TfrmOpen::butOKClick()
{
    const int row = SelectedRow();
    const std::uint32_t recno = SelectedRecNo();
    if (row < 0 || recno == 0 || m_card == nullptr) {
        return;
    }
    m_data.dbfMethods.Go(recno);
    m_savedRecNo = recno;
    const MethodFields method = MethodAt(m_data.dbfMethods, m_model->PositionAt(row));
    const std::string error = IsValidStage(method.bells)
                                  ? CheckPlaceNotation(method.places, method.bells)
                                  : "The method's number of bells is not usable.";
    if (!error.empty()) {
        m_messages.Show(this, BoxKind::Warning, Q(error));
        return;
    }
    m_global->Bells = method.bells;
    m_allStages = Choice().bells == kAllStages;
    m_global->SaveOpenPos = chkSavePos->isChecked();
    TBellStore& store = m_card->Store();
    store.SetBells(method.bells);
    store.SetName(method.name);
    store.SetPlaceNotation(method.places);
    m_card->Changed = true;
    accept();
}

void TfrmOpen::butDeleteClick()
{
    const int row = SelectedRow();
    const std::uint32_t recno = SelectedRecNo();
    if (row < 0 || recno == 0) {
        return;
    }
    const MethodFields method = MethodAt(m_data.dbfMethods, m_model->PositionAt(row));
    if (!m_messages.Show(this, BoxKind::Question,
                         QStringLiteral("Delete this Method?\r\r") + Q(method.name))) {
        return;
    }
    m_savedRecNo = recno;
    m_model->Clear(); // the table is closed and opened again for the change
    if (const Status deleted = DeleteBrowsedMethod(m_data, Choice(), recno, method, m_savedRecNo);
        !deleted) {
        m_messages.Show(this, BoxKind::Warning, Q(deleted.error));
    }
    // Back at the record now current, or at the deleted one's place when nothing changed; the
    // last method of a class takes its class off the list.
    RebuildClasses();
    Refresh(RefreshMode::Save, true);
}

} // namespace tambrel
