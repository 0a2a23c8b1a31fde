#include "analysis/Touch.h"
#include "analysis/CallingPositions.h"
#include "engine/CCNotation.h"
#include "engine/TBellStore.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tambrel {
namespace {

constexpr std::string_view kSymbols = "1234567890ETABCD";

// An independent prover: rows as text, each lead's changes read from a plain list of its whole
// lead ("x18x18.14", "3.1.7"), and the rows kept in a plain map.
struct Reference {
    int bells = 0;
    std::array<std::vector<std::string>, 3> leads; // plain, bob, single

    static std::vector<std::string> Split(std::string_view list)
    {
        std::vector<std::string> changes;
        std::string places;
        for (const char c : std::string(list) + ".") {
            if (c != 'x' && c != '-' && c != '.') {
                places += c;
                continue;
            }
            if (!places.empty()) {
                changes.push_back(std::exchange(places, {}));
            }
            if (c != '.') {
                changes.emplace_back(); // a cross
            }
        }
        return changes;
    }
    std::string Apply(std::string row, const std::string& places) const
    {
        for (int p = 0; p < bells;) {
            // A bell left alone at the back makes the place it is not written with.
            if (p + 1 == bells ||
                places.find(kSymbols[static_cast<std::size_t>(p)]) != std::string::npos) {
                ++p;
            } else {
                std::swap(row[static_cast<std::size_t>(p)], row[static_cast<std::size_t>(p) + 1]);
                p += 2;
            }
        }
        return row;
    }

