// Drawing the diagram onto the page picture, beside a baseline in the same run: filling a
// picture of the same final size with white.
#include "display/TBellCard.h"
#include "tests/support/TestSupport.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace tambrel {
namespace {

std::unique_ptr<TBellCard> Card(int bells, const std::string& notation)
{
    auto card = std::make_unique<TBellCard>();
    card->Store().SetBells(bells);
    card->Store().SetName("Benchmark");
    card->Store().SetPlaceNotation(notation);
    card->Store().Calculate();
    card->Client = QSize(1200, 800);
    card->Screen = QSize(1920, 1080);
    return card;
}

void Render(benchmark::State& state, TBellCard& card)
{
    for (auto _ : state) {
        card.Show(PageView::Diagram);
        benchmark::DoNotOptimize(card.Picture().Bitmap().constBits());
    }
    state.counters["rows"] = card.Store().RowCount();
    state.counters["width"] = card.Picture().Size().width();
    state.counters["height"] = card.Picture().Size().height();
}

void BM_Render_PlainBobMinor(benchmark::State& state)
{
    auto card = Card(6, "x16x16x16x16x16x12");
    Render(state, *card);
}
BENCHMARK(BM_Render_PlainBobMinor)->Unit(benchmark::kMillisecond);

// Sixteen bells, 100 changes a lead, the course cut at 2000 rows.
void BM_Render_SixteenCutAt2000(benchmark::State& state)
{
    auto card = Card(16, test::Repeat("x1D", 49) + "x1T");
    Render(state, *card);
}
BENCHMARK(BM_Render_SixteenCutAt2000)->Unit(benchmark::kMillisecond);

void BM_Baseline_WhitePicture(benchmark::State& state)
{
    auto card = Card(16, test::Repeat("x1D", 49) + "x1T");
    card->Show(PageView::Diagram);
    QImage picture(card->Picture().Bitmap().size(), QImage::Format_RGB32);
    for (auto _ : state) {
        picture.fill(Qt::white);
        benchmark::DoNotOptimize(picture.constBits());
    }
}
BENCHMARK(BM_Baseline_WhitePicture)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tambrel
