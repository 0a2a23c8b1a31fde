// Converting the Central Council's collection: the bundled library written in the Council's XML
// schema (about the real file's size), beside baselines measured in the same run: reading the
// file's bytes, and the same methods given as CSV. The memory benchmark converts the file and
// four copies of it in a child process each and reports how far the child's resident memory
// rose: a streaming reader rises the same for both. Beside the collection, files shaped to cost
// the most for their size, most of them to the XML parser; each reports bytes a second, to be
// compared with the collection's.
#include "library/CollectionConvert.h"
#include "library/XmlInputGuard.h"
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
    std::map<int, std::filesystem::path> hostile;
    std::filesystem::path csv;
    ~ScratchFiles()
    {
        for (const auto& [copies, path] : xml) {
            std::filesystem::remove(path);
        }
        for (const auto& [shape, path] : hostile) {
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

enum class Hostile {
    ManyAttributes,       // the fuzzer's seed: 20,000 attributes on one element, refused
    AttributesAtTheLimit, // 20 MB of elements, each with as many attributes as may be in scope
    NamespacesInScope,    // as many namespaces declared as may be, then 20 MB of empty elements
    EmptyElements,        // the same elements without the namespaces
    LongLeads,            // 20 MB of 16-bell methods, each a lead of 98 changes in 51 bytes
    LongLeadsCsv,         // the same as the collection's CSV
    Comment,              // 4 MB of ">" in each
    Instruction,
    CData,
    AttributeValue
};

// ` a0="0" a1="1" ...`, or with another name and value before the numbers.
std::string Attributes(int count, std::string_view name = "a", std::string_view value = "")
{
    std::string attributes;
    for (int a = 0; a < count; ++a) {
        attributes += " ";
        attributes += name;
        attributes += std::to_string(a) + "=\"";
        attributes += value;
        attributes += std::to_string(a) + "\"";
    }
    return attributes;
}

// "3x3x...3,1": 98 changes on 16 bells, with a plain course that is cut at 2000 rows.
std::string LongLead()
{
    std::string lead;
    for (int change = 0; change < 24; ++change) {
        lead += "3x";
    }
    return lead + "3,1";
}

const std::filesystem::path& HostileFile(Hostile shape)
{
    if (shape == Hostile::ManyAttributes) {
        static const std::filesystem::path seed = TAMBREL_COLLECTION_SEEDS "/many-attributes.xml";
        return seed;
    }
    std::filesystem::path& path = Files().hostile[static_cast<int>(shape)];
    if (!path.empty()) {
        return path;
    }
    path = Scratch("hostile-" + std::to_string(static_cast<int>(shape)));
    std::ofstream out(path, std::ios::binary);
    const int rootAttributes = 2; // its namespace and date
    const int room = kMaxAttributesInScope - rootAttributes;
    const std::string root = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<collection xmlns=\"" +
                             std::string(kCollectionNamespace) + "\" date=\"2026-06-08\"";
    const std::string greater(4U << 20U, '>');
    const auto repeat = [&out](const std::string& part, std::size_t bytes) {
        for (std::size_t written = 0; written < bytes; written += part.size()) {
            out << part;
        }
    };
    switch (shape) {
    case Hostile::AttributesAtTheLimit:
        out << root << ">\n";
        repeat("<x" + Attributes(room) + "/>\n", 20U << 20U);
        break;
    case Hostile::NamespacesInScope:
        out << root << Attributes(room, "xmlns:p", "urn:p") << ">\n";
        repeat("<x/>", 20U << 20U);
        break;
    case Hostile::EmptyElements:
        out << root << ">\n";
        repeat("<x/>", 20U << 20U);
        break;
    case Hostile::LongLeads:
        out << root << "><methodSet><properties><stage>16</stage></properties>\n";
        repeat("<method><title>Long Lead Sixteen</title><notation>" + LongLead() +
                   "</notation></method>\n",
               20U << 20U);
        out << "</methodSet>";
        break;
    case Hostile::LongLeadsCsv:
        out << "stage,title,notation\n";
        repeat("16,Long Lead Sixteen,\"" + LongLead() + "\"\n", 20U << 20U);
        return path; // no XML around it
    case Hostile::Comment:
        out << root << "><!--" << greater << "-->";
        break;
    case Hostile::Instruction:
        out << root << "><?note " << greater << "?>";
        break;
    case Hostile::CData:
        out << root << "><notes><![CDATA[" << greater << "]]></notes>";
        break;
    case Hostile::AttributeValue:
        out << root << "><notes n=\"" << greater << "\"/>";
        break;
    case Hostile::ManyAttributes:
        break;
    }
    out << "</collection>\n";
    return path;
}

void BM_ConvertHostile(benchmark::State& state, Hostile shape)
{
    const std::filesystem::path& path = HostileFile(shape);
    std::string refusal;
    for (auto _ : state) {
        CountingBuffer buffer;
        std::ostream out(&buffer);
        const Result<ConvertCounts> counts = ConvertCollectionFile(path, out);
        refusal = counts ? std::string() : counts.error;
        benchmark::DoNotOptimize(buffer.bytes);
    }
    if (refusal.empty() == (shape == Hostile::ManyAttributes)) {
        state.SkipWithError(refusal.empty() ? "converted, not refused" : refusal.c_str());
        return;
    }
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK_CAPTURE(BM_ConvertHostile, ManyAttributes, Hostile::ManyAttributes)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ConvertHostile, AttributesAtTheLimit, Hostile::AttributesAtTheLimit)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ConvertHostile, NamespacesInScope, Hostile::NamespacesInScope)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ConvertHostile, EmptyElements, Hostile::EmptyElements)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ConvertHostile, LongLeads, Hostile::LongLeads)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ConvertHostile, LongLeadsCsv, Hostile::LongLeadsCsv)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ConvertHostile, Comment, Hostile::Comment)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ConvertHostile, Instruction, Hostile::Instruction)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ConvertHostile, CData, Hostile::CData)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ConvertHostile, AttributeValue, Hostile::AttributeValue)
    ->Unit(benchmark::kMillisecond);

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
