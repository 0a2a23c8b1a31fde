// Runs the fuzz target without libFuzzer: every file of the folders named on the command line
// is one input, and every record of a methods import file (*.csv) becomes one input of its
// bell count and notation.
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

std::size_t RunInput(const std::string& input)
{
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    return 1;
}

std::size_t RunFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (path.extension() != ".csv") {
        return RunInput(std::string(std::istreambuf_iterator<char>(file), {}));
    }
    std::size_t runs = 0;
    std::string line;
    while (std::getline(file, line)) {
        const std::vector<std::string> values = tambrel::SplitDelimitedLine(line);
        int bells = 0;
        if (values.size() < 3) {
            continue;
        }
        std::from_chars(values[0].data(), values[0].data() + values[0].size(), bells);
        if (bells < 1) {
            continue;
        }
        runs += RunInput(std::string(1, static_cast<char>(bells - 1)) + values[2]);
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
