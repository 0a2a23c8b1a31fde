#include "app/gui/TfrmEdit.h"

#include "analysis/MethodClass.h"
#include "app/gui/StageList.h"

#include "app/gui/HelpSystem.h"
#include "app/gui/Icons.h"
#include "app/gui/MessageBoxes.h"
#include "display/TBellCard.h"
#include "engine/Bells.h"
#include "engine/CCNotation.h"
#include "engine/PlaceNotation.h"
#include "engine/TextFunctions.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tambrel {

namespace {

constexpr int kMaxTypedPlaces = 98; // the width of the libraries' places field

// Yellow entry fields, with black text whatever the theme, so they stay readable in the dark.
void Yellow(QWidget* widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, QColor(255, 255, 0));
    palette.setColor(QPalette::Button, QColor(255, 255, 0));
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::ButtonText, Qt::black);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// Keeps what is typed in upper case, by the rule the libraries use for names.
void UpperCaseInput(QLineEdit* edit)
{
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
        const QString upper = QString::fromStdString(UpperCase(text.toStdString()));
        if (upper != text) {
            const int cursor = edit->cursorPosition();
            edit->setText(upper.left(edit->maxLength()));
            edit->setCursorPosition(std::min(cursor, static_cast<int>(edit->text().size())));
        }
    });
}

QToolButton* CopyButton(QWidget* parent, const QString& name, const QString& hint)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(ToolIcon(QStringLiteral("copy")));
    button->setToolTip(hint);
    button->setStatusTip(hint);
    button->setAccessibleName(hint);
    return button;
}

} // namespace

