// Benchmarks of the method engine and the command-line batch. Each group has a baseline measured
// in the same run, so figures can be read as ratios whatever the machine.
#include "app/cli/MethodFacts.h"
#include "engine/Bells.h"
#include "engine/CCNotation.h"
#include "engine/TBellStore.h"
#include "library/CallsData.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace tambrel {
namespace {

std::string Repeat(std::string_view part, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += part;
    }
    return out;
}

// The bundled calls, so that a calculation builds the bob and single leads too.
const CallsLibrary& BundledCalls()
{
    static const CallsLibrary calls = [] {
        std::string error;
        return ReadCallsFile(TAMBREL_CALLS_CSV, error).value_or(CallsLibrary{});
    }();
    return calls;
}

void CalculateMethod(benchmark::State& state, int bells, const std::string& notation)
{
    auto store = std::make_unique<TBellStore>();
    store->SetCallsLibrary(&BundledCalls());
    store->SetBells(bells);
    store->SetName("BENCHMARK");
    store->SetPlaceNotation(notation);
    for (auto _ : state) {
        store->Calculate();
        benchmark::DoNotOptimize(store->RowCount());
    }
    state.counters["rows"] = store->RowCount();
    state.counters["ns_per_row"] = benchmark::Counter(
        static_cast<double>(store->RowCount()),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Calculate_PlainBobMinor(benchmark::State& state)
{
    CalculateMethod(state, 6, "x16x16x16x16x16x12");
}
BENCHMARK(BM_Calculate_PlainBobMinor);

void BM_Calculate_CambridgeSurpriseMajor(benchmark::State& state)
{
    CalculateMethod(state, 8, *ExpandCCNotation("-38-14-1258-36-14-58-16-78,12").value);
}
BENCHMARK(BM_Calculate_CambridgeSurpriseMajor);

// 100 changes a lead on sixteen bells whose course would need 30 leads: cut at 2000 rows.
void BM_Calculate_SixteenCutAt2000(benchmark::State& state)
{
    CalculateMethod(state, 16, Repeat("x1D", 49) + "x1T");
}
BENCHMARK(BM_Calculate_SixteenCutAt2000);

// Baseline: the same 2000 rows of sixteen bells rung the plain way, a text row per row and each
// change applied through its movements.
void BM_Baseline_SixteenTextRows(benchmark::State& state)
{
    const Movement cross = ChangeMovement("", 16);
    const Movement hunt = ChangeMovement("1D", 16);
    std::vector<std::string> rows(2001);
    for (auto _ : state) {
        rows[0] = RoundsText(16);
        for (std::size_t r = 1; r <= 2000; ++r) {
            const Movement& m = r % 2 == 1 ? cross : hunt;
            std::string& next = rows[r];
            next.resize(16);
            for (std::size_t p = 0; p < 16; ++p) {
                next[p] = rows[r - 1][static_cast<std::size_t>(static_cast<int>(p) + m[p])];
            }
        }
        benchmark::DoNotOptimize(rows.back().data());
    }
}
BENCHMARK(BM_Baseline_SixteenTextRows);

// Baseline: copying 2000 rows of 16 bytes, the least any course of that size can cost.
void BM_Baseline_CopyRows(benchmark::State& state)
{
    std::vector<Row> rows(2001);
    rows[0] = Rounds(16);
    for (auto _ : state) {
        for (std::size_t r = 1; r <= 2000; ++r) {
            std::memcpy(rows[r].data(), rows[r - 1].data(), 16);
        }
        benchmark::DoNotOptimize(rows.back().data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Baseline_CopyRows);

std::string ReadLibrary()
{
    std::ifstream file(TAMBREL_METHODS_CSV, std::ios::binary);
    std::stringstream buffer;
    buffer << file.rdbuf();
    return buffer.str();
}

class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// The whole bundled library through the batch command, JSON included.
void BM_Batch_Library(benchmark::State& state)
{
    const std::string library = ReadLibrary();
    NullBuffer sink;
    std::ostream out(&sink);
    std::size_t methods = 0;
    for (auto _ : state) {
        std::istringstream in(library);
        methods = RunBatch(in, out, &BundledCalls()).methods;
    }
    state.counters["methods"] = static_cast<double>(methods);
    state.counters["methods_per_s"] = benchmark::Counter(
        static_cast<double>(methods), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Batch_Library)->Unit(benchmark::kMillisecond);

// The same without the Central Council's class, symmetry and title suffix: the baseline that
// shows what the classification adds to BM_Batch_Library.
void BM_BatchWithoutClass_Library(benchmark::State& state)
{
    const std::string library = ReadLibrary();
    NullBuffer sink;
    std::ostream out(&sink);
    std::size_t methods = 0;
    for (auto _ : state) {
        std::istringstream in(library);
        methods = RunBatch(in, out, &BundledCalls(), false, false).methods;
    }
    state.counters["methods"] = static_cast<double>(methods);
}
BENCHMARK(BM_BatchWithoutClass_Library)->Unit(benchmark::kMillisecond);

// The same with the statistics of every method (batch --stats): the false course head search
// of every lead dominates. Read against BM_Batch_Library and the line-reading baseline.
void BM_BatchStats_Library(benchmark::State& state)
{
    const std::string library = ReadLibrary();
    NullBuffer sink;
    std::ostream out(&sink);
    std::size_t methods = 0;
    for (auto _ : state) {
        std::istringstream in(library);
        methods = RunBatch(in, out, &BundledCalls(), true).methods;
    }
    state.counters["methods"] = static_cast<double>(methods);
    state.counters["methods_per_s"] = benchmark::Counter(
        static_cast<double>(methods), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_BatchStats_Library)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

// Baseline: reading the same file line by line and splitting each line, nothing more.
void BM_Baseline_ReadLibraryLines(benchmark::State& state)
{
    const std::string library = ReadLibrary();
    for (auto _ : state) {
        std::istringstream in(library);
        std::size_t bytes = 0;
        for (std::string line; std::getline(in, line);) {
            bytes += line.size();
        }
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_Baseline_ReadLibraryLines)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tambrel
