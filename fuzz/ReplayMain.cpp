// Runs the fuzz target without libFuzzer: every file of the folders named on the command line
// is one input, and every record of a methods import file (*.csv) becomes one input of its
// bell count and notation.
#include "fuzz/FuzzCheck.h"
#include "tables/Delimited.h"

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::size_t RunInput(const std::string& input, std::string label)
{
    tambrel::fuzz::CurrentInput() = std::move(label);
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    return 1;
}

std::size_t RunFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (path.extension() != ".csv") {
        std::string input(std::istreambuf_iterator<char>(file), {});
        std::string label = path.string();
        if (input.size() <= 200) {
            label += ": \"" + tambrel::fuzz::Printable(input) + "\"";
        }
        return RunInput(input, std::move(label));
    }
    std::size_t runs = 0;
    std::string line;
    for (std::size_t number = 1; std::getline(file, line); ++number) {
        const std::vector<std::string> values = tambrel::SplitDelimitedLine(line);
        int bells = 0;
        if (values.size() < 3) {
            continue;
        }
        std::from_chars(values[0].data(), values[0].data() + values[0].size(), bells);
        if (bells < 1) {
            continue;
        }
        runs += RunInput(std::string(1, static_cast<char>(bells - 1)) + values[2],
                         path.string() + " line " + std::to_string(number) + ": " +
                             std::to_string(bells) + " bells, notation \"" +
                             tambrel::fuzz::Printable(values[2]) + "\"");
    }
    return runs;
}

} // namespace

int main(int argc, char** argv)
{
    std::size_t runs = 0;
    for (int a = 1; a < argc; ++a) {
        const std::filesystem::path path(argv[a]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path)) {
                runs += RunFile(entry.path());
            }
        } else if (std::filesystem::exists(path)) {
            runs += RunFile(path);
        } else {
            std::cerr << "No such input: " << path << '\n';
            return 1;
        }
    }
    std::cout << "Replayed " << runs << " inputs\n";
    return runs > 0 ? 0 : 1;
}
