// Benchmarks of the false course head search, each beside the plain search (every row of the
// lead against every row of the course) measured in the same run as its baseline.
#include "analysis/TBellFCH.h"
#include "engine/CCNotation.h"
#include "engine/TBellStore.h"

#include "tests/support/ReferenceFCH.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace tambrel {
namespace {

std::unique_ptr<TBellStore> Calculated(int bells, const std::string& notation)
{
    auto store = std::make_unique<TBellStore>();
    store->SetBells(bells);
    store->SetName("BENCHMARK");
    store->SetPlaceNotation(notation);
    store->Calculate();
    return store;
}

const TBellStore& Cambridge()
{
    static const auto store = Calculated(8, "-38-14-1258-36-14-58-16-78LH12");
    return *store;
}

// 100 changes a lead on sixteen bells, cut at 2000 rows.
const TBellStore& LongSixteen()
{
    static const auto store = [] {
        std::string notation;
        for (int i = 0; i < 49; ++i) {
            notation += "-1D";
        }
        return Calculated(16, notation + "-1T");
    }();
    return *store;
}

// 100 changes a lead on ten bells whose lead head needs more than 20 leads: cut at 2000 rows.
const TBellStore& LongTen()
{
    static const auto store =
        Calculated(10, "--14--90-56.10.12.90--1270.10-12.16-3450.10-3670.90-90.90.78.70.30.1230."
                       "38.14.3470.30.5690.70-16.78.36--50-1256-10.58.38 LH5");
    return *store;
}

// What the statistics sheet does for its FCH groups: every lead against the plain course.
void BM_FCH_CambridgeGroups(benchmark::State& state)
{
    const TBellStore& method = Cambridge();
    TBellFCH fch;
    for (auto _ : state) {
        for (int lead = 1; lead <= method.LeadsInCourse(); ++lead) {
            fch.Search(method, method, lead, false, false);
            benchmark::DoNotOptimize(fch.Count(TBellFCH::List::InCourse));
        }
    }
    state.counters["leads"] = method.LeadsInCourse();
}
BENCHMARK(BM_FCH_CambridgeGroups)->Unit(benchmark::kMicrosecond);

void BM_Baseline_FCH_CambridgeGroupsPlain(benchmark::State& state)
{
    const TBellStore& method = Cambridge();
    for (auto _ : state) {
        for (int lead = 1; lead <= method.LeadsInCourse(); ++lead) {
            benchmark::DoNotOptimize(test::ReferenceSearch(method, method, lead, false, false));
        }
    }
}
BENCHMARK(BM_Baseline_FCH_CambridgeGroupsPlain)->Unit(benchmark::kMicrosecond);

// One lead of 100 changes against a course of 2000 rows, labelled as the composition sheet has
// it; the argument is the number of bells.
const TBellStore& LongCourse(benchmark::State& state)
{
    return state.range(0) == 16 ? LongSixteen() : LongTen();
}

void BM_FCH_LongLead(benchmark::State& state)
{
    const TBellStore& method = LongCourse(state);
    TBellFCH fch;
    for (auto _ : state) {
        fch.Search(method, method, 1, true, false);
        benchmark::DoNotOptimize(fch.Count(TBellFCH::List::InCourse));
    }
    state.counters["rows"] = method.RowCount();
}
BENCHMARK(BM_FCH_LongLead)->Arg(10)->Arg(16)->Unit(benchmark::kMicrosecond);

void BM_Baseline_FCH_LongLeadPlain(benchmark::State& state)
{
    const TBellStore& method = LongCourse(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(test::ReferenceSearch(method, method, 1, true, false));
    }
}
BENCHMARK(BM_Baseline_FCH_LongLeadPlain)->Arg(10)->Arg(16)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tambrel
