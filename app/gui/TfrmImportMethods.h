#pragma once

#include "app/gui/ImportDialog.h"
#include "library/Import.h"
#include "tables/Status.h"

class QCheckBox;

namespace tambrel {

class TfrmDataMod;

// "Import Extra Methods": reads a methods import file and adds its new methods to the main
// library ("&Import New Methods") or makes them the whole library ("&Replace the Library"),
// then, when asked, offers to delete from the personal library what the main library holds.
class TfrmImportMethods : public ImportDialog {
    Q_OBJECT
public:
    TfrmImportMethods(TfrmDataMod& dataModule, MessageBoxes& messages, HelpSystem& help,
                      QWidget* parent = nullptr);

    // Before the dialog is shown: the labels, the check box from `checkMyLib`, and the tables.
    // A refusal (a table in use elsewhere, or damaged) leaves every table closed.
    Status FormActivate(bool checkMyLib);
    void FormClose() override;

    void butSelectClick();
    void butImportClick();  // "IMPORT"
    void butReplaceClick(); // "REPLACE"

    QPushButton* butImport = nullptr;
    QCheckBox* chkCheckMyLib = nullptr;

    const MethodsImport& Import() const { return m_import; }

protected:
    void SetState(ImportState state) override;

private:
    void RunImport(ImportMode mode);

    MethodsImport m_import;
    bool m_open = false;
};

} // namespace tambrel
