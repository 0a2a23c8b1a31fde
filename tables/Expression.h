#pragma once

#include "tables/DbfFile.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tambrel {

// A dBase expression over the fields of one table, as index keys and while-conditions use them:
// field names in any case, string constants in double or single quotes, "+" joining texts,
// Upper(x), Left(x, n), and for conditions "=" (the left side begins with the right, as dBase
// compares texts) joined by ".And.". Evaluated on a record's raw bytes, so keys come out in the
// table's own code page.
class Expression {
public:
    struct Node;

    ~Expression();
    Expression(Expression&&) noexcept;
    Expression& operator=(Expression&&) noexcept;

    // A key expression: its value is text. Nothing and `error` set when the text is not one.
    static std::optional<Expression> ParseKey(std::string_view text, const DbfFile& table,
                                              std::string& error);
    // A condition: its value is true or false. Constants are given in the table's code page.
    static std::optional<Expression> ParseCondition(std::string_view text, const DbfFile& table,
                                                    std::string& error);

    const std::string& Text() const { return m_text; }
    int Width() const; // width of a key, in bytes

    // The key of a record (the record's bytes, deletion flag first), exactly Width() bytes.
    std::string Key(const char* record, const std::array<std::uint8_t, 256>& upper) const;
    void KeyInto(const char* record, const std::array<std::uint8_t, 256>& upper, char* out) const;
    bool Holds(const char* record, const std::array<std::uint8_t, 256>& upper) const;

private:
    Expression() = default;
    static std::optional<Expression> Parse(std::string_view text, const DbfFile& table,
                                           std::string& error, bool condition);
    std::string m_text;
    std::unique_ptr<Node> m_root;
};

} // namespace tambrel
