#pragma once

#include "engine/OptionsStore.h"

namespace tambrel {

class TfrmDataMod;

// The settings kept in the options table of the library folder. Each read or write opens the
// table and closes the data module's tables after it.
class OptionsTable : public OptionsStore {
public:
    explicit OptionsTable(TfrmDataMod& data) : m_data(data) {}
    std::string ReadRecords(std::vector<OptionRecord>& records) override;
    std::string WriteRecords(const std::vector<OptionRecord>& records) override;

private:
    TfrmDataMod& m_data;
};

} // namespace tambrel
