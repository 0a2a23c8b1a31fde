// Writes one fuzz input per method of a methods import file: a byte picking the number of bells
// (bells - 1, as the fuzz target reads it) followed by the notation.
#include "tables/Delimited.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: make_fuzz_corpus METHODS.csv FOLDER\n";
        return 2;
    }
    std::ifstream library(argv[1], std::ios::binary);
    if (!library) {
        std::cerr << "Cannot read the file " << argv[1] << ".\n";
        return 2;
    }
    const std::filesystem::path folder(argv[2]);
    std::filesystem::create_directories(folder);
    std::size_t written = 0;
    std::string line;
    while (std::getline(library, line)) {
        const std::vector<std::string> values = tambrel::SplitDelimitedLine(line);
        int bells = 0;
        if (values.size() < 3 ||
            std::from_chars(values[0].data(), values[0].data() + values[0].size(), bells).ec !=
                std::errc{} ||
            bells < 1) {
            continue;
        }
        std::ofstream(folder / ("method-" + std::to_string(written++)), std::ios::binary)
            << static_cast<char>(bells - 1) << values[2];
    }
    std::cout << "Wrote " << written << " seeds to " << folder.string() << '\n';
    return 0;
}
