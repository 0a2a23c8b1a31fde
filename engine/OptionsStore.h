#pragma once

#include <string>
#include <vector>

namespace tambrel {

// One stored setting: its key name and its value as text.
struct OptionRecord {
    std::string option;
    std::string value;
};

// Where the settings are kept between sittings. The options know their records; the store
// knows the table they live in, so the display needs nothing of the library to load or save.
class OptionsStore {
public:
    virtual ~OptionsStore() = default;
    // Every stored record in the stored order into `records`; "" when read, else why not.
    virtual std::string ReadRecords(std::vector<OptionRecord>& records) = 0;
    // Replaces every stored record by `records` in one write; "" when written, else the message.
    virtual std::string WriteRecords(const std::vector<OptionRecord>& records) = 0;
};

} // namespace tambrel
