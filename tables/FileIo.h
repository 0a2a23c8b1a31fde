#pragma once

#include "tables/Status.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tambrel {

// The entry of `folder` whose name equals `name` in any case ("METHODS.DBF" for
// "Methods.dbf"); an exact match wins. Nothing when there is none.
std::optional<std::filesystem::path> FindIgnoringCase(const std::filesystem::path& folder,
                                                      std::string_view name);

Status ReadWholeFile(const std::filesystem::path& path, std::string& bytes);

// An exclusive advisory lock (flock) on a table file, so that two programs never use one
// table at once. It follows the file across WriteLockedFile's renames.
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;

    Status Acquire(const std::filesystem::path& path);
    void Release();
    bool Held() const { return m_fd >= 0; }
    const std::filesystem::path& Path() const { return m_path; } // of the file last locked

    // Writes `bytes` to a new file beside `path`, locked and synced, renames it over `path` and
    // syncs the folder: a crash leaves either the old file or the new one, whole. The lock then
    // holds the new file.
    Status WriteLockedFile(const std::filesystem::path& path, std::string_view bytes);

private:
    int m_fd = -1;
    std::filesystem::path m_path;
};

// The same replacement for a file that needs no lock of its own (an index beside its table).
Status WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

} // namespace tambrel