    struct Proof {
        std::vector<std::string> rows;
        bool round = false;
        int falseCount = 0;
        std::pair<int, int> firstFalse{};
        std::array<int, kMaxBells + 1> runs{};
    };
    Proof Ring(const std::vector<TouchLead>& calling) const
    {
        Proof proof;
        const std::string rounds(kSymbols.substr(0, static_cast<std::size_t>(bells)));
        proof.rows.push_back(rounds);
        for (const TouchLead& lead : calling) {
            for (const std::string& change : leads[static_cast<std::size_t>(lead.call)]) {
                proof.rows.push_back(Apply(proof.rows.back(), change));
                if (proof.rows.back() == rounds) {
                    proof.round = true;
                    break;
                }
            }
            if (proof.round) {
                break;
            }
        }
        std::unordered_map<std::string, int> seen;
        const std::size_t proved = proof.rows.size() - (proof.round ? 1 : 0);
        for (std::size_t r = 0; r < proved; ++r) {
            const auto [at, added] = seen.emplace(proof.rows[r], static_cast<int>(r));
            if (!added && proof.falseCount++ == 0) {
                proof.firstFalse = {static_cast<int>(r), at->second};
            }
        }
        // A run: the row's first (or last) k bells are k bells of rounds or backrounds in turn.
        const std::string backrounds(rounds.rbegin(), rounds.rend());
        const auto run = [&](const std::string& bellsInTurn) {
            return rounds.find(bellsInTurn) != std::string::npos ||
                   backrounds.find(bellsInTurn) != std::string::npos;
        };
        for (std::size_t r = 1; r < proved; ++r) {
            const std::string& row = proof.rows[r];
            int front = 0;
            int back = 0;
            for (int k = 4; k <= bells; ++k) {
                front = run(row.substr(0, static_cast<std::size_t>(k))) ? k : front;
                back = run(row.substr(static_cast<std::size_t>(bells - k))) ? k : back;
            }
            ++proof.runs[static_cast<std::size_t>(front)];
            if (front < bells) {
                ++proof.runs[static_cast<std::size_t>(back)];
            }
        }
        proof.runs[0] = 0;
        return proof;
    }
};

void ExpectSame(const Result<TouchProof>& proved, const std::vector<Row>& rows,
                const Reference::Proof& expected, int bells)
{
    ASSERT_TRUE(proved) << proved.error;
    const TouchProof& proof = *proved.value;
    ASSERT_EQ(rows.size(), expected.rows.size());
    EXPECT_EQ(proof.changes + 1, static_cast<int>(expected.rows.size()));
    EXPECT_EQ(RowText(proof.endRow, bells), expected.rows.back());
    EXPECT_EQ(proof.comesRound, expected.round);
    EXPECT_EQ(proof.falseCount, expected.falseCount);
    EXPECT_EQ(proof.isTrue, expected.falseCount == 0);
    if (expected.falseCount > 0) {
        EXPECT_EQ(proof.falseRows.front(), expected.firstFalse);
        EXPECT_EQ(proof.falseRows.size(),
                  std::min<std::size_t>(kMaxListedFalseRows, expected.falseCount));
    }
    EXPECT_EQ(proof.music.runs, expected.runs); // by length of run
    for (std::size_t r = 0; r < rows.size(); r += 97) {
        EXPECT_EQ(RowText(rows[r], bells), expected.rows[r]);
    }
}

const CallsLibrary kCalls = [] {
    CallsLibrary made;
    for (const int bells : {6, 7, 8, 12}) {
        made.Add(bells, "01", "Bob", "14", "");
        made.Add(bells, "02", "Single", "1234", "");
    }
    made.Add(7, "05", "Grandsire Bob", "3.1", "");
    made.Add(7, "06", "Grandsire Single", "3.123", "");
    made.Add(7, "07", "Stedman Bob", "5.1.3.1.3.1.7", "");
    made.Add(7, "08", "Stedman Single", "567.1.3.1.3.1.7", "");
    return made;
}();

// Random callings of well-known methods, against the independent prover: true and false,
// coming round and not.
TEST(Touch, RandomCallingsProveAsTheIndependentProverSays)
{
    struct Case {
        int bells;
        std::string notation; // the program's, as the page has it
        std::string bob;      // call codes
        std::string single;
        std::string lead; // written out to its lead end, which follows: plain, bob, single
        std::array<std::string, 3> ends{"12", "14", "1234"};
    };
    const std::string cambridge = "x38x14x1258x36x14x58x16x78x16x58x14x36x1258x14x38x";
    const std::string cambridge12 =
        "x3Tx14x125Tx36x147Tx58x169Tx70x18x9Tx10xETx10x9Tx18x70x169Tx58x147Tx36x125Tx14x3Tx";
    const Case cases[] = {
        {6, "x16x16x16,12", "01", "02", "x16x16x16x16x16x"},
        {8, "x18x18x18x18,12", "01", "02", "x18x18x18x18x18x18x18x"},
        {8, "-38-14-1258-36-14-58-16-78,12", "01", "02", cambridge},
        {7, "3,1.7.1.7.1.7.1", "05", "06", "3.1.7.1.7.1.7.1.7.1.7.1.", {"7.1", "3.1", "3.123"}},
        {7, "3.1.7.3.1.3,1", "07", "08", "3.1.7.3.1.3.1.3.", {"7.1.3.1", "5.1.3.1", "567.1.3.1"}},
        {12, "x3Tx14x125Tx36x147Tx58x169Tx70x18x9Tx10xET,12", "01", "02", cambridge12},
    };
    std::mt19937 random(7);
    TouchProver prover;
    int trueRound = 0;
    int falseOnes = 0;
    int notRound = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.notation);
        auto store = test::Calculated(c.bells, ExpandTypedNotation(c.notation), "M", &kCalls);
        store->Owner().BobType = c.bob;
        store->Owner().SingleType = c.single;
        store->RecalcCalls();
        Reference reference{c.bells, {}};
        for (std::size_t k = 0; k < 3; ++k) {
            reference.leads[k] = Reference::Split(c.lead + c.ends[k]);
            ASSERT_EQ(reference.leads[k].size(), static_cast<std::size_t>(store->LeadLength()));
        }
        const TBellStore* methods[] = {store.get()};
        std::vector<std::string> callings = {
            std::string(static_cast<std::size_t>(store->LeadsInCourse()), 'p'),
            "(p)" + std::to_string(store->LeadsInCourse()) + "*2"};
        for (int t = 0; t < 12; ++t) {
            std::string calling;
            const int leads = 1 + static_cast<int>(random() % (3U * store->LeadsInCourse() + 4));
            for (int l = 0; l < leads; ++l) {
                const unsigned pick = random() % 10;
                calling += pick < 6 ? 'p' : pick < 9 ? 'b' : 's';
            }
            callings.push_back(calling);
        }
        for (const std::string& text : callings) {
            SCOPED_TRACE(text);
            const Result<std::vector<TouchLead>> calling = ParseCalling(text);
            ASSERT_TRUE(calling) << calling.error;
            const Reference::Proof expected = reference.Ring(*calling.value);
            ExpectSame(prover.Prove(*calling.value, methods), prover.Rows(), expected, c.bells);
            trueRound += expected.round && expected.falseCount == 0 ? 1 : 0;
            falseOnes += expected.falseCount > 0 ? 1 : 0;
            notRound += expected.round ? 0 : 1;
        }
    }
    EXPECT_GT(trueRound, 0);
    EXPECT_GT(falseOnes, 0);
    EXPECT_GT(notRound, 0);
}

