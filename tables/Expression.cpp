#include "tables/Expression.h"

#include <cctype>
#include <charconv>
#include <cstring>
#include <vector>

namespace tambrel {

struct Expression::Node {
    enum class Kind { Field, Constant, Concat, Upper, Left, Equal, And } kind = Kind::Constant;
    int offset = 0; // Field: offset in the record
    int width = 0;  // width of the text value
    std::string constant;
    std::vector<std::unique_ptr<Node>> children;

    // Writes the value of a text node into out (exactly `width` bytes).
    void Write(const char* record, const std::array<std::uint8_t, 256>& upper, char* out) const
    {
        switch (kind) {
        case Kind::Field:
            std::memcpy(out, record + offset, static_cast<std::size_t>(width));
            break;
        case Kind::Constant:
            std::memcpy(out, constant.data(), constant.size());
            break;
        case Kind::Concat: {
            char* at = out;
            for (const auto& child : children) {
                child->Write(record, upper, at);
                at += child->width;
            }
            break;
        }
        case Kind::Upper:
            children[0]->Write(record, upper, out);
            for (int i = 0; i < width; ++i) {
                out[i] = static_cast<char>(upper[static_cast<unsigned char>(out[i])]);
            }
            break;
        case Kind::Left: {
            const Node& inner = *children[0];
            if (inner.width <= width) {
                inner.Write(record, upper, out);
                std::memset(out + inner.width, ' ', static_cast<std::size_t>(width - inner.width));
            } else {
                std::string whole(static_cast<std::size_t>(inner.width), ' ');
                inner.Write(record, upper, whole.data());
                std::memcpy(out, whole.data(), static_cast<std::size_t>(width));
            }
            break;
        }
        case Kind::Equal:
        case Kind::And:
            break;
        }
    }

    std::string Value(const char* record, const std::array<std::uint8_t, 256>& upper) const
    {
        std::string out(static_cast<std::size_t>(width), ' ');
        Write(record, upper, out.data());
        return out;
    }

    bool Test(const char* record, const std::array<std::uint8_t, 256>& upper) const
    {
        if (kind == Kind::And) {
            for (const auto& child : children) {
                if (!child->Test(record, upper)) {
                    return false;
                }
            }
            return true;
        }
        // dBase compares texts only as far as the right side goes.
        const std::string left = children[0]->Value(record, upper);
        const std::string right = children[1]->Value(record, upper);
        return left.size() >= right.size() && left.compare(0, right.size(), right) == 0;
    }
};

namespace {

using Node = Expression::Node;
using Kind = Expression::Node::Kind;

class Parser {
public:
    Parser(std::string_view text, const DbfFile& table) : m_text(text), m_table(table) {}

    std::unique_ptr<Node> Condition()
    {
        auto first = Comparison();
        if (!first) {
            return nullptr;
        }
        std::vector<std::unique_ptr<Node>> terms;
        terms.push_back(std::move(first));
        while (Accept(".AND.")) {
            auto next = Comparison();
            if (!next) {
                return nullptr;
            }
            terms.push_back(std::move(next));
        }
        if (terms.size() == 1) {
            return std::move(terms[0]);
        }
        auto node = std::make_unique<Node>();
        node->kind = Kind::And;
        node->children = std::move(terms);
        return node;
    }

    std::unique_ptr<Node> Text()
    {
        auto first = Term();
        if (!first) {
            return nullptr;
        }
        if (!Peek('+')) {
            return first;
        }
        auto node = std::make_unique<Node>();
        node->kind = Kind::Concat;
        node->width = first->width;
        node->children.push_back(std::move(first));
        while (Accept("+")) {
            auto next = Term();
            if (!next) {
                return nullptr;
            }
            node->width += next->width;
            node->children.push_back(std::move(next));
        }
        return node;
    }

    bool AtEnd()
    {
        SkipBlanks();
        return m_pos >= m_text.size();
    }

    const std::string& Error() const { return m_error; }
    void Fail(const std::string& what)
    {
        if (m_error.empty()) {
            m_error = what + " at position " + std::to_string(m_pos + 1) + " of \"" +
                      std::string(m_text) + "\".";
        }
    }

private:
    std::unique_ptr<Node> Comparison()
    {
        auto left = Text();
        if (!left) {
            return nullptr;
        }
        if (!Accept("=")) {
            Fail("Expected \"=\"");
            return nullptr;
        }
        auto right = Text();
        if (!right) {
            return nullptr;
        }
        auto node = std::make_unique<Node>();
        node->kind = Kind::Equal;
        node->children.push_back(std::move(left));
        node->children.push_back(std::move(right));
        return node;
    }

