#pragma once

#include <filesystem>
#include <string>

#include <unistd.h>

namespace tambrel::bench {

// The folder of this run's scratch files; the benchmark main removes it at the end.
inline std::filesystem::path ScratchRoot()
{
    return std::filesystem::temp_directory_path() / ("tambrel-bench-" + std::to_string(::getpid()));
}

// A path for one benchmark's scratch file or folder, inside the run's folder.
inline std::filesystem::path Scratch(const std::string& name)
{
    std::filesystem::create_directories(ScratchRoot());
    return ScratchRoot() / name;
}

} // namespace tambrel::bench
