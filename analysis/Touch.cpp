#include "analysis/Touch.h"

#include "engine/TBellStore.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cstring>

namespace tambrel {

namespace {

// A number at `pos` (advanced past it), or -1 when there is none or it is too large.
int ReadNumber(std::string_view text, std::size_t& pos)
{
    const std::size_t start = pos;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) != 0) {
        ++pos;
    }
    int number = -1;
    const auto [end, ec] = std::from_chars(text.data() + start, text.data() + pos, number);
    return pos == start || ec != std::errc{} || end != text.data() + pos ? -1 : number;
}

// Reads leads up to `close` (a ")" for a group, or the end), appending them to `leads`.
class CallingReader {
public:
    explicit CallingReader(std::string_view text) : m_text(text) {}

    std::string Read(std::vector<TouchLead>& leads, int depth)
    {
        while (Skip(), m_pos < m_text.size()) {
            const char c = m_text[m_pos];
            if (c == ')') {
                return depth > 0 ? std::string() : "A \")\" closes no group.";
            }
            if (c == '*') {
                return depth > 0 ? "A group is not closed." : std::string();
            }
            if (c == '(') {
                ++m_pos;
                std::vector<TouchLead> group;
                if (std::string problem = Read(group, depth + 1); !problem.empty()) {
                    return problem;
                }
                if (m_pos >= m_text.size() || m_text[m_pos] != ')') {
                    return "A group is not closed.";
                }
                ++m_pos;
                Skip();
                int times = 1;
                if (m_pos < m_text.size() &&
                    std::isdigit(static_cast<unsigned char>(m_text[m_pos]))) {
                    times = ReadNumber(m_text, m_pos);
                    if (times < 1 || times > kMaxTouchRows) {
                        return "A group's repeat must be 1 to 100000.";
                    }
                }
                if (group.size() * static_cast<std::size_t>(times) + leads.size() > kMaxTouchRows) {
                    return kTooLong;
                }
                for (int t = 0; t < times; ++t) {
                    leads.insert(leads.end(), group.begin(), group.end());
                }
                continue;
            }
            TouchLead lead;
            if (std::isdigit(static_cast<unsigned char>(c)) != 0) {
                lead.page = ReadNumber(m_text, m_pos);
                if (m_pos >= m_text.size() || m_text[m_pos] != ':' || lead.page < 1 ||
                    lead.page > 5) {
                    return "A page number (1 to 5) must be followed by \":\" and a call letter.";
                }
                ++m_pos;
            }
            const char letter =
                m_pos < m_text.size()
                    ? static_cast<char>(std::tolower(static_cast<unsigned char>(m_text[m_pos])))
                    : '\0';
            if (letter == 'p') {
                lead.call = LeadCall::Plain;
            } else if (letter == 'b' || letter == '-') {
                lead.call = LeadCall::Bob;
            } else if (letter == 's') {
                lead.call = LeadCall::Single;
            } else {
                return letter == '\0' ? "A call letter is missing at the end."
                                      : std::string("\"") + m_text[m_pos] +
                                            "\" is not a call: use p, b (or -) and s.";
            }
            ++m_pos;
            if (leads.size() >= kMaxTouchRows) {
                return kTooLong;
            }
            leads.push_back(lead);
        }
        return depth > 0 ? "A group is not closed." : std::string();
    }

    std::size_t& Pos() { return m_pos; }
    void Skip()
    {
        while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos]))) {
            ++m_pos;
        }
    }

    static constexpr const char* kTooLong = "The touch is longer than 100000 rows.";

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

const char* CallName(LeadCall call)
{
    return call == LeadCall::Bob ? "bob" : "single";
}

// One method's leads as permutations: for each call, the L changes of a lead with that call at
// its lead end, and the changes the call lays over the start of the next lead.
struct MethodLeads {
    int length = 0;
    std::array<std::vector<Row>, 3> own;
    std::array<std::vector<Row>, 3> spill;
};

Row ChangeRow(const std::string& change, int bells)
{
    return ApplyChange(Rounds(bells), ChangeMovement(change, bells));
}

