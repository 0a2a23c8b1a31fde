#include "app/gui/TfrmImportCalls.h"

#include "app/gui/Hourglass.h"
#include "app/gui/MessageBoxes.h"
#include "library/ImportMessages.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tambrel {

TfrmImportCalls::TfrmImportCalls(TfrmDataMod& dataModule, MessageBoxes& messages, HelpSystem& help,
                                 QWidget* parent)
    : ImportDialog(messages, help, QStringLiteral("import_calls.htm"), parent), m_import(dataModule)
{
    setObjectName(QStringLiteral("frmImportCalls"));
    setWindowTitle(QStringLiteral("Import Extra Calls"));
    butReplace->setText(QStringLiteral("&Replace all Calls"));
    lblClosed->setText(
        QStringLiteral("The open methods were closed: their calls are replaced here."));

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(butSelect);
    buttons->addWidget(butReplace);
    buttons->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(LabelColumn(), 1);
    top->addSpacing(12);
    top->addLayout(buttons);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(butHelp);
    bottom->addWidget(butClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);
    lblFile->setMinimumWidth(lblFile->fontMetrics().horizontalAdvance(QLatin1Char('8')) * 48);

    setTabOrder(butReplace, butDetails);
    setTabOrder(butDetails, butHelp); // Help sits left of Close
    setTabOrder(butHelp, butClose);

    connect(butSelect, &QPushButton::clicked, this, &TfrmImportCalls::butSelectClick);
    connect(butReplace, &QPushButton::clicked, this, &TfrmImportCalls::butReplaceClick);
    SetState(ImportState::Select);
}

Status TfrmImportCalls::FormActivate()
{
    Hourglass hourglass;
    lblFile->setText(Q(kMsgSelectCallsFile));
    lblProgress->setText(Q(kMsgProgress));
    prgImport->setRange(0, 100);
    prgImport->setValue(0);
    ClearDetails();
    SetState(ImportState::Select);
    m_imported = false;
    const Status opened = m_import.Open();
    m_open = opened.ok();
    return opened;
}

void TfrmImportCalls::FormClose()
{
    if (m_open) {
        m_open = false;
        m_import.Close();
    }
}

void TfrmImportCalls::butSelectClick()
{
    SelectFile(
        QStringLiteral("Call Library (*.csv)"), false,
        [this](const std::string& file) { return m_import.ReadFile(file); }, m_import.Staged());
}

void TfrmImportCalls::butReplaceClick()
{
    if (!ConfirmReplace(false, m_import.LibraryCalls(), m_import.Usable(), m_import.Staged())) {
        return;
    }
    Status status;
    {
        Hourglass hourglass;
        SetState(ImportState::Off);
        status = m_import.Run(Feedback());
    }
    if (!status) {
        m_messages.Show(this, BoxKind::Warning, Q(status.error));
        lblProgress->setText(Q(kMsgProgress));
    } else {
        m_imported = true;
    }
    SetState(ImportState::Import);
}

} // namespace tambrel
