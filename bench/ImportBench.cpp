// Benchmarks of the methods import on the whole bundled collection, beside a baseline measured in
// the same run: checking and tidying every notation of the file, the work no import can skip.
// The record-at-a-time benchmark writes the table after every record, as an import without a
// bulk update would; its time per record, times the collection, is what such an import costs.
#include "engine/PlaceNotation.h"
#include "engine/TBellStore.h"
#include "engine/TextFunctions.h"
#include "library/Import.h"
#include "library/TfrmDataMod.h"
#include "tables/Delimited.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace tambrel {
namespace {

std::filesystem::path Scratch(const std::string& name)
{
    return bench::Scratch("import-" + name);
}

// A library folder whose main library holds its header alone.
std::unique_ptr<TfrmDataMod> EmptyLibrary(const std::filesystem::path& folder)
{
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "data");
    std::ofstream(folder / "data" / "Methods.csv") << "0,TB_Method_Library,\"Empty\",\n";
    std::filesystem::copy_file(TAMBREL_CALLS_CSV, folder / "data" / "Calls.csv");
    auto module = std::make_unique<TfrmDataMod>(folder / "Library", folder / "data");
    module->EnsureTables();
    return module;
}

// Reads the bundled collection and imports it whole; false when anything was refused.
bool ImportBundled(TfrmDataMod& module, ImportMode mode)
{
    MethodsImport import(module);
    const bool done = import.Open() && import.ReadFile(TAMBREL_METHODS_CSV) &&
                      import.Run(mode, false, ImportFeedback{});
    return import.Close() && done;
}

void BM_ImportBundledIntoEmptyLibrary(benchmark::State& state)
{
    const std::filesystem::path folder = Scratch("replace");
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<TfrmDataMod> module = EmptyLibrary(folder);
        state.ResumeTiming();
        if (!ImportBundled(*module, ImportMode::Replace)) {
            state.SkipWithError("the import was refused");
            break;
        }
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ImportBundledIntoEmptyLibrary)->Unit(benchmark::kMillisecond)->UseRealTime();

// The second import of the same file: every method looked up, none added.
void BM_ImportBundledAgain(benchmark::State& state)
{
    const std::filesystem::path folder = Scratch("again");
    std::unique_ptr<TfrmDataMod> module = EmptyLibrary(folder);
    ImportBundled(*module, ImportMode::Replace);
    for (auto _ : state) {
        if (!ImportBundled(*module, ImportMode::Import)) {
            state.SkipWithError("the import was refused");
            break;
        }
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ImportBundledAgain)->Unit(benchmark::kMillisecond)->UseRealTime();

struct Method {
    int bells = 0;
    std::string name;
    std::string notation;
};

const std::vector<Method>& BundledMethods()
{
    static const std::vector<Method> methods = [] {
        std::vector<Method> all;
        std::ifstream in(TAMBREL_METHODS_CSV);
        for (std::string line; std::getline(in, line);) {
            const std::vector<std::string> values = SplitDelimitedLine(line);
            Method m;
            if (values.size() == 4 &&
                std::from_chars(values[0].data(), values[0].data() + values[0].size(), m.bells)
                        .ec == std::errc{} &&
                m.bells >= 4) {
                m.name = values[1];
                m.notation = values[2];
                all.push_back(std::move(m));
            }
        }
        return all;
    }();
    return methods;
}

// Baseline: the notation check and tidy form of every method, without any table.
void BM_Baseline_TidyEveryNotation(benchmark::State& state)
{
    auto store = std::make_unique<TBellStore>();
    for (auto _ : state) {
        for (const Method& m : BundledMethods()) {
            if (CheckPlaceNotation(m.notation, m.bells).empty()) {
                store->SetBells(m.bells);
                store->SetPlaceNotation(m.notation);
                store->ParseAndTidy();
                benchmark::DoNotOptimize(store->TidyNotation().data());
            }
        }
    }
}
BENCHMARK(BM_Baseline_TidyEveryNotation)->Unit(benchmark::kMillisecond);

// A record at a time into the bundled library, each written at once: table and index files
// anew for every record. Counter "collection_s": seconds for the whole collection at this pace.
void BM_NaiveRecordAtATime(benchmark::State& state)
{
    const std::filesystem::path folder = Scratch("naive");
    std::unique_ptr<TfrmDataMod> module = EmptyLibrary(folder);
    ImportBundled(*module, ImportMode::Replace);
    const auto records = static_cast<std::size_t>(state.range(0));
    std::size_t added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        module->OpenTables("MAIN");
        TDbf& main = module->dbfMethods;
        state.ResumeTiming();
        for (std::size_t i = 0; i < records; ++i) {
            main.ClearRecord();
            main.Replace("bells", "8");
            main.Replace("name", "NAIVE " + std::to_string(added++));
            main.Replace("places", "-1-1-1-1 LH2");
            main.Replace("group", "A");
            main.AppendRec(); // no bulk update: written here
        }
        state.PauseTiming();
        module->CloseTables();
        state.ResumeTiming();
    }
    state.counters["collection_s"] = benchmark::Counter(
        static_cast<double>(records) / static_cast<double>(BundledMethods().size()),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_NaiveRecordAtATime)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace tambrel
