#pragma once

#include "tables/Status.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

// The most that is read whole into memory. The bundled main library is 4 MB with its index,
// and dBase itself stops at 2 GB; a file beyond these is refused unread, never allocated.
inline constexpr std::uintmax_t kMaxTableBytes = 256U << 20U;
inline constexpr std::uintmax_t kMaxIndexBytes = 256U << 20U;
inline constexpr std::uintmax_t kMaxImportBytes = 64U << 20U;
// An import file read into a table is read line by line, never whole, so only the time it
// takes bounds it.
inline constexpr std::uintmax_t kMaxStreamedImportBytes = 1U << 30U;

// The entry of `folder` whose name equals `name` in any case ("METHODS.DBF" for
// "Methods.dbf"); an exact match wins. Nothing when there is none.
std::optional<std::filesystem::path> FindIgnoringCase(const std::filesystem::path& folder,
                                                      std::string_view name);

// Reads a whole regular file of at most `limit` bytes. A folder, a pipe, a device or a larger
// file is refused with a message naming the file; nothing blocks on a pipe and nothing is
// allocated for a file refused.
Status ReadRegularFile(const std::filesystem::path& path, std::string& bytes, std::uintmax_t limit);

// An advisory lock (flock) on a table file, so that a writer never shares a table: readers take
// it shared and may work together, a writer takes it exclusive. It follows the file across
// WriteLockedFile's renames.
class FileLock {
public:
    enum class Kind { Shared, Exclusive };

    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;

    // Refuses anything but a regular file, without blocking on a pipe.
    Status Acquire(const std::filesystem::path& path, Kind kind = Kind::Exclusive);
    void Release();
    bool Held() const { return m_fd >= 0; }
    Kind HeldKind() const { return m_kind; }
    const std::filesystem::path& Path() const { return m_path; } // of the file last locked

    // The locked file's bytes, read through the lock itself: what was locked is what is read.
    Status ReadAll(std::string& bytes, std::uintmax_t limit) const;

    // Writes `bytes` to a new file beside `path`, locked and synced, renames it over `path` and
    // syncs the folder: a crash leaves either the old file or the new one, whole. The lock then
    // holds the new file. Needs the exclusive lock.
    Status WriteLockedFile(const std::filesystem::path& path, std::string_view bytes);

private:
    int m_fd = -1;
    Kind m_kind = Kind::Exclusive;
    std::filesystem::path m_path;
};

// The same replacement for a file that needs no lock of its own (an index beside its table).
Status WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// A file written whole or not at all: the text goes to a temporary file beside the target
// (an unpredictable name, made with O_EXCL so nothing planted there is followed), which
// Commit flushes, checks and renames over the target. Without Commit, or when it fails, the
// target keeps its old contents and the temporary file goes. A target that exists and is not
// a regular file (/dev/null, a pipe, a link to either) is written in place instead, as it
// cannot be replaced; a pipe with no reader is refused at once. A symbolic link to a file or a
// folder is refused: it is never written through. The program's own descriptors
// (/dev/stdout) are written as the shell set them up.
class OutputFile {
public:
    explicit OutputFile(std::filesystem::path target);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    Status Open();
    Status Write(std::string_view bytes); // the first error sticks; later writes do nothing
    Status Commit();

private:
    std::filesystem::path m_target;
    std::filesystem::path m_temporary; // empty when writing in place
    int m_fd = -1;
    std::string m_error;
};

// A regular file of at most a given size, read piece by piece: for inputs that are read as a
// stream rather than held whole. The same refusals as ReadRegularFile.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    Status Open(const std::filesystem::path& path, std::uintmax_t limit);
    // The first `count` bytes (fewer in a shorter file), leaving the reading place where it is.
    Status ReadStart(std::string& bytes, std::size_t count) const;
    // The next bytes, at most `size`; `got` is 0 at the end of the file, and at the limit of a
    // file that grew while it was read.
    Status Read(char* buffer, std::size_t size, std::size_t& got);

private:
    int m_fd = -1;
    std::uintmax_t m_left = 0; // of the limit
    std::filesystem::path m_path;
};

// Temporary files and folders carry the writer's process number ("Methods.mdx.tmp-1234-Ab3xQ9",
// ".building-1234-Zk2pLm"), so that those a killed process left can be told from those of a
// running one. Removes from `folder` the ones of this user whose process no longer runs;
// returns what it removed.
std::vector<std::string> RemoveLeftovers(const std::filesystem::path& folder);

// A new empty folder beside others in `parent`, named `stem` + "-<pid>-XXXXXX".
Status MakeTemporaryFolder(const std::filesystem::path& parent, std::string_view stem,
                           std::filesystem::path& made);

} // namespace tambrel
