// Proving a touch beside building its rows alone: the same changes multiplied through in the
// same run, with no truth table and no music, is the baseline.
#include "analysis/Touch.h"
#include "engine/CCNotation.h"
#include "engine/TBellStore.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace tambrel {
namespace {

const CallsLibrary& Calls()
{
    static const CallsLibrary calls = [] {
        CallsLibrary made;
        made.Add(7, "05", "Grandsire Bob", "3.1", "");
        made.Add(7, "06", "Grandsire Single", "3.123", "");
        made.Add(8, "01", "Bob", "14", "");
        made.Add(8, "02", "Single", "1234", "");
        return made;
    }();
    return calls;
}

struct Touch {
    std::unique_ptr<TBellStore> store = std::make_unique<TBellStore>();
    std::vector<TouchLead> calling;
    std::vector<Row> changes; // row r+1 = row r * changes[r]
    int bells = 0;
};

// A random calling of `leads` leads that rounds does not cut short, and its changes.
const Touch& MakeTouch(int bells, const std::string& notation, const char* bob, const char* single,
                       int leads)
{
    auto* touch = new Touch; // kept for the whole run
    touch->bells = bells;
    TBellStore& store = *touch->store;
    store.SetCallsLibrary(&Calls());
    store.SetBells(bells);
    store.SetName("BENCHMARK");
    store.SetPlaceNotation(ExpandTypedNotation(notation));
    store.Calculate();
    store.Owner().BobType = bob;
    store.Owner().SingleType = single;
    store.RecalcCalls();
    const TBellStore* pages[] = {&store};
    TouchProver prover;
    std::mt19937 random(1);
    for (;;) {
        touch->calling.clear();
        for (int l = 0; l < leads; ++l) {
            const unsigned pick = random() % 10;
            touch->calling.push_back({0, pick < 6   ? LeadCall::Plain
                                         : pick < 9 ? LeadCall::Bob
                                                    : LeadCall::Single});
        }
        const Result<TouchProof> proof = prover.Prove(touch->calling, pages);
        if (proof && !proof.value->comesRound) {
            break;
        }
    }
    const std::vector<Row>& rows = prover.Rows();
    for (std::size_t r = 0; r + 1 < rows.size(); ++r) {
        touch->changes.push_back(rows[r].Inverse() * rows[r + 1]);
    }
    return *touch;
}

const Touch& Grandsire5040()
{
    static const Touch& touch = MakeTouch(7, "3,1.7.1.7.1.7.1", "05", "06", 360);
    return touch;
}

const Touch& PlainBob40320()
{
    static const Touch& touch = MakeTouch(8, "x18x18x18x18,12", "01", "02", 2520);
    return touch;
}

void BM_Baseline_BuildRows(benchmark::State& state, const Touch& (*make)())
{
    const Touch& touch = make();
    std::vector<Row> rows;
    rows.reserve(touch.changes.size() + 1);
    for (auto _ : state) {
        rows.clear();
        rows.push_back(Rounds(touch.bells));
        for (const Row& change : touch.changes) {
            rows.push_back(rows.back() * change);
        }
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["rows"] = static_cast<double>(touch.changes.size());
}
BENCHMARK_CAPTURE(BM_Baseline_BuildRows, Grandsire5040, Grandsire5040)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Baseline_BuildRows, PlainBob40320, PlainBob40320)
    ->Unit(benchmark::kMicrosecond);

void BM_ProveTouch(benchmark::State& state, const Touch& (*make)())
{
    const Touch& touch = make();
    const TBellStore* pages[] = {touch.store.get()};
    TouchProver prover;
    int changes = 0;
    for (auto _ : state) {
        const Result<TouchProof> proof = prover.Prove(touch.calling, pages);
        changes = proof.value->changes;
        benchmark::DoNotOptimize(changes);
    }
    state.counters["rows"] = changes;
}
BENCHMARK_CAPTURE(BM_ProveTouch, Grandsire5040, Grandsire5040)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ProveTouch, PlainBob40320, PlainBob40320)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tambrel
