// How the costly steps grow with the stage: Cambridge Surprise from Minor to Sixteen, whose
// plain course grows from 120 to 960 rows, each step timed on every stage in the same run so
// that the figures read as ratios to the Minor.
#include "analysis/TBellComp.h"
#include "analysis/TBellFCH.h"
#include "analysis/TBellRolls.h"
#include "analysis/TBellStats.h"
#include "display/TBellCard.h"

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>

namespace tambrel {
namespace {

const std::map<int, std::string> kCambridge = {
    {6, "-3-4-2-3-4-5 LH2"},
    {8, "-3-4-25-36-4-5-6-7 LH2"},
    {10, "-3-4-25-36-47-58-6-7-8-9 LH2"},
    {12, "-3-4-25-36-47-58-69-70-8-9-0-E LH2"},
    {14, "-3-4-25-36-47-58-69-70-8E-9T-0-E-T-A LH2"},
    {16, "-3-4-25-36-47-58-69-70-8E-9T-0A-EB-T-A-B-C LH2"},
};

std::unique_ptr<TBellCard> Cambridge(const benchmark::State& state)
{
    const int bells = static_cast<int>(state.range(0));
    auto card = std::make_unique<TBellCard>();
    card->Store().SetBells(bells);
    card->Store().SetName("CAMBRIDGE SURPRISE");
    card->Store().SetPlaceNotation(kCambridge.at(bells));
    card->Store().Calculate();
    card->Client = QSize(1200, 800);
    card->Screen = QSize(1920, 1080);
    return card;
}

void Rows(benchmark::State& state, const TBellCard& card)
{
    state.counters["rows"] = card.Store().RowCount();
}

void BM_Scaling_Calculate(benchmark::State& state)
{
    auto card = Cambridge(state);
    for (auto _ : state) {
        card->Store().Calculate();
        benchmark::DoNotOptimize(card->Store().RowCount());
    }
    Rows(state, *card);
}

// The search of every lead against the course, as the statistics sheet runs it.
void BM_Scaling_FchEveryLead(benchmark::State& state)
{
    auto card = Cambridge(state);
    TBellFCH fch;
    for (auto _ : state) {
        for (int lead = 1; lead <= card->Store().LeadsInCourse(); ++lead) {
            fch.Search(card->Store(), card->Store(), lead, false, false);
        }
        benchmark::DoNotOptimize(fch.Count(TBellFCH::List::InCourse));
    }
    Rows(state, *card);
}

void BM_Scaling_Statistics(benchmark::State& state)
{
    auto card = Cambridge(state);
    TBellFCH fch;
    TBellRolls rolls;
    TBellStats stats;
    for (auto _ : state) {
        stats.Calculate(card->Store(), fch, rolls);
        benchmark::DoNotOptimize(stats.Lines());
    }
    Rows(state, *card);
}

void BM_Scaling_CompositionSheet(benchmark::State& state)
{
    auto card = Cambridge(state);
    TBellFCH fch;
    TBellRolls rolls;
    for (auto _ : state) {
        benchmark::DoNotOptimize(TBellComp::Calculate(card->Store(), FchDisplay{}, fch, rolls));
    }
    Rows(state, *card);
}

void BM_Scaling_DrawDiagram(benchmark::State& state)
{
    auto card = Cambridge(state);
    for (auto _ : state) {
        card->Show(PageView::Diagram);
        benchmark::DoNotOptimize(card->Picture().Bitmap().constBits());
    }
    Rows(state, *card);
}

#define TAMBREL_STAGES DenseRange(6, 16, 2)->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_Scaling_Calculate)->TAMBREL_STAGES;
BENCHMARK(BM_Scaling_FchEveryLead)->TAMBREL_STAGES;
BENCHMARK(BM_Scaling_Statistics)->TAMBREL_STAGES;
BENCHMARK(BM_Scaling_CompositionSheet)->TAMBREL_STAGES;
BENCHMARK(BM_Scaling_DrawDiagram)->TAMBREL_STAGES;

} // namespace
} // namespace tambrel
