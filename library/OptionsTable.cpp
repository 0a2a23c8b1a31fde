#include "library/OptionsTable.h"

#include "library/TfrmDataMod.h"

namespace tambrel {

std::string OptionsTable::ReadRecords(std::vector<OptionRecord>& records)
{
    const Status opened = m_data.OpenTables("OPTIONS", TableAccess::Read);
    if (opened) {
        TDbf& table = m_data.dbfOptions;
        for (table.GoTop(); !table.Eof(); table.Skip()) {
            records.push_back(OptionRecord{table.FieldText("option"), table.FieldText("value")});
        }
    }
    m_data.CloseTables();
    return opened.error;
}

std::string OptionsTable::WriteRecords(const std::vector<OptionRecord>& records)
{
    Status status = m_data.OpenTables("OPTIONS");
    if (status) {
        std::vector<std::vector<std::string>> rows;
        for (const OptionRecord& record : records) {
            rows.push_back({record.option, record.value});
        }
        status = m_data.dbfOptions.ReplaceAllRecords(rows);
    }
    if (const Status closed = m_data.CloseTables(); status && !closed) {
        status = closed;
    }
    return status.error;
}

} // namespace tambrel
