#include "app/gui/TfrmFind.h"

#include "analysis/FindSimilar.h"
#include "app/gui/HelpSystem.h"
#include "app/gui/Icons.h"
#include "app/gui/MessageBoxes.h"
#include "engine/TBellStore.h"
#include "engine/TextFunctions.h"
#include "library/TfrmDataMod.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tambrel {

namespace {

QString Q(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

TfrmFind::TfrmFind(TfrmDataMod& dataModule, MessageBoxes& messages, HelpSystem& help,
                   QWidget* parent)
    : QDialog(parent), m_data(dataModule), m_messages(messages), m_help(help)
{
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("Find Similar Methods"));
    setWindowModality(Qt::WindowModal); // the help window opened from here stays usable

    pnlMethod = new QGroupBox(QStringLiteral("Base Method"), this);
    pnlMethod->setObjectName(QStringLiteral("pnlMethod"));
    lblMethod = new QLabel(pnlMethod);
    lblMethod->setObjectName(QStringLiteral("lblMethod"));
    lblMethod->setTextFormat(Qt::PlainText);
    (new QVBoxLayout(pnlMethod))->addWidget(lblMethod);

    rgpType = new QGroupBox(QStringLiteral(" Same Work "), this);
    rgpType->setObjectName(QStringLiteral("rgpType"));
    typeButtons = new QButtonGroup(rgpType);
    auto* typeLayout = new QVBoxLayout(rgpType);
    const QString types[] = {QStringLiteral("&Above the Treble"),
                             QStringLiteral("&Below the Treble")};
    for (int i = 0; i < 2; ++i) {
        auto* button = new QRadioButton(types[i], rgpType);
        button->setObjectName(QStringLiteral("rgpType%1").arg(i));
        typeButtons->addButton(button, i);
        typeLayout->addWidget(button);
    }
    typeButtons->button(0)->setChecked(true);

    chkRightPlaces = new QCheckBox(QStringLiteral("Only use Places made &Right"), this);
    chkRightPlaces->setObjectName(QStringLiteral("chkRightPlaces"));
    auto* lblGroup = new QLabel(QStringLiteral("Required LH &Group:"), this);
    cboGroup = new QComboBox(this);
    cboGroup->setObjectName(QStringLiteral("cboGroup"));
    lblGroup->setBuddy(cboGroup);

    auto* lblCheckedCaption = new QLabel(QStringLiteral("Possibilities Checked"), this);
    lblChecked = new QLabel(QStringLiteral("0"), this);
    lblChecked->setObjectName(QStringLiteral("lblChecked"));
    auto* lblFoundCaption = new QLabel(QStringLiteral("Methods Found"), this);
    lblFound = new QLabel(QStringLiteral("0"), this);
    lblFound->setObjectName(QStringLiteral("lblFound"));
    for (QLabel* counter : {lblChecked, lblFound}) {
        counter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        counter->setMinimumWidth(counter->fontMetrics().horizontalAdvance(QStringLiteral("8")) *
                                 14);
    }
    lblTotals1 = new QLabel(Q(FindTotalsText(0, 0)), this);
    lblTotals1->setObjectName(QStringLiteral("lblTotals1"));
    lblTotals2 = new QLabel(Q(kMsgTotalsSaved), this);
    lblTotals2->setObjectName(QStringLiteral("lblTotals2"));

    butOK = new QPushButton(QStringLiteral("&Find"), this);
    butOK->setObjectName(QStringLiteral("butOK"));
    butStop = new QPushButton(QStringLiteral("&Stop"), this);
    butStop->setObjectName(QStringLiteral("butStop"));
    butCancel = new QPushButton(QStringLiteral("&Close"), this);
    butCancel->setObjectName(QStringLiteral("butCancel"));
    butHelp = new QPushButton(QStringLiteral("&Help"), this);
    butHelp->setObjectName(QStringLiteral("butHelp"));
    butHelp->setIcon(ToolIcon(QStringLiteral("help")));
    for (QPushButton* button : {butOK, butStop, butCancel, butHelp}) {
        button->setAutoDefault(false); // Enter starts no search that empties the find library
    }

    auto* choices = new QGridLayout;
    choices->addWidget(rgpType, 0, 0, 3, 1);
    choices->addWidget(chkRightPlaces, 0, 1, 1, 2);
    choices->addWidget(lblGroup, 1, 1);
    choices->addWidget(cboGroup, 1, 2);
    auto* counters = new QGridLayout;
    counters->addWidget(lblChecked, 0, 0);
    counters->addWidget(lblCheckedCaption, 0, 1);
    counters->addWidget(lblFound, 1, 0);
    counters->addWidget(lblFoundCaption, 1, 1);
    counters->setColumnStretch(2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(butOK);
    buttons->addWidget(butStop);
    buttons->addStretch();
    buttons->addWidget(butHelp);
    buttons->addWidget(butCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pnlMethod);
    layout->addLayout(choices);
    layout->addLayout(counters);
    layout->addWidget(lblTotals1);
    layout->addWidget(lblTotals2);
    layout->addLayout(buttons);

    setTabOrder(butStop, butHelp); // Help sits left of Close
    setTabOrder(butHelp, butCancel);

    connect(butOK, &QPushButton::clicked, this, &TfrmFind::butOKClick);
    connect(butStop, &QPushButton::clicked, this, &TfrmFind::butStopClick);
    connect(butCancel, &QPushButton::clicked, this, &QDialog::accept);
    connect(butHelp, &QPushButton::clicked, this, [this] {
        m_help.Command(QStringLiteral("SHOW"), QStringLiteral("similar_meths.htm"), this);
    });
    connect(typeButtons, &QButtonGroup::idClicked, this, [this] { ChoiceChanged(); });
    connect(cboGroup, &QComboBox::activated, this, [this] { ChoiceChanged(); });
    SetSearching(false);
    lblTotals1->setVisible(false);
    lblTotals2->setVisible(false);
}

TfrmFind::~TfrmFind()
{
    m_stop = true;
    if (m_worker.joinable()) {
        m_worker.join();
    }
    if (m_busy) {
        QApplication::restoreOverrideCursor();
    }
}

void TfrmFind::Prepare(const TBellStore& store, bool& resetOpenPosition, bool ccNotation)
{
    m_store = &store;
    m_resetOpenPosition = &resetOpenPosition;
    const int bells = store.Bells();
    lblMethod->setText(Q(store.Name()) + QStringLiteral("\n") + Q(store.ShownNotation(ccNotation)));
    cboGroup->clear();
    for (const std::string& group : FindGroups(bells)) {
        cboGroup->addItem(Q(group));
    }
    const bool same = bells == m_lastBells;
    typeButtons->button(same ? m_lastType : 0)->setChecked(true);
    const int group = same ? cboGroup->findText(m_lastGroup) : 0;
    cboGroup->setCurrentIndex(group >= 0 ? group : 0);
    chkRightPlaces->setChecked(same && m_lastRightPlaces);
    lblChecked->setText(QStringLiteral("0"));
    lblFound->setText(QStringLiteral("0"));
    lblTotals1->setVisible(false);
    lblTotals2->setVisible(false);
    SetSearching(false);
}

void TfrmFind::ChoiceChanged()
{
    lblChecked->setText(QStringLiteral("0"));
    lblFound->setText(QStringLiteral("0"));
    lblTotals1->setVisible(false);
    lblTotals2->setVisible(false);
}

void TfrmFind::SetSearching(bool searching)
{
    butOK->setEnabled(!searching && m_store != nullptr);
    butCancel->setEnabled(!searching);
    butStop->setEnabled(searching);
    rgpType->setEnabled(!searching);
    chkRightPlaces->setEnabled(!searching);
    cboGroup->setEnabled(!searching);
    // The busy pointer keeps its arrow: Stop and Help still answer while the search runs.
    if (searching != m_busy) {
        if (searching) {
            QApplication::setOverrideCursor(Qt::BusyCursor);
        } else {
            QApplication::restoreOverrideCursor();
        }
        m_busy = searching;
    }
}

void TfrmFind::ShowCounts(const FindCounts& counts)
{
    lblChecked->setText(Q(GroupThousands(counts.possibilities)));
    lblFound->setText(Q(GroupThousands(counts.found)));
}

void TfrmFind::butOKClick()
{
    if (m_store == nullptr || Searching()) {
        return;
    }
    SetSearching(true);
    ChoiceChanged();
    m_stop = false;
    *m_resetOpenPosition = true; // the find library is written anew
    FindRequest request;
    request.type = typeButtons->checkedId() == 1 ? FindType::Below : FindType::Above;
    request.rightPlaces = chkRightPlaces->isChecked();
    request.group = cboGroup->currentText().toStdString();
    m_outcome = {};
    const TBellStore* store = m_store;
    m_worker = std::thread([this, store, request] {
        FindControl control;
        control.stop = &m_stop;
        control.progress = [this](const FindCounts& counts) {
            QMetaObject::invokeMethod(
                this, [this, counts] { ShowCounts(counts); }, Qt::QueuedConnection);
        };
        FindOutcome outcome;
        try {
            outcome = FindSimilarMethods(m_data, *store, request, control);
        } catch (const std::exception& e) {
            outcome.status = Status::Fail(e.what());
        }
        m_outcome = std::move(outcome);
        QMetaObject::invokeMethod(
            this, [this] { SearchEnded(); }, Qt::QueuedConnection);
    });
}

void TfrmFind::butStopClick()
{
    m_stop = true;
}

void TfrmFind::SearchEnded()
{
    if (m_worker.joinable()) {
        m_worker.join();
    }
    SetSearching(false);
    if (!m_outcome.status) {
        m_messages.Show(this, BoxKind::Warning, Q(kMsgProblemGenerating));
    } else {
        const FindCounts& counts = m_outcome.counts;
        ShowCounts(counts);
        lblTotals1->setText(Q(FindTotalsText(counts.newMethods, counts.Existing())));
        lblTotals1->setVisible(true);
        lblTotals2->setVisible(true);
    }
    emit searchEnded();
}

void TfrmFind::RememberChoices()
{
    if (m_store == nullptr) {
        return;
    }
    m_lastBells = m_store->Bells();
    m_lastType = typeButtons->checkedId() == 1 ? 1 : 0;
    m_lastGroup = cboGroup->currentText();
    m_lastRightPlaces = chkRightPlaces->isChecked();
}

void TfrmFind::done(int result)
{
    if (Searching()) {
        butStopClick();
        return;
    }
    RememberChoices();
    QDialog::done(result);
}

} // namespace tambrel
