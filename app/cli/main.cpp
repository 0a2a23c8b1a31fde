#include "app/cli/CliCommands.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv, argv + argc);
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return tambrel::RunCli(std::move(args), std::cout, std::cerr,
                           ec ? std::filesystem::current_path(ec) : self.parent_path());
}
