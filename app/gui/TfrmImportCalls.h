#pragma once

#include "app/gui/ImportDialog.h"
#include "library/Import.h"
#include "tables/Status.h"

namespace tambrel {

class TfrmDataMod;

// "Import Extra Calls": reads a calls import file and replaces the whole calls library by it
// ("&Replace all Calls").
class TfrmImportCalls : public ImportDialog {
    Q_OBJECT
public:
    TfrmImportCalls(TfrmDataMod& dataModule, MessageBoxes& messages, HelpSystem& help,
                    QWidget* parent = nullptr);

    // Before the dialog is shown: the labels and the tables. A refusal leaves every table
    // closed.
    Status FormActivate();
    void FormClose() override;

    void butSelectClick();
    void butReplaceClick();

    // Whether an import replaced the calls library while the dialog was open.
    bool Imported() const { return m_imported; }

private:
    CallsImport m_import;
    bool m_open = false;
    bool m_imported = false;
};

} // namespace tambrel
