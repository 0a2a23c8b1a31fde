// The composition and inter-method sheets, computed and drawn, beside two baselines measured in
// the same run: the statistics sheet of the same method, and the bare false course head search
// of every lead that the sheets are built on.
#include "analysis/TBellComp.h"
#include "analysis/TBellFCH.h"
#include "analysis/TBellIntMeth.h"
#include "analysis/TBellRolls.h"
#include "analysis/TBellStats.h"
#include "display/CompSheet.h"
#include "display/TBellCard.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace tambrel {
namespace {

std::unique_ptr<TBellCard> Card(int bells, const std::string& name, const std::string& notation)
{
    auto card = std::make_unique<TBellCard>();
    card->Store().SetBells(bells);
    card->Store().SetName(name);
    card->Store().SetPlaceNotation(notation);
    card->Store().Calculate();
    card->Client = QSize(1200, 800);
    card->Screen = QSize(1920, 1080);
    return card;
}

const std::string kCambridgeMajor = "-38-14-1258-36-14-58-16-78LH12";
const std::string kYorkshireMajor = "-38-14-58-16-12-38-14-78LH12";
// Sixteen bells, 56 leads of 32 changes: a plain course of 1792 rows.
const std::string kLongSixteen = "x1Dx1Dx1Dx1Dx1Dx1Dx1Dx1Dx1Dx1Dx1Dx1Dx1Dx1Dx1Dx78CD";

std::unique_ptr<TBellCard> Method(benchmark::State& state)
{
    return state.range(0) == 16 ? Card(16, "LONG SIXTEEN", kLongSixteen)
                                : Card(8, "CAMBRIDGE SURPRISE MAJOR", kCambridgeMajor);
}

void BM_Sheet_Comp(benchmark::State& state)
{
    auto card = Method(state);
    TBellFCH fch;
    TBellRolls rolls;
    for (auto _ : state) {
        benchmark::DoNotOptimize(TBellComp::Calculate(card->Store(), FchDisplay{}, fch, rolls));
    }
    state.counters["rows"] = card->Store().RowCount();
}
BENCHMARK(BM_Sheet_Comp)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond);

// Computed and drawn on the page picture, as the main window shows it.
void BM_Sheet_CompShown(benchmark::State& state)
{
    auto card = Method(state);
    TBellFCH fch;
    TBellRolls rolls;
    for (auto _ : state) {
        CompSheet sheet(card->Store(), card->PageOptions, fch, rolls); // nothing kept from before
        sheet.Compute();
        PictureSurface surface(card->Picture(), card->Client, card->Screen);
        sheet.Render(surface);
        benchmark::DoNotOptimize(card->Picture().Bitmap().constBits());
    }
    state.counters["height"] = card->Picture().Size().height();
}
BENCHMARK(BM_Sheet_CompShown)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond);

// Cambridge against Yorkshire on 8; the long sixteen against itself.
void BM_Sheet_IntMeth(benchmark::State& state)
{
    auto card = Method(state);
    auto second =
        state.range(0) == 16 ? nullptr : Card(8, "YORKSHIRE SURPRISE MAJOR", kYorkshireMajor);
    const TBellStore& b = second ? second->Store() : card->Store();
    TBellFCH fch;
    for (auto _ : state) {
        benchmark::DoNotOptimize(TBellIntMeth::Calculate(card->Store(), b, FchDisplay{}, fch));
    }
}
BENCHMARK(BM_Sheet_IntMeth)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond);

void BM_Baseline_StatsSheet(benchmark::State& state)
{
    auto card = Method(state);
    TBellFCH fch;
    TBellRolls rolls;
    TBellStats stats;
    for (auto _ : state) {
        stats.Calculate(card->Store(), fch, rolls);
        benchmark::DoNotOptimize(stats.Lines());
    }
}
BENCHMARK(BM_Baseline_StatsSheet)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond);

// The bare searches the sheets are made of: every lead against the course, unlabelled.
void BM_Baseline_FchEveryLead(benchmark::State& state)
{
    auto card = Method(state);
    const TBellStore& store = card->Store();
    TBellFCH fch;
    for (auto _ : state) {
        for (int lead = 1; lead <= store.LeadsInCourse(); ++lead) {
            fch.Search(store, store, lead, false, false);
            benchmark::DoNotOptimize(fch.Count(TBellFCH::List::InCourse));
        }
    }
    state.counters["leads"] = store.LeadsInCourse();
}
BENCHMARK(BM_Baseline_FchEveryLead)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tambrel