// The plain course of every method of the bundled collection proves as the independent prover
// says, rung from the store's own changes.
TEST(Touch, EveryBundledPlainCourseProves)
{
    std::ifstream csv(TAMBREL_METHODS_CSV);
    ASSERT_TRUE(csv) << TAMBREL_METHODS_CSV;
    std::string line;
    std::getline(csv, line); // the header record
    TouchProver prover;
    int methods = 0;
    while (std::getline(csv, line)) {
        const std::size_t comma = line.find(',');
        const std::size_t open = line.find(",\"", line.find("\",") + 1);
        const int bells = std::stoi(line.substr(0, comma));
        const std::string notation = line.substr(open + 2, line.find('"', open + 2) - open - 2);
        auto store = test::Calculated(bells, notation);
        if (store->CourseTooLong()) {
            continue;
        }
        Reference reference{bells, {}};
        for (int i = 1; i <= store->LeadLength(); ++i) {
            reference.leads[0].push_back(store->GetChange(i));
        }
        const std::vector<TouchLead> calling(static_cast<std::size_t>(store->LeadsInCourse()));
        const TBellStore* pages[] = {store.get()};
        const Reference::Proof expected = reference.Ring(calling);
        const Result<TouchProof> proved = prover.Prove(calling, pages);
        SCOPED_TRACE(line);
        ExpectSame(proved, prover.Rows(), expected, bells);
        ++methods;
        if (::testing::Test::HasFailure()) {
            break;
        }
    }
    EXPECT_GT(methods, 20000);
}

// A touch typed by calling positions proves as the same touch typed lead by lead.
TEST(Touch, PositionsProveAsTheLeadByLeadCalling)
{
    TouchProver prover;
    for (const auto& [notation, positions, leads, result] : std::vector<std::array<std::string, 4>>{
             {"x18x18x18x18,12", "H H H", "(ppppppb)3", "336 changes, true, comes round."},
             {"-38-14-1258-36-14-58-16-78,12", "W H H*3", "(pppbppbppppppb)3",
              "False: row 580 repeats row 38. (12 rows repeat.)"}}) {
        auto store = test::Calculated(8, ExpandTypedNotation(notation), "M", &kCalls);
        store->Owner().BobType = "01";
        store->RecalcCalls();
        const TBellStore* pages[] = {store.get()};
        const Result<std::vector<LeadCall>> called = CallingFromPositions(*store, positions, 8);
        ASSERT_TRUE(called) << called.error;
        std::vector<TouchLead> byPosition;
        for (const LeadCall call : *called.value) {
            byPosition.push_back({0, call});
        }
        EXPECT_EQ(byPosition, *ParseCalling(leads).value) << positions;
        EXPECT_EQ(TouchSummary(*prover.Prove(byPosition, pages).value, 8), result);
    }
}