    std::unique_ptr<Node> Term()
    {
        SkipBlanks();
        if (m_pos >= m_text.size()) {
            Fail("Expected a field, a text or a function");
            return nullptr;
        }
        const char c = m_text[m_pos];
        if (c == '"' || c == '\'') {
            const std::size_t end = m_text.find(c, m_pos + 1);
            if (end == std::string_view::npos) {
                Fail("Unclosed text");
                return nullptr;
            }
            auto node = std::make_unique<Node>();
            node->kind = Kind::Constant;
            node->constant = std::string(m_text.substr(m_pos + 1, end - m_pos - 1));
            node->width = static_cast<int>(node->constant.size());
            m_pos = end + 1;
            return node;
        }
        if (std::isalpha(static_cast<unsigned char>(c)) == 0 && c != '_') {
            Fail("Unexpected character");
            return nullptr;
        }
        const std::size_t start = m_pos;
        while (m_pos < m_text.size() &&
               (std::isalnum(static_cast<unsigned char>(m_text[m_pos])) != 0 ||
                m_text[m_pos] == '_')) {
            ++m_pos;
        }
        std::string name(m_text.substr(start, m_pos - start));
        for (char& ch : name) {
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        }
        if (Accept("(")) {
            if (name != "UPPER" && name != "LEFT") {
                m_pos = start;
                Fail("Unknown function " + name);
                return nullptr;
            }
            return Function(name);
        }
        const int field = m_table.FieldIndex(name);
        if (field < 0) {
            m_pos = start;
            Fail("Unknown field " + name);
            return nullptr;
        }
        auto node = std::make_unique<Node>();
        node->kind = Kind::Field;
        node->offset = m_table.fields[static_cast<std::size_t>(field)].offset;
        node->width = m_table.fields[static_cast<std::size_t>(field)].width;
        return node;
    }

    std::unique_ptr<Node> Function(const std::string& name)
    {
        auto inner = Text();
        if (!inner) {
            return nullptr;
        }
        auto node = std::make_unique<Node>();
        if (name == "UPPER") {
            node->kind = Kind::Upper;
            node->width = inner->width;
        } else {
            if (!Accept(",")) {
                Fail("Expected \",\"");
                return nullptr;
            }
            SkipBlanks();
            int count = 0;
            const char* begin = m_text.data() + m_pos;
            const auto [ptr, ec] = std::from_chars(begin, m_text.data() + m_text.size(), count);
            if (ec != std::errc{} || count < 1 || count > 254) {
                Fail("Expected a count from 1 to 254");
                return nullptr;
            }
            m_pos += static_cast<std::size_t>(ptr - begin);
            node->kind = Kind::Left;
            node->width = count;
        }
        node->children.push_back(std::move(inner));
        if (!Accept(")")) {
            Fail("Expected \")\"");
            return nullptr;
        }
        return node;
    }

    void SkipBlanks()
    {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t')) {
            ++m_pos;
        }
    }

    bool Peek(char c)
    {
        SkipBlanks();
        return m_pos < m_text.size() && m_text[m_pos] == c;
    }

    // Accepts a token, letters compared in any case.
    bool Accept(std::string_view token)
    {
        SkipBlanks();
        if (m_text.size() - m_pos < token.size()) {
            return false;
        }
        for (std::size_t i = 0; i < token.size(); ++i) {
            if (std::toupper(static_cast<unsigned char>(m_text[m_pos + i])) != token[i]) {
                return false;
            }
        }
        m_pos += token.size();
        return true;
    }

    std::string_view m_text;
    const DbfFile& m_table;
    std::size_t m_pos = 0;
    std::string m_error;
};

} // namespace

Expression::~Expression() = default;
Expression::Expression(Expression&&) noexcept = default;
Expression& Expression::operator=(Expression&&) noexcept = default;

std::optional<Expression> Expression::Parse(std::string_view text, const DbfFile& table,
                                            std::string& error, bool condition)
{
    Parser parser(text, table);
    auto root = condition ? parser.Condition() : parser.Text();
    if (root && !parser.AtEnd()) {
        parser.Fail("Unexpected text");
        root.reset();
    }
    if (!root) {
        error = parser.Error();
        return std::nullopt;
    }
    Expression expression;
    expression.m_text = std::string(text);
    expression.m_root = std::move(root);
    return expression;
}

std::optional<Expression> Expression::ParseKey(std::string_view text, const DbfFile& table,
                                               std::string& error)
{
    return Parse(text, table, error, false);
}

std::optional<Expression> Expression::ParseCondition(std::string_view text, const DbfFile& table,
                                                     std::string& error)
{
    return Parse(text, table, error, true);
}

int Expression::Width() const
{
    return m_root->width;
}

std::string Expression::Key(const char* record, const std::array<std::uint8_t, 256>& upper) const
{
    return m_root->Value(record, upper);
}

void Expression::KeyInto(const char* record, const std::array<std::uint8_t, 256>& upper,
                         char* out) const
{
    m_root->Write(record, upper, out);
}

bool Expression::Holds(const char* record, const std::array<std::uint8_t, 256>& upper) const
{
    return m_root->Test(record, upper);
}

} // namespace tambrel
