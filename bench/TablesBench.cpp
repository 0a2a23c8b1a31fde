// Benchmarks of the table engine on the bundled main library, beside baselines measured in the
// same run (reading the same files; sorting the same keys).
#include "engine/TextFunctions.h"
#include "library/TfrmDataMod.h"
#include "tables/FileIo.h"
#include "tables/TDbf.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace tambrel {
namespace {

using bench::Scratch;

// A library folder built once for the benchmarks that only read.
const std::filesystem::path& BuiltLibrary()
{
    static const std::filesystem::path folder = [] {
        const std::filesystem::path path = Scratch("library");
        std::filesystem::remove_all(path);
        TfrmDataMod module(path, TAMBREL_DATA_DIR);
        module.EnsureTables();
        return path;
    }();
    return folder;
}

void BM_BuildMainLibrary(benchmark::State& state)
{
    const std::filesystem::path folder = Scratch("build");
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        state.ResumeTiming();
        TfrmDataMod module(folder, TAMBREL_DATA_DIR);
        benchmark::DoNotOptimize(module.EnsureTables());
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_BuildMainLibrary)->Unit(benchmark::kMillisecond);

void BM_OpenMainLibrary(benchmark::State& state)
{
    TDbf table(kMethodTags);
    table.SetDbfFileName(BuiltLibrary() / "Methods.dbf");
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.Open());
        state.PauseTiming();
        table.Close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenMainLibrary)->Unit(benchmark::kMillisecond);

// Baseline: reading the table and index files into memory, nothing more.
void BM_Baseline_ReadLibraryFiles(benchmark::State& state)
{
    std::string dbf;
    std::string mdx;
    for (auto _ : state) {
        ReadRegularFile(BuiltLibrary() / "Methods.dbf", dbf, kMaxTableBytes);
        ReadRegularFile(BuiltLibrary() / "Methods.mdx", mdx, kMaxIndexBytes);
        benchmark::DoNotOptimize(dbf.data());
        benchmark::DoNotOptimize(mdx.data());
    }
}
BENCHMARK(BM_Baseline_ReadLibraryFiles)->Unit(benchmark::kMillisecond);

std::vector<std::string> SampleKeys(TDbf& table, std::size_t count)
{
    std::vector<std::string> keys;
    table.SetOrderToTag("");
    for (table.GoTop(); !table.Eof(); table.Skip()) {
        keys.push_back(table.FieldText("bells") + Trim(table.FieldText("name")));
    }
    std::mt19937 random(42);
    std::shuffle(keys.begin(), keys.end(), random);
    keys.resize(std::min(count, keys.size()));
    return keys;
}

void BM_FindExact(benchmark::State& state)
{
    TDbf table(kMethodTags);
    table.SetDbfFileName(BuiltLibrary() / "Methods.dbf");
    table.Open();
    const std::vector<std::string> keys = SampleKeys(table, 1000);
    table.SetOrderToTag("NAME");
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.FindExact(keys[i++ % keys.size()]));
    }
}
BENCHMARK(BM_FindExact);

void BM_FindNear(benchmark::State& state)
{
    TDbf table(kMethodTags);
    table.SetDbfFileName(BuiltLibrary() / "Methods.dbf");
    table.Open();
    std::vector<std::string> keys = SampleKeys(table, 1000);
    for (std::string& key : keys) {
        key.resize(std::min<std::size_t>(key.size(), 6)); // a few letters typed
    }
    table.SetOrderToTag("NAME");
    std::size_t i = 0;
    for (auto _ : state) {
        table.FindNear(keys[i++ % keys.size()]);
        benchmark::DoNotOptimize(table.RecNo());
    }
}
BENCHMARK(BM_FindNear);

// Baseline: a binary search over the same number of sorted std::string keys.
void BM_Baseline_SortedStringSearch(benchmark::State& state)
{
    TDbf table(kMethodTags);
    table.SetDbfFileName(BuiltLibrary() / "Methods.dbf");
    table.Open();
    std::vector<std::string> all = SampleKeys(table, 1U << 20U);
    const std::vector<std::string> keys(all.begin(), all.begin() + 1000);
    std::sort(all.begin(), all.end());
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::lower_bound(all.begin(), all.end(), keys[i++ % keys.size()]));
    }
}
BENCHMARK(BM_Baseline_SortedStringSearch);

} // namespace
} // namespace tambrel