TEST(Touch, CallingsReadAndRefused)
{
    const auto leads = [](std::string_view text) {
        std::string written;
        const Result<std::vector<TouchLead>> calling = ParseCalling(text);
        for (const TouchLead& lead : *calling.value) {
            written += (lead.page > 0 ? std::to_string(lead.page) + ":" : "") +
                       "pbs"[static_cast<std::size_t>(lead.call)];
        }
        return written;
    };
    EXPECT_EQ(leads("p b -  s"), "pbbs");
    EXPECT_EQ(leads("(ppb)3 s"), "ppbppbppbs");
    EXPECT_EQ(leads("((pb)2s)2"), "pbpbspbpbs");
    EXPECT_EQ(leads("p 2:b 5:P * 2"), "p2:b5:pp2:b5:p");
    for (const auto& [text, problem] : std::vector<std::pair<std::string, std::string>>{
             {"pq", "\"q\" is not a call: use p, b (or -) and s."},
             {"(pb", "A group is not closed."},
             {"pb)", "A \")\" closes no group."},
             {"6:b", "A page number (1 to 5) must be followed by \":\" and a call letter."},
             {"2:", "A call letter is missing at the end."},
             {"pb*", "\"*\" must be followed by the number of parts, at the end."},
             {"pb*2p", "\"*\" must be followed by the number of parts, at the end."},
             {"(p)0", "A group's repeat must be 1 to 100000."},
             {"(pppp)30000*2", "The touch is longer than 100000 rows."},
             {"  ", "The calling has no leads."}}) {
        EXPECT_EQ(ParseCalling(text).error, problem) << text;
    }
}

TEST(Touch, SplicedLeadsRefusalsAndTheResultLine)
{
    auto plainBob = test::Calculated(8, ExpandTypedNotation("x18x18x18x18,12"), "PB", &kCalls);
    auto cambridge = test::Calculated(8, ExpandTypedNotation("-38-14-1258-36-14-58-16-78,12"),
                                      "CAMBRIDGE", &kCalls);
    auto noCalls = test::Calculated(8, ExpandTypedNotation("x18x18x18x18,12"), "BARE");
    const TBellStore* pages[] = {plainBob.get(), nullptr, cambridge.get(), noCalls.get()};
    TouchProver prover;
    // A lead of Cambridge, then Plain Bob to the end: the lead heads follow each method.
    const Result<TouchProof> spliced = prover.Prove(*ParseCalling("2:p p").value, pages);
    ASSERT_TRUE(spliced) << spliced.error;
    EXPECT_EQ(spliced.value->leads, 2);
    EXPECT_EQ(RowText(spliced.value->leadHeads[0], 8), "15738264");
    EXPECT_EQ(RowText(spliced.value->leadHeads[1], 8), "17856342");
    EXPECT_EQ(prover.Prove(*ParseCalling("1:p").value, pages).error,
              "There is no method of 8 bells on page 1.");
    EXPECT_EQ(prover.Prove(*ParseCalling("3:b").value, pages).error,
              "BARE has no bob in the calls library, so it cannot be called.");

    TouchProof proof;
    proof.changes = 5056;
    proof.comesRound = true;
    EXPECT_EQ(TouchSummary(proof, 8), "5056 changes, true, comes round.");
    proof.roundLead = 3;
    proof.callingLeads = 5;
    EXPECT_EQ(TouchSummary(proof, 8), "5056 changes, true, comes round at the end of lead 3 of 5.");
    proof.roundPartWay = true;
    proof.roundChange = 7;
    EXPECT_EQ(TouchSummary(proof, 8),
              "5056 changes, true, comes round part way through lead 3, at its change 7.");
    proof.comesRound = false;
    proof.changes = 640;
    proof.endRow = ParseRow("18765432");
    EXPECT_EQ(TouchSummary(proof, 8), "Does not come round: ends at 18765432 after 640 changes.");
    proof.isTrue = false;
    proof.falseRows = {{3071, 1187}};
    proof.falseCount = 1;
    EXPECT_EQ(TouchSummary(proof, 8), "False: row 3071 repeats row 1187.");
}

TEST(Touch, NamedRowsOfTheStage)
{
    const auto texts = [](int bells) {
        std::string written;
        for (const auto& [name, row] : NamedRows(bells)) {
            written += name + "=" + RowText(row, bells) + " ";
        }
        return written;
    };
    EXPECT_EQ(texts(8), "backrounds=87654321 queens=13572468 kings=75312468 tittums=15263748 "
                        "whittingtons=12753468 ");
    EXPECT_EQ(texts(7), "backrounds=7654321 queens=1357246 kings=7531246 tittums=1526374 ");
    EXPECT_EQ(texts(6), "backrounds=654321 queens=135246 kings=531246 tittums=142536 ");
    EXPECT_EQ(texts(10), "backrounds=0987654321 queens=1357924680 kings=9753124680 "
                         "tittums=1627384950 ");
    EXPECT_EQ(texts(5), "backrounds=54321 ");
}

} // namespace
} // namespace tambrel