MethodLeads LeadsOf(const TBellStore& store)
{
    MethodLeads leads;
    const int bells = store.Bells();
    const int length = store.LeadLength();
    leads.length = length;
    for (int i = 1; i <= length; ++i) {
        leads.own[0].push_back(ChangeRow(store.GetChange(i), bells));
    }
    // The call leads are turned, the lead end at the middle: position p of the turned lead is
    // change L - L/2 + p of the called lead, or past the middle change p - L/2 of the next.
    const int half = length / 2;
    for (const LeadCall call : {LeadCall::Bob, LeadCall::Single}) {
        const auto k = static_cast<std::size_t>(call);
        leads.own[k] = leads.own[0];
        for (int p = 1; p <= length; ++p) {
            const std::string& change =
                call == LeadCall::Bob ? store.GetBobChange(p) : store.GetSingleChange(p);
            const Row row = ChangeRow(change, bells);
            if (p <= half) {
                leads.own[k][static_cast<std::size_t>(length - half + p - 1)] = row;
            } else if (row != leads.own[0][static_cast<std::size_t>(p - half - 1)]) {
                leads.spill[k].resize(static_cast<std::size_t>(p - half), Row{});
                leads.spill[k][static_cast<std::size_t>(p - half - 1)] = row;
            }
        }
    }
    return leads;
}

// The row's longest run of consecutive bells in order from position `from` stepping by `step`.
int RunLength(const Row& row, int bells, int from, int step)
{
    const int second = from + step;
    const int rise = row[static_cast<std::size_t>(second)] - row[static_cast<std::size_t>(from)];
    if (rise != 1 && rise != -1) {
        return 1;
    }
    int length = 2;
    for (int p = second + step; p >= 0 && p < bells; p += step) {
        if (row[static_cast<std::size_t>(p)] - row[static_cast<std::size_t>(p - step)] != rise) {
            break;
        }
        ++length;
    }
    return length;
}

// Row::Packed by whole words: the bells' low four bits, eight to a word.
std::uint64_t FastPacked(const Row& row)
{
    if constexpr (std::endian::native != std::endian::little) {
        return row.Packed();
    }
    const auto nibbles = [](std::uint64_t x) {
        x &= 0x0F0F0F0F0F0F0F0FULL;
        x = (x | (x >> 4U)) & 0x00FF00FF00FF00FFULL;
        x = (x | (x >> 8U)) & 0x0000FFFF0000FFFFULL;
        return (x | (x >> 16U)) & 0x00000000FFFFFFFFULL;
    };
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    std::memcpy(&low, row.data(), 8);
    std::memcpy(&high, row.data() + 8, 8);
    return nibbles(low) | nibbles(high) << 32U;
}

std::uint64_t Hash(std::uint64_t key, int bits)
{
    return (key * 0x9E3779B97F4A7C15ULL) >> (64 - bits);
}

} // namespace

Result<std::vector<TouchLead>> ParseCalling(std::string_view text)
{
    CallingReader reader(text);
    std::vector<TouchLead> leads;
    if (std::string problem = reader.Read(leads, 0); !problem.empty()) {
        return Result<std::vector<TouchLead>>::fail(problem);
    }
    std::size_t& pos = reader.Pos();
    if (pos < text.size() && text[pos] == '*') {
        ++pos;
        reader.Skip();
        const int parts = ReadNumber(text, pos);
        reader.Skip();
        if (parts < 1 || pos != text.size()) {
            return Result<std::vector<TouchLead>>::fail(
                "\"*\" must be followed by the number of parts, at the end.");
        }
        if (leads.size() * static_cast<std::size_t>(parts) > kMaxTouchRows) {
            return Result<std::vector<TouchLead>>::fail(CallingReader::kTooLong);
        }
        const std::vector<TouchLead> part = leads;
        for (int k = 1; k < parts; ++k) {
            leads.insert(leads.end(), part.begin(), part.end());
        }
    }
    if (leads.empty()) {
        return Result<std::vector<TouchLead>>::fail("The calling has no leads.");
    }
    return Result<std::vector<TouchLead>>::ok(std::move(leads));
}

