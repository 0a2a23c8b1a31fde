// Converting the Central Council's collection: the bundled library written in the Council's XML
// schema (about the real file's size), beside baselines measured in the same run: reading the
// file's bytes, and the same methods given as CSV. The memory benchmark converts the file and
// four copies of it in a child process each and reports how far the child's resident memory
// rose: a streaming reader rises the same for both.
#include "library/CollectionConvert.h"
#include "tables/FileIo.h"
#include "tests/support/CollectionXml.h"

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <streambuf>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace tambrel {
namespace {

using bench::Scratch;

// Removes the files written for the benchmarks when the program ends.
struct ScratchFiles {
    std::map<int, std::filesystem::path> xml; // by copies of the collection
    std::filesystem::path csv;
    ~ScratchFiles()
    {
        for (const auto& [copies, path] : xml) {
            std::filesystem::remove(path);
        }
        if (!csv.empty()) {
            std::filesystem::remove(csv);
        }
    }
};

ScratchFiles& Files()
{
    static ScratchFiles files;
    return files;
}

const std::vector<test::LibraryMethod>& Methods()
{
    static const std::vector<test::LibraryMethod> methods =
        test::ReadLibraryMethods(TAMBREL_METHODS_CSV);
    return methods;
}

const std::filesystem::path& CollectionXml(int copies)
{
    std::filesystem::path& path = Files().xml[copies];
    if (path.empty()) {
        path = Scratch("collection-" + std::to_string(copies) + ".xml");
        std::ofstream out(path, std::ios::binary);
        test::WriteCollectionXml(out, Methods(), "2026-06-08", copies);
    }
    return path;
}

// The same methods as the Council's CSV, each lead written out as in the XML.
const std::filesystem::path& CollectionCsv()
{
    std::filesystem::path& path = Files().csv;
    if (path.empty()) {
        path = Scratch("collection.csv");
        std::ofstream out(path, std::ios::binary);
        out << "stage,title,notation\n";
        auto store = std::make_unique<TBellStore>();
        for (const test::LibraryMethod& method : Methods()) {
            store->SetBells(method.bells);
            store->SetName(method.name);
            store->SetPlaceNotation(method.places);
            store->Calculate();
            out << method.bells << ',' << QuoteDelimitedValue(method.name) << ','
                << QuoteDelimitedValue(test::WrittenLead(*store)) << '\n';
        }
    }
    return path;
}

// Counts what is written and keeps none of it.
class CountingBuffer : public std::streambuf {
public:
    std::size_t bytes = 0;

protected:
    int_type overflow(int_type c) override
    {
        ++bytes;
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* /*text*/, std::streamsize count) override
    {
        bytes += static_cast<std::size_t>(count);
        return count;
    }
};

void Convert(benchmark::State& state, const std::filesystem::path& path)
{
    std::size_t written = 0;
    for (auto _ : state) {
        CountingBuffer buffer;
        std::ostream out(&buffer);
        const Result<ConvertCounts> counts = ConvertCollectionFile(path, out);
        if (!counts) {
            state.SkipWithError(counts.error.c_str());
            return;
        }
        written = counts.value->written;
        benchmark::DoNotOptimize(buffer.bytes);
    }
    state.counters["methods"] = static_cast<double>(written);
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

void BM_Baseline_ReadCollectionXmlBytes(benchmark::State& state)
{
    const std::filesystem::path& path = CollectionXml(1);
    std::string bytes;
    for (auto _ : state) {
        ReadRegularFile(path, bytes, kMaxCollectionBytes);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_Baseline_ReadCollectionXmlBytes)->Unit(benchmark::kMillisecond);

void BM_ConvertCollectionXml(benchmark::State& state)
{
    Convert(state, CollectionXml(1));
}
BENCHMARK(BM_ConvertCollectionXml)->Unit(benchmark::kMillisecond);

void BM_Baseline_ConvertCollectionCsv(benchmark::State& state)
{
    Convert(state, CollectionCsv());
}
BENCHMARK(BM_Baseline_ConvertCollectionCsv)->Unit(benchmark::kMillisecond);

// Resident memory of this process in kB: now (VmRSS) or at its highest (VmHWM).
long StatusKilobytes(const std::string& key)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(key + ":")) {
            return std::stol(line.substr(key.size() + 1));
        }
    }
    return -1;
}

// The rise of resident memory while a child converts the collection written `copies` times.
void BM_ConvertCollectionXmlMemory(benchmark::State& state)
{
    const std::filesystem::path& path = CollectionXml(static_cast<int>(state.range(0)));
    long rise = 0;
    for (auto _ : state) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) {
            state.SkipWithError("no pipe");
            return;
        }
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipeFds[0]);
            const long before = StatusKilobytes("VmRSS");
            CountingBuffer buffer;
            std::ostream out(&buffer);
            const bool done = static_cast<bool>(ConvertCollectionFile(path, out));
            const long grown = done ? StatusKilobytes("VmHWM") - before : -1;
            [[maybe_unused]] const ssize_t sent = ::write(pipeFds[1], &grown, sizeof grown);
            ::_exit(0);
        }
        ::close(pipeFds[1]);
        if (::read(pipeFds[0], &rise, sizeof rise) != static_cast<ssize_t>(sizeof rise)) {
            rise = -1;
        }
        ::close(pipeFds[0]);
        ::waitpid(child, nullptr, 0);
    }
    state.counters["peak_rise_MB"] = static_cast<double>(rise) / 1024.0;
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}
BENCHMARK(BM_ConvertCollectionXmlMemory)
    ->Arg(1)
    ->Arg(4)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tambrel
