#include "app/gui/TfrmImportMethods.h"

#include "app/gui/Hourglass.h"
#include "app/gui/MessageBoxes.h"
#include "library/ImportMessages.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tambrel {

TfrmImportMethods::TfrmImportMethods(TfrmDataMod& dataModule, MessageBoxes& messages,
                                     HelpSystem& help, QWidget* parent)
    : ImportDialog(messages, help, QStringLiteral("import_methods.htm"), parent),
      m_import(dataModule)
{
    setObjectName(QStringLiteral("frmImportMethods"));
    setWindowTitle(QStringLiteral("Import Extra Methods"));
    butReplace->setText(QStringLiteral("&Replace the Library"));
    butImport = new QPushButton(QStringLiteral("&Import New Methods"), this);
    butImport->setObjectName(QStringLiteral("butImport"));
    butImport->setAutoDefault(false);
    lblClosed->setText(
        QStringLiteral("The open methods were closed: an import changes their library."));
    chkCheckMyLib =
        new QCheckBox(QStringLiteral("Check your &Personal Library when Importing"), this);
    chkCheckMyLib->setObjectName(QStringLiteral("chkCheckMyLib"));

    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {butSelect, butImport, butReplace}) {
        buttons->addWidget(button);
    }
    buttons->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(chkCheckMyLib);
    bottom->addStretch();
    bottom->addWidget(butHelp);
    bottom->addWidget(butClose);
    auto* top = new QHBoxLayout;
    top->addLayout(LabelColumn(), 1);
    top->addSpacing(12);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);
    lblFile->setMinimumWidth(lblFile->fontMetrics().horizontalAdvance(QLatin1Char('8')) * 48);

    // Keyboard order as laid out: the steps from the top, then the bottom row.
    setTabOrder(butSelect, butImport);
    setTabOrder(butImport, butReplace);
    setTabOrder(butReplace, butDetails);
    setTabOrder(butDetails, chkCheckMyLib);
    setTabOrder(chkCheckMyLib, butHelp);
    setTabOrder(butHelp, butClose);

    connect(butSelect, &QPushButton::clicked, this, &TfrmImportMethods::butSelectClick);
    connect(butImport, &QPushButton::clicked, this, &TfrmImportMethods::butImportClick);
    connect(butReplace, &QPushButton::clicked, this, &TfrmImportMethods::butReplaceClick);
    SetState(ImportState::Select);
}

void TfrmImportMethods::SetState(ImportState state)
{
    ImportDialog::SetState(state);
    butImport->setEnabled(state == ImportState::Import);
    chkCheckMyLib->setEnabled(state != ImportState::Off);
}

Status TfrmImportMethods::FormActivate(bool checkMyLib)
{
    Hourglass hourglass;
    lblFile->setText(Q(kMsgSelectMethodsFile));
    lblProgress->setText(Q(kMsgProgress));
    prgImport->setRange(0, 100);
    prgImport->setValue(0);
    ClearDetails();
    chkCheckMyLib->setChecked(checkMyLib);
    SetState(ImportState::Select);
    const Status opened = m_import.Open();
    m_open = opened.ok();
    return opened;
}

void TfrmImportMethods::FormClose()
{
    if (m_open) {
        m_open = false;
        m_import.Close();
    }
}

void TfrmImportMethods::butSelectClick()
{
    SelectFile(
        QStringLiteral(
            "New Style Method Library (*.csv);;Central Council collection (*.xml);;All files (*)"),
        true, [this](const std::string& file) { return m_import.ReadFile(file); },
        m_import.Staged());
}

void TfrmImportMethods::butImportClick()
{
    RunImport(ImportMode::Import);
}

void TfrmImportMethods::butReplaceClick()
{
    if (ConfirmReplace(true, m_import.LibraryMethods(), m_import.Usable(), m_import.Staged())) {
        RunImport(ImportMode::Replace);
    }
}

void TfrmImportMethods::RunImport(ImportMode mode)
{
    Status status;
    {
        Hourglass hourglass;
        SetState(ImportState::Off);
        status = m_import.Run(mode, chkCheckMyLib->isChecked(), Feedback());
    }
    if (!status) {
        m_messages.Show(this, BoxKind::Warning, Q(status.error));
        lblProgress->setText(Q(kMsgProgress));
    }
    SetState(ImportState::Import);
}

} // namespace tambrel