std::vector<std::pair<std::string, Row>> NamedRows(int bells)
{
    std::vector<std::pair<std::string, Row>> named;
    Row back{};
    for (int p = 0; p < bells; ++p) {
        back[static_cast<std::size_t>(p)] = static_cast<std::uint8_t>(bells - p);
    }
    named.emplace_back("backrounds", back);
    if (bells < 6 || bells > 12) {
        return named;
    }
    Row queens{};
    Row kings{};
    Row tittums{};
    std::size_t q = 0;
    for (int b = 1; b <= bells; b += 2) {
        queens[q++] = static_cast<std::uint8_t>(b);
    }
    std::size_t k = 0;
    for (int b = bells % 2 == 1 ? bells : bells - 1; b >= 1; b -= 2) {
        kings[k++] = static_cast<std::uint8_t>(b);
    }
    for (int b = 2; b <= bells; b += 2) {
        queens[q++] = static_cast<std::uint8_t>(b);
        kings[k++] = static_cast<std::uint8_t>(b);
    }
    const int half = (bells + 1) / 2;
    for (int p = 0; p < bells; ++p) {
        tittums[static_cast<std::size_t>(p)] =
            static_cast<std::uint8_t>(p % 2 == 0 ? p / 2 + 1 : half + p / 2 + 1);
    }
    named.emplace_back("queens", queens);
    named.emplace_back("kings", kings);
    named.emplace_back("tittums", tittums);
    if (bells == 8) {
        named.emplace_back("whittingtons", ParseRow("12753468"));
    }
    return named;
}

