// Benchmarks of the find-similar search on Cambridge Surprise Major, each beside a baseline
// measured in the same run: the slow reference the tests check the search against (every
// subset of places tried at every depth, each variant rung as a whole lead and calculated by
// the method store), and ringing whole leads change by change, as a search that rang each
// possibility would have to.
#include "analysis/FindSimilar.h"
#include "engine/Bells.h"
#include "engine/PlaceNotation.h"
#include "engine/TBellStore.h"
#include "library/FindSimilar.h"
#include "library/TfrmDataMod.h"

#include "bench/BenchSupport.h"
#include "tests/support/FindReference.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tambrel {
namespace {

constexpr std::string_view kCambridgeMajor = "-38-14-1258-36-14-58-16-78 LH 12";

FindType TypeOf(const benchmark::State& state)
{
    return state.range(0) == 0 ? FindType::Above : FindType::Below;
}

void Label(benchmark::State& state, std::uint64_t possibilities, std::uint64_t stored)
{
    state.SetLabel(state.range(0) == 0 ? "above the treble" : "below the treble");
    state.counters["possibilities"] = static_cast<double>(possibilities);
    state.counters["stored"] = static_cast<double>(stored);
    state.counters["possibilities_per_s"] = benchmark::Counter(
        static_cast<double>(possibilities), benchmark::Counter::kIsIterationInvariantRate);
}

// Baseline: the slow reference, the same search written plainly.
void BM_FindReference(benchmark::State& state)
{
    test::Expected expected;
    for (auto _ : state) {
        expected = test::Reference(8, kCambridgeMajor, TypeOf(state), false, "ALL").Run();
        benchmark::DoNotOptimize(expected.possibilities);
    }
    Label(state, expected.possibilities, expected.stored.size());
}
BENCHMARK(BM_FindReference)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline: whole leads rung change by change, one a possibility.
void BM_RingWholeLeads(benchmark::State& state)
{
    ChangeList changes;
    const int length = SplitNotation(kCambridgeMajor, 8, changes);
    std::vector<Movement> moves;
    for (int i = 0; i < length; ++i) {
        moves.push_back(ChangeMovement(changes[static_cast<std::size_t>(i)], 8));
    }
    for (auto _ : state) {
        Row row = Rounds(8);
        for (const Movement& move : moves) {
            row = ApplyChange(row, move);
        }
        benchmark::DoNotOptimize(row);
    }
    state.counters["leads_per_s"] =
        benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RingWholeLeads);

// The enumeration alone: every possibility, the variants handed on and dropped.
void BM_FindEnumeration(benchmark::State& state)
{
    auto base = test::Method(8, kCambridgeMajor);
    SimilarMethods search(*base, {TypeOf(state), false, "ALL"});
    const std::atomic<bool> stop{false};
    std::uint64_t stored = 0;
    for (auto _ : state) {
        stored = 0;
        search.Run(stop, [&](std::string_view, std::string_view) { return ++stored > 0; });
    }
    Label(state, search.Possibilities(), stored);
}
BENCHMARK(BM_FindEnumeration)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole search as the dialog runs it: the main library (the bundled collection) read for
// its names, the find library emptied, filled and written.
void BM_FindSimilarMethods(benchmark::State& state)
{
    static const std::filesystem::path folder = bench::Scratch("find-library");
    static bool made = false;
    TfrmDataMod module(folder, TAMBREL_DATA_DIR);
    if (!made) {
        std::filesystem::remove_all(folder);
        if (!module.EnsureTables()) {
            state.SkipWithError("no library");
            return;
        }
        made = true;
    }
    auto base = test::Method(8, kCambridgeMajor);
    FindOutcome outcome;
    for (auto _ : state) {
        outcome = FindSimilarMethods(module, *base, {TypeOf(state), false, "ALL"}, {});
        if (!outcome.status) {
            state.SkipWithError(outcome.status.error.c_str());
            break;
        }
    }
    Label(state, outcome.counts.possibilities, outcome.counts.found);
    state.counters["named"] = static_cast<double>(outcome.counts.Existing());
}
BENCHMARK(BM_FindSimilarMethods)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace tambrel
