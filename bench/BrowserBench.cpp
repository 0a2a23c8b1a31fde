// The open-method browser on the bundled main library: what one keystroke costs in the search
// box and in the name filter, and what the class list costs, beside a baseline of the same run
// that reads every name and matches nothing.
#include "library/MethodBrowser.h"
#include "library/NameFilter.h"
#include "library/TfrmDataMod.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace tambrel {
namespace {

// The bundled library, built once into a folder of its own and opened for reading in NAME
// order, unrestricted: every record of the library is in the range.
TfrmDataMod& Library()
{
    static const std::filesystem::path folder = [] {
        const std::filesystem::path path = bench::Scratch("browser");
        std::filesystem::remove_all(path);
        TfrmDataMod made(path, TAMBREL_DATA_DIR);
        made.EnsureTables();
        return path;
    }();
    static TfrmDataMod module(folder, TAMBREL_DATA_DIR);
    return module;
}

TDbf& WholeLibrary()
{
    TfrmDataMod& data = Library();
    data.OpenTables("MAIN", TableAccess::Read);
    data.dbfMethods.SetWhileTo("");
    data.dbfMethods.SetOrderToTag("NAME");
    return data.dbfMethods;
}

// Baseline: every name of the library read, nothing compared.
void BM_Baseline_ReadEveryName(benchmark::State& state)
{
    TDbf& methods = WholeLibrary();
    const auto [first, end] = methods.WhileRange();
    for (auto _ : state) {
        std::size_t letters = 0;
        for (std::size_t pos = first; pos < end; ++pos) {
            if (methods.LiveRecordAt(pos) != 0) {
                letters += methods.FieldTextAt(pos, "name").size();
            }
        }
        benchmark::DoNotOptimize(letters);
    }
    state.counters["names"] = static_cast<double>(end - first);
}
BENCHMARK(BM_Baseline_ReadEveryName)->Unit(benchmark::kMillisecond);

// The filter over the whole library, as each letter of a word is typed, and with two words.
void BM_NameFilterWholeLibrary(benchmark::State& state, const char* typed)
{
    TDbf& methods = WholeLibrary();
    const auto [first, end] = methods.WhileRange();
    const NameFilter filter(typed);
    std::size_t found = 0;
    for (auto _ : state) {
        found = FilterPositions(methods, first, end, filter).size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK_CAPTURE(BM_NameFilterWholeLibrary, Y, "Y")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NameFilterWholeLibrary, YORK, "YORK")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NameFilterWholeLibrary, SURPRISE_MAJOR, "SURPRISE MAJOR")
    ->Unit(benchmark::kMillisecond);

// One keystroke in the search box on 8 bells, the largest stage: the refresh that positions
// the list, then the list's live rows.
void BM_SearchKeystrokeMajor(benchmark::State& state)
{
    TfrmDataMod& data = Library();
    BrowserChoice choice;
    choice.findText = "CAMB";
    std::int64_t saved = kNoSavedRecNo;
    std::size_t rows = 0;
    for (auto _ : state) {
        const BrowserRange range = RefreshBrowser(data, choice, RefreshMode::NoSave, saved);
        rows = ListedPositions(data.dbfMethods, range, {}).size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_SearchKeystrokeMajor)->Unit(benchmark::kMillisecond);

// One keystroke over every stage ("All"): the refresh that finds each stage's span and
// positions, then the names filtered (or, with nothing typed, every live row).
void BM_AllStagesKeystroke(benchmark::State& state, const char* typed)
{
    TfrmDataMod& data = Library();
    BrowserChoice choice;
    choice.bells = kAllStages;
    const NameFilter filter(typed);
    std::int64_t saved = kNoSavedRecNo;
    std::size_t rows = 0;
    for (auto _ : state) {
        const BrowserRange range = RefreshBrowser(data, choice, RefreshMode::NoSave, saved);
        rows = ListedPositions(data.dbfMethods, range, filter).size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK_CAPTURE(BM_AllStagesKeystroke, none, "")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AllStagesKeystroke, BRISTOL, "BRISTOL")->Unit(benchmark::kMillisecond);

// The class list refilled for a stage (8 bells, the largest) or for every stage, as a change of
// stage or library does: the first time each record is classified, afterwards its places are
// read and compared with those it was classified from.
void BM_ClassListRefill(benchmark::State& state, int bells, bool firstLook)
{
    TfrmDataMod& data = Library();
    WholeLibrary();
    BrowserChoice choice;
    choice.bells = bells;
    ClassCache warm;
    ClassesPresent(data, choice, warm);
    const std::size_t warmedUp = warm.Classified();
    std::size_t classes = 0;
    std::size_t classified = 0; // in the last refill
    for (auto _ : state) {
        ClassCache fresh;
        ClassCache& cache = firstLook ? fresh : warm;
        classes = ClassesPresent(data, choice, cache).size();
        classified = cache.Classified() - (firstLook ? 0 : warmedUp);
        benchmark::DoNotOptimize(classes);
    }
    state.counters["classes"] = static_cast<double>(classes);
    state.counters["classified"] = static_cast<double>(classified);
}
BENCHMARK_CAPTURE(BM_ClassListRefill, Major, 8, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ClassListRefill, AllStages, kAllStages, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ClassListRefill, Major_FirstLook, 8, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ClassListRefill, AllStages_FirstLook, kAllStages, true)
    ->Unit(benchmark::kMillisecond);

// The list narrowed to a class, the range found beforehand, as choosing the class does: on 8
// bells Little Surprise (a small class), and over every stage Surprise with a name filter.
void BM_ClassListing(benchmark::State& state, int bells, const char* words, const char* typed)
{
    TfrmDataMod& data = Library();
    BrowserChoice choice;
    choice.bells = bells;
    ClassCache cache;
    for (const ClassCode code : ClassesPresent(data, choice, cache)) {
        if (ClassWordsOf(code) == words) {
            choice.methodClass = code;
        }
    }
    std::int64_t saved = kNoSavedRecNo;
    const BrowserRange range = RefreshBrowser(data, choice, RefreshMode::NoSave, saved);
    const NameFilter filter(typed);
    std::size_t rows = 0;
    for (auto _ : state) {
        rows = ListedPositions(data.dbfMethods, range, filter, choice, cache).size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK_CAPTURE(BM_ClassListing, Major_LittleSurprise, 8, "Little Surprise", "")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ClassListing, AllStages_Surprise_BRISTOL, kAllStages, "Surprise", "BRISTOL")
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tambrel
