#include "app/cli/CliCommands.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv, argv + argc);
    return tambrel::RunCli(std::move(args), std::cout, std::cerr);
}