Result<TouchProof> TouchProver::Prove(std::span<const TouchLead> leads,
                                      std::span<const TBellStore* const> methods)
{
    using Fail = Result<TouchProof>;
    if (methods.empty() || methods[0] == nullptr) {
        return Fail::fail("There is no method to ring.");
    }
    const int bells = methods[0]->Bells();
    std::array<MethodLeads, 6> lead{};
    std::array<bool, 6> built{};
    std::size_t total = 0;
    for (const TouchLead& l : leads) {
        const auto page = static_cast<std::size_t>(l.page);
        if (page >= methods.size() || page >= lead.size() || methods[page] == nullptr) {
            return Fail::fail("There is no method of " + std::to_string(bells) + " bells on page " +
                              std::to_string(l.page) + ".");
        }
        const TBellStore& store = *methods[page];
        if ((l.call == LeadCall::Bob && !store.HasBob()) ||
            (l.call == LeadCall::Single && !store.HasSingle())) {
            return Fail::fail(store.Name() + " has no " + CallName(l.call) +
                              " in the calls library, so it cannot be called.");
        }
        if (!built[page]) {
            lead[page] = LeadsOf(store);
            built[page] = true;
        }
        total += static_cast<std::size_t>(lead[page].length);
        if (total > kMaxTouchRows) {
            return Fail::fail(CallingReader::kTooLong);
        }
    }

    TouchProof proof;
    proof.callingLeads = static_cast<int>(leads.size());
    const Row rounds = Rounds(bells);
    m_rows.clear();
    m_rows.reserve(total + 1);
    m_rows.push_back(rounds);
    proof.leadHeads.reserve(leads.size());
    std::vector<Row> spill; // the call's changes over the next lead's start
    Row row = rounds;
    for (std::size_t i = 0; i < leads.size() && !proof.comesRound; ++i) {
        const MethodLeads& method = lead[static_cast<std::size_t>(leads[i].page)];
        const auto call = static_cast<std::size_t>(leads[i].call);
        ++proof.leads;
        proof.bobs += leads[i].call == LeadCall::Bob ? 1 : 0;
        proof.singles += leads[i].call == LeadCall::Single ? 1 : 0;
        for (int j = 0; j < method.length; ++j) {
            const auto c = static_cast<std::size_t>(j);
            const Row& change =
                c < spill.size() && spill[c] != Row{} ? spill[c] : method.own[call][c];
            row = row * change;
            m_rows.push_back(row);
            if (row == rounds) {
                proof.comesRound = true;
                proof.roundLead = static_cast<int>(i) + 1;
                proof.roundChange = j + 1;
                proof.roundPartWay = j + 1 != method.length;
                break;
            }
        }
        spill = method.spill[call];
        if (!proof.comesRound || !proof.roundPartWay) {
            proof.leadHeads.push_back(row);
        }
    }
    proof.changes = static_cast<int>(m_rows.size()) - 1;
    proof.endRow = row;

    // Truth and music in one pass over the rows. Truth: each row against those before it, by
    // a table of the rows' packed forms, the earlier row of a repeat found afterwards for the
    // few listed; rounds at the end is the start come again, not a repeat. Music: rounds at the
    // start and at the end excepted.
    const std::size_t proved = proof.comesRound ? m_rows.size() - 1 : m_rows.size();
    int bits = 10;
    while ((std::size_t{1} << bits) < 2 * proved) {
        ++bits;
    }
    const std::size_t size = std::size_t{1} << bits;
    m_keys.assign(size, 0);
    const std::vector<std::pair<std::string, Row>> named = NamedRows(bells);
    std::array<std::uint64_t, 8> namedKeys{};
    std::array<int, 8> namedCounts{};
    for (std::size_t n = 0; n < named.size(); ++n) {
        namedKeys[n] = named[n].second.Packed();
    }
    std::vector<std::uint64_t> repeated;
    for (std::size_t r = 0; r < proved; ++r) {
        const Row& rung = m_rows[r];
        const std::uint64_t key = FastPacked(rung); // never 0: bell 1 stands somewhere
        std::size_t slot = Hash(key, bits);
        while (m_keys[slot] != 0 && m_keys[slot] != key) {
            slot = (slot + 1) & (size - 1);
        }
        if (m_keys[slot] == 0) {
            m_keys[slot] = key;
        } else {
            ++proof.falseCount;
            if (proof.falseRows.size() < kMaxListedFalseRows) {
                proof.falseRows.emplace_back(static_cast<int>(r), -1);
                repeated.push_back(key);
            }
        }
        if (r == 0) {
            continue;
        }
        for (std::size_t n = 0; n < named.size(); ++n) {
            namedCounts[n] += key == namedKeys[n] ? 1 : 0;
        }
        if (const int front = RunLength(rung, bells, 0, 1); front >= 4) {
            ++proof.music.runs[static_cast<std::size_t>(front)];
            if (front == bells) {
                continue; // one run, counted once
            }
        }
        if (const int back = RunLength(rung, bells, bells - 1, -1); back >= 4) {
            ++proof.music.runs[static_cast<std::size_t>(back)];
        }
    }
    proof.isTrue = proof.falseCount == 0;
    for (std::size_t r = 0, found = 0; found < repeated.size() && r < proved; ++r) {
        const std::uint64_t key = FastPacked(m_rows[r]);
        for (std::size_t k = 0; k < repeated.size(); ++k) {
            if (proof.falseRows[k].second < 0 && repeated[k] == key) {
                proof.falseRows[k].second = static_cast<int>(r);
                ++found;
            }
        }
    }
    for (std::size_t n = 0; n < named.size(); ++n) {
        proof.music.named.emplace_back(named[n].first, namedCounts[n]);
    }
    return Result<TouchProof>::ok(std::move(proof));
}

std::string TouchSummary(const TouchProof& proof, int bells)
{
    if (!proof.isTrue) {
        const auto [row, earlier] = proof.falseRows.front();
        std::string text =
            "False: row " + std::to_string(row) + " repeats row " + std::to_string(earlier) + ".";
        if (proof.falseCount > 1) {
            text += " (" + std::to_string(proof.falseCount) + " rows repeat.)";
        }
        return text;
    }
    if (!proof.comesRound) {
        return "Does not come round: ends at " + RowText(proof.endRow, bells) + " after " +
               std::to_string(proof.changes) + " changes.";
    }
    std::string text = std::to_string(proof.changes) + " changes, true, comes round";
    if (proof.roundPartWay) {
        text += " part way through lead " + std::to_string(proof.roundLead) + ", at its change " +
                std::to_string(proof.roundChange);
    } else if (proof.roundLead < proof.callingLeads) {
        text += " at the end of lead " + std::to_string(proof.roundLead) + " of " +
                std::to_string(proof.callingLeads);
    }
    return text + ".";
}

} // namespace tambrel
