#pragma once

#include "engine/Calls.h"
#include "engine/TBellStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace tambrel::test {

inline std::string Repeat(std::string_view part, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += part;
    }
    return out;
}

// The position of the column `name` in a CSV header line; the header's size when it has none.
inline std::size_t ColumnOf(const std::vector<std::string>& header, std::string_view name)
{
    return static_cast<std::size_t>(std::ranges::find(header, name) - header.begin());
}

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

// A folder of its own for one test, removed with everything in it afterwards. The process id
// keeps two runs of the same test (two checkouts, say) out of each other's way.
class TempDir {
public:
    TempDir()
    {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = std::filesystem::temp_directory_path() /
                 (std::string("tambrel-") + test->test_suite_name() + "-" + test->name() + "-" +
                  std::to_string(::getpid()));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string Write(const std::string& name, const std::string& content) const
    {
        std::ofstream(m_path / name, std::ios::binary) << content;
        return Path(name);
    }
    std::string Path(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// The small library most suites open: two 8-bell methods in different lead-head groups, a
// 6-bell one, and one call.
inline constexpr std::string_view kSmallMethodsCsv =
    "0,TB_Method_Library,\"Test 1\",\n"
    "8,\"CAMBRIDGE SURPRISE MAJOR\",\"-3-4-25-36-4-5-6-7 LH2\",B\n"
    "8,\"BRISTOL SURPRISE MAJOR\",\"-5-4.5-5.36.4-4.5-4-1 LH1\",M\n"
    "6,\"PLAIN BOB MINOR\",\"-1-1-1 LH2\",A\n";
inline constexpr std::string_view kSmallCallsCsv =
    "0,00,TB_Calls_Library,\"Calls 1\",\n8,01,Bob,14,\n";

// A test folder holding a bundled data folder ("data") with the given library files, beside
// which the library folder ("Library") is made. An empty calls text leaves Calls.csv out.
class LibraryDir : public TempDir {
public:
    explicit LibraryDir(std::string_view methodsCsv = kSmallMethodsCsv,
                        std::string_view callsCsv = kSmallCallsCsv)
    {
        std::filesystem::create_directories(Path("data"));
        Write("data/Methods.csv", std::string(methodsCsv));
        if (!callsCsv.empty()) {
            Write("data/Calls.csv", std::string(callsCsv));
        }
    }
    std::string Library() const { return Path("Library"); }
    std::string Data() const { return Path("data"); }
};

// A method worked out as the page works it out. The store is large (rows of a long course), so
// it lives on the heap.
inline std::unique_ptr<TBellStore> Calculated(int bells, std::string_view notation,
                                              std::string_view name = "Test",
                                              const CallsLibrary* calls = nullptr)
{
    auto store = std::make_unique<TBellStore>();
    store->SetCallsLibrary(calls);
    store->SetBells(bells);
    store->SetName(name);
    store->SetPlaceNotation(notation);
    store->Calculate();
    return store;
}

} // namespace tambrel::test