TfrmEdit::TfrmEdit(MessageBoxes& messages, HelpSystem& help, QWidget* parent)
    : QDialog(parent), m_messages(messages), m_help(help)
{
    setObjectName(QStringLiteral("frmEdit"));
    setWindowTitle(QStringLiteral("Edit the Current Method"));
    // Modal to the main window only, so that the help window opened from here stays usable.
    setWindowModality(Qt::WindowModal);

    auto* lblBells = new QLabel(QStringLiteral("Number of &Bells"), this);
    lblBells->setObjectName(QStringLiteral("lblBells"));
    cboBells = new StageList(this);
    cboBells->setObjectName(QStringLiteral("cboBells"));
    for (int bells = kMinBells; bells <= kMaxBells; ++bells) {
        cboBells->addItem(QString::fromStdString(StageListEntry(bells)));
    }
    Yellow(cboBells);
    lblBells->setBuddy(cboBells);

    auto* lblName = new QLabel(QStringLiteral("Method &Name"), this);
    lblName->setObjectName(QStringLiteral("lblName"));
    edtName = new QLineEdit(this);
    edtName->setObjectName(QStringLiteral("edtName"));
    edtName->setMaxLength(60);
    edtName->setText(QStringLiteral("UNTITLED METHOD"));
    Yellow(edtName);
    UpperCaseInput(edtName);
    lblName->setBuddy(edtName);

    auto* lblPlaces = new QLabel(QStringLiteral("&Place Notation"), this);
    lblPlaces->setObjectName(QStringLiteral("lblPlaces"));
    edtPlaces = new QLineEdit(this);
    edtPlaces->setObjectName(QStringLiteral("edtPlaces"));
    edtPlaces->setMaxLength(kMaxTypedPlaces);
    edtPlaces->setMinimumWidth(edtPlaces->fontMetrics().horizontalAdvance(QLatin1Char('8')) * 60);
    Yellow(edtPlaces);
    UpperCaseInput(edtPlaces);
    lblPlaces->setBuddy(edtPlaces);

    auto* buttons = new QDialogButtonBox(this);
    butOK = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    butOK->setObjectName(QStringLiteral("butOK"));
    butOK->setDefault(true);
    butCancel = buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    butCancel->setObjectName(QStringLiteral("butCancel"));
    butHelp = buttons->addButton(QDialogButtonBox::Help);
    butHelp->setText(QStringLiteral("&Help"));
    butHelp->setObjectName(QStringLiteral("butHelp"));
    butHelp->setIcon(ToolIcon(QStringLiteral("help"))); // no icon theme to take it from
    // Made after the buttons, so that Tab reaches them last; set by setTabOrder instead, the
    // hidden ones closed the chain into a ring of the three buttons.
    butCopyName =
        CopyButton(this, QStringLiteral("butCopyName"), QStringLiteral("Copy Name to Clipboard"));
    butCopyPlaces = CopyButton(this, QStringLiteral("butCopyPlaces"),
                               QStringLiteral("Copy Places to Clipboard"));

    auto* grid = new QGridLayout;
    grid->addWidget(lblBells, 0, 0);
    grid->addWidget(cboBells, 0, 1, Qt::AlignLeft);
    grid->addWidget(lblName, 1, 0);
    grid->addWidget(edtName, 1, 1);
    grid->addWidget(butCopyName, 1, 2);
    grid->addWidget(lblPlaces, 2, 0);
    grid->addWidget(edtPlaces, 2, 1);
    grid->addWidget(butCopyPlaces, 2, 2);
    lblClass = new QLabel(this);
    lblClass->setObjectName(QStringLiteral("lblClass"));
    lblClass->setTextFormat(Qt::PlainText);
    lblClass->setToolTip(QStringLiteral("The Central Council's class, symmetry and title"));
    grid->addWidget(lblClass, 3, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addWidget(buttons);

    connect(edtName, &QLineEdit::textChanged, this, &TfrmEdit::ShowClass);
    connect(edtPlaces, &QLineEdit::textChanged, this, &TfrmEdit::ShowClass);
    connect(cboBells, &QComboBox::currentIndexChanged, this, &TfrmEdit::ShowClass);
    connect(butOK, &QPushButton::clicked, this, &TfrmEdit::butOKClick);
    connect(butCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(butHelp, &QPushButton::clicked, this, [this] {
        m_help.Command(QStringLiteral("SHOW"), QStringLiteral("editing_method.htm"), this);
    });
    connect(butCopyName, &QToolButton::clicked, this,
            [this] { QApplication::clipboard()->setText(edtName->text()); });
    connect(butCopyPlaces, &QToolButton::clicked, this,
            [this] { QApplication::clipboard()->setText(edtPlaces->text()); });
}

void TfrmEdit::ShowClass()
{
    const int bells = cboBells->currentIndex() + kMinBells;
    const std::optional<Classification> c = ClassifyTyped(edtPlaces->text().toStdString(), bells);
    // Nothing while the notation is not yet one the program takes: its message comes at OK.
    lblClass->setText(
        c ? QString::fromStdString(ClassLine(*c, edtName->text().trimmed().toStdString(), bells))
          : QString());
}

void TfrmEdit::Prepare(TBellCard& card, TBellOptions& global)
{
    m_card = &card;
    m_global = &global;
    FormActivate();
}

void TfrmEdit::FormActivate()
{
    const TBellStore& store = m_card->Store();
    const int bells = IsValidStage(store.Bells()) ? store.Bells() : 8;
    cboBells->setCurrentIndex(bells - kMinBells);
    edtName->setText(QString::fromStdString(store.Name()));
    // Typing stops at 98 characters, but a comma form written out may be longer: the box holds
    // all of it, so that OK keeps the method as it is.
    m_shownPlaces = m_global->CCNotation ? CCNotationOfPlaces(store.PlaceNotation(), bells)
                                         : store.PlaceNotation();
    edtPlaces->setMaxLength(std::max(kMaxTypedPlaces, static_cast<int>(m_shownPlaces.size())));
    edtPlaces->setText(QString::fromStdString(m_shownPlaces));
    const bool editing = !store.PlaceNotation().empty();
    setWindowTitle(editing ? QStringLiteral("Edit a Method") : QStringLiteral("New Method"));
    butCopyName->setVisible(editing);
    butCopyPlaces->setVisible(editing);
    if (editing) {
        cboBells->setFocus();
    } else {
        edtName->setFocus();
    }
    ShowClass();
}

void TfrmEdit::butOKClick()
{
    const int bells = cboBells->currentIndex() + kMinBells;
    const std::string name = edtName->text().toStdString();
    // The Central Council's comma form, as ringers copy it, is written out in full before the
    // check: the full form is the one shown, stored and saved.
    // The notation shown and left alone stays as the page has it, whatever its form shown.
    const std::string typed = edtPlaces->text().toStdString();
    const std::string places =
        typed == m_shownPlaces && !typed.empty() && bells == m_card->Store().Bells()
            ? m_card->Store().PlaceNotation()
            : ExpandTypedNotation(typed);
    // A name of blanks alone is no name.
    const std::string error =
        Trim(name).empty() ? kMsgNoName.toStdString() : CheckPlaceNotation(places, bells);
    if (!error.empty()) {
        m_messages.Show(this, BoxKind::Warning, QString::fromStdString(error));
        return;
    }
    m_global->Bells = bells;
    TBellStore& store = m_card->Store();
    store.SetBells(bells);
    store.SetName(name);
    store.SetPlaceNotation(places);
    m_card->Changed = true;
    accept();
}

} // namespace tambrel
