#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tambrel {

// The calls a method page has chosen: call reference codes ("01".."10") of its bob and single,
// and the bells whose lines the call leads show (empty = those of the calls library). The
// page's options carry these; the method store reads and fills them.
struct CallChoice {
    std::string BobType;
    std::string BobLines;
    std::string SingleType;
    std::string SingleLines;
};

// One call of the calls library: its name, place notation and the bells whose lines show it.
struct CallRecord {
    std::string name;
    std::string places;
    std::string lines;
    // Filled by CallsLibrary::Add: the notation split for the record's stage, or nothing when
    // the stage refuses it (a call that cannot be laid).
    std::vector<std::string> changes;
};

// The calls library held in memory, read once from the calls table (or the bundled calls
// data) and looked up exactly by bell count and call reference.
class CallsLibrary {
public:
    // `ref` as stored: two characters, "1" written "01". The notation is checked and split here
    // once, so building call leads costs no parsing.
    void Add(int bells, std::string_view ref, std::string name, std::string places,
             std::string lines);
    const CallRecord* Find(int bells, std::string_view ref) const;
    std::size_t Size() const { return m_calls.size(); }

    // The build text of the library's header record ("" when it has none).
    std::string buildText;

    // The two-character reference for a code as written in an import file: "7" -> "07".
    static std::string NormalRef(std::string_view ref);

private:
    std::map<std::pair<int, std::string>, CallRecord> m_calls;
};

} // namespace tambrel
