#include "tables/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tambrel {

namespace {

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string SystemError(const std::string& what, const std::filesystem::path& path)
{
    return what + " " + path.string() + ": " + std::strerror(errno) + ".";
}

// What a file that is not a regular one is, for the message refusing it.
std::string KindOf(mode_t mode)
{
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a pipe";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    return "not a regular file";
}

std::string Megabytes(std::uintmax_t bytes)
{
    return std::to_string((bytes + (1U << 20U) - 1) >> 20U) + " MB";
}

// Opens `path` for reading without blocking (a pipe would wait for a writer) and checks that it
// is a regular file of at most `limit` bytes; -1 with `error` set otherwise.
int OpenRegular(const std::filesystem::path& path, std::uintmax_t limit, struct stat& info,
                std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = SystemError("Cannot read", path);
        return -1;
    }
    if (::fstat(fd, &info) != 0) {
        error = SystemError("Cannot read", path);
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        error =
            "Cannot read " + path.string() + ": it is " + KindOf(info.st_mode) + ", not a file.";
        ::close(fd);
        return -1;
    }
    if (static_cast<std::uintmax_t>(info.st_size) > limit) {
        error = "Cannot read " + path.string() + ": it is " +
                Megabytes(static_cast<std::uintmax_t>(info.st_size)) + ", more than the " +
                Megabytes(limit) + " such a file may be.";
        ::close(fd);
        return -1;
    }
    return fd;
}

Status ReadFd(int fd, const std::filesystem::path& path, std::uintmax_t size, std::string& bytes)
{
    bytes.assign(static_cast<std::size_t>(size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Status::Fail(SystemError("Cannot read", path));
        }
        if (n == 0) {
            break; // shortened since it was measured
        }
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return {};
}

Status WriteAll(int fd, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Status::Fail(std::strerror(errno));
        }
        done += static_cast<std::size_t>(n);
    }
    return {};
}

void SyncFolder(const std::filesystem::path& path)
{
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The user's file-creation mask, read without changing it (umask() would, for a moment,
// for every thread of the program).
mode_t CreationMask()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Umask:", 0) == 0) {
            const std::string value = line.substr(line.find_first_not_of(" \t", 6));
            unsigned mask = 0;
            const auto [ptr, ec] =
                std::from_chars(value.data(), value.data() + value.size(), mask, 8);
            if (ec == std::errc{}) {
                return static_cast<mode_t>(mask);
            }
        }
    }
    return 022;
}

// A new file beside `path`, named path + ".tmp-<pid>-XXXXXX", made with O_EXCL so that nothing
// already there (a planted link) is opened. It takes the mode of the file it will replace, or
// the mode a new file would get. Returns its descriptor, or -1 with `error` set.
int MakeTemporary(const std::filesystem::path& path, std::filesystem::path& temporary,
                  std::string& error)
{
    std::string name = path.string() + ".tmp-" + std::to_string(::getpid()) + "-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        error = SystemError("Cannot write a file beside", path);
        return -1;
    }
    temporary = name;
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)
                            ? (old.st_mode & 07777)
                            : (0666 & ~CreationMask());
    ::fchmod(fd, mode);
    return fd;
}

// Writes a synced new file beside `path`; returns its descriptor (>= 0) or -1 with `error`.
int WriteTemporary(const std::filesystem::path& path, std::string_view bytes,
                   std::filesystem::path& temporary, std::string& error)
{
    const int fd = MakeTemporary(path, temporary, error);
    if (fd < 0) {
        return -1;
    }
    if (Status written = WriteAll(fd, bytes); !written || ::fsync(fd) != 0) {
        error = "Cannot write " + path.string() + ": " +
                (written ? std::string(std::strerror(errno)) : written.error) + ".";
        ::close(fd);
        ::unlink(temporary.c_str());
        return -1;
    }
    return fd;
}

// The process number in a temporary name: "<stem>.tmp-<pid>-XXXXXX" or ".building-<pid>-XXXXXX",
// and the forms earlier versions used, "<stem>.new<pid>" and ".building-<pid>".
std::optional<pid_t> WriterOf(const std::string& name)
{
    std::string_view digits;
    bool random = false; // followed by "-" and the six characters mkstemp fills in
    if (const std::size_t at = name.rfind(".tmp-"); at != std::string::npos) {
        digits = std::string_view(name).substr(at + 5);
        random = true;
    } else if (name.rfind(".building-", 0) == 0) {
        digits = std::string_view(name).substr(10);
        random = digits.find('-') != std::string_view::npos;
    } else if (const std::size_t mark = name.rfind(".new"); mark != std::string::npos) {
        digits = std::string_view(name).substr(mark + 4);
    } else {
        return std::nullopt;
    }
    if (random) {
        const std::size_t dash = digits.find('-');
        if (dash == std::string_view::npos || digits.size() - dash != 7) {
            return std::nullopt;
        }
        digits = digits.substr(0, dash);
    }
    pid_t pid = 0;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (digits.empty() || ec != std::errc{} || ptr != digits.data() + digits.size() || pid <= 0) {
        return std::nullopt;
    }
    return pid;
}

bool Running(pid_t pid)
{
    return pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH;
}

} // namespace

std::optional<std::filesystem::path> FindIgnoringCase(const std::filesystem::path& folder,
                                                      std::string_view name)
{
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(folder / name, ec))) {
        return folder / name;
    }
    const std::string wanted = Lower(name);
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (Lower(it->path().filename().string()) == wanted) {
            return it->path();
        }
    }
    return std::nullopt;
}

Status ReadRegularFile(const std::filesystem::path& path, std::string& bytes, std::uintmax_t limit)
{
    struct stat info {};
    std::string error;
    const int fd = OpenRegular(path, limit, info, error);
    if (fd < 0) {
        return Status::Fail(error);
    }
    Status read = ReadFd(fd, path, static_cast<std::uintmax_t>(info.st_size), bytes);
    ::close(fd);
    return read;
}

FileLock::~FileLock()
{
    Release();
}

FileLock::FileLock(FileLock&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_kind(other.m_kind), m_path(std::move(other.m_path))
{
}

FileLock& FileLock::operator=(FileLock&& other) noexcept
{
    if (this != &other) {
        Release();
        m_fd = std::exchange(other.m_fd, -1);
        m_kind = other.m_kind;
        m_path = std::move(other.m_path);
    }
    return *this;
}

void FileLock::Release()
{
    if (m_fd >= 0) {
        ::close(m_fd); // closing drops the flock
        m_fd = -1;
    }
}

Status FileLock::Acquire(const std::filesystem::path& path, Kind kind)
{
    Release();
    // The file may be renamed over between open and flock; retry until the lock is on the
    // file the name refers to.
    for (int attempt = 0; attempt < 5; ++attempt) {
        struct stat held {};
        std::string error;
        const int fd = OpenRegular(path, kMaxTableBytes, held, error);
        if (fd < 0) {
            return Status::Fail(error);
        }
        if (::flock(fd, (kind == Kind::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
            const bool busy = errno == EWOULDBLOCK;
            ::close(fd);
            if (busy) {
                return Status::Fail("The table " + path.filename().string() +
                                    " is in use by another program (or another window of "
                                    "Tambrel). Close it there and try again.");
            }
            return Status::Fail(SystemError("Cannot lock", path));
        }
        struct stat named {};
        if (::stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
            held.st_dev == named.st_dev) {
            m_fd = fd;
            m_kind = kind;
            m_path = path;
            return {};
        }
        ::close(fd);
    }
    return Status::Fail("The table " + path.filename().string() + " keeps changing; try again.");
}

Status FileLock::ReadAll(std::string& bytes, std::uintmax_t limit) const
{
    struct stat info {};
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0) {
        return Status::Fail("Cannot read " + m_path.string() + ": it is not open.");
    }
    if (static_cast<std::uintmax_t>(info.st_size) > limit) {
        return Status::Fail("Cannot read " + m_path.string() + ": it is " +
                            Megabytes(static_cast<std::uintmax_t>(info.st_size)) +
                            ", more than the " + Megabytes(limit) + " such a file may be.");
    }
    return ReadFd(m_fd, m_path, static_cast<std::uintmax_t>(info.st_size), bytes);
}

Status FileLock::WriteLockedFile(const std::filesystem::path& path, std::string_view bytes)
{
    if (m_fd >= 0 && m_kind != Kind::Exclusive) {
        return Status::Fail("The table " + path.filename().string() + " is open for reading only.");
    }
    std::filesystem::path temporary;
    std::string error;
    const int fd = WriteTemporary(path, bytes, temporary, error);
    if (fd < 0) {
        return Status::Fail(error);
    }
    // Nobody else knows the new file yet, so this cannot fail for a rival.
    ::flock(fd, LOCK_EX | LOCK_NB);
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        error = SystemError("Cannot replace", path);
        ::close(fd);
        ::unlink(temporary.c_str());
        return Status::Fail(error);
    }
    SyncFolder(path);
    Release();
    m_fd = fd;
    m_kind = Kind::Exclusive;
    m_path = path;
    return {};
}

Status WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes)
{
    std::filesystem::path temporary;
    std::string error;
    const int fd = WriteTemporary(path, bytes, temporary, error);
    if (fd < 0) {
        return Status::Fail(error);
    }
    ::close(fd);
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        error = SystemError("Cannot replace", path);
        ::unlink(temporary.c_str());
        return Status::Fail(error);
    }
    SyncFolder(path);
    return {};
}

OutputFile::OutputFile(std::filesystem::path target) : m_target(std::move(target)) {}

OutputFile::~OutputFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
    }
}

namespace {

// The descriptor of this program that `path` names (/dev/stdout, /dev/fd/3, /proc/self/fd/1),
// following the system's links to it; nothing for any other path.
std::optional<int> OwnDescriptor(std::filesystem::path path)
{
    std::error_code ec;
    const std::filesystem::path own = "/proc/" + std::to_string(::getpid()) + "/fd";
    for (int hop = 0; hop < 8; ++hop) {
        if (std::filesystem::canonical(path.parent_path(), ec) == own && !ec) {
            const std::string name = path.filename().string();
            int fd = -1;
            const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), fd);
            if (error != std::errc() || end != name.data() + name.size()) {
                return std::nullopt;
            }
            return fd;
        }
        if (!std::filesystem::is_symlink(path, ec)) {
            return std::nullopt;
        }
        const std::filesystem::path next = std::filesystem::read_symlink(path, ec);
        if (ec) {
            return std::nullopt;
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return std::nullopt;
}

} // namespace

Status OutputFile::Open()
{
    if (const std::optional<int> own = OwnDescriptor(m_target)) {
        // The program's own output, as the shell set it up: written where it stands.
        m_fd = ::fcntl(*own, F_DUPFD_CLOEXEC, 0);
        return m_fd >= 0 ? Status{} : Status::Fail(SystemError("Cannot write", m_target));
    }
    struct stat entry {};
    const bool exists = ::lstat(m_target.c_str(), &entry) == 0;
    const bool link = exists && S_ISLNK(entry.st_mode);
    if (link) {
        // Whoever can write the folder may have planted the link: a file it leads to would be
        // replaced behind the name given. Devices and pipes, which cannot be, are written.
        struct stat info {};
        if (::stat(m_target.c_str(), &info) != 0 || S_ISREG(info.st_mode) ||
            S_ISDIR(info.st_mode)) {
            return Status::Fail(m_target.string() + " is a symbolic link; give the file itself.");
        }
    } else if (exists && S_ISDIR(entry.st_mode)) {
        return Status::Fail("Cannot write " + m_target.string() + ": it is a folder.");
    }
    if (link || (exists && !S_ISREG(entry.st_mode))) {
        // Not replaceable, so written in place. A pipe with no reader would stop the open for
        // ever; without blocking it is refused at once.
        const int flags = O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK | (link ? 0 : O_NOFOLLOW);
        m_fd = ::open(m_target.c_str(), flags);
        if (m_fd < 0) {
            return Status::Fail(errno == ENXIO ? "Cannot write " + m_target.string() +
                                                     ": nothing is reading from it."
                                               : SystemError("Cannot write", m_target));
        }
        struct stat opened {};
        if (::fstat(m_fd, &opened) != 0 || S_ISREG(opened.st_mode) ||
            ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK) != 0) {
            // Swapped for a file since it was looked at: nothing is written through it.
            ::close(std::exchange(m_fd, -1));
            return Status::Fail("Cannot write " + m_target.string() +
                                ": it changed while it was opened.");
        }
        return {};
    }
    // A new file renamed over the name: whatever stands there then (a link planted meanwhile
    // included) is replaced, never followed.
    m_fd = MakeTemporary(m_target, m_temporary, m_error);
    if (m_fd < 0) {
        return Status::Fail(m_error);
    }
    return {};
}

Status OutputFile::Write(std::string_view bytes)
{
    if (!m_error.empty()) {
        return Status::Fail(m_error);
    }
    if (m_fd < 0) {
        m_error = "Cannot write " + m_target.string() + ": it is not open.";
        return Status::Fail(m_error);
    }
    if (Status written = WriteAll(m_fd, bytes); !written) {
        m_error = "Cannot write " + m_target.string() + ": " + written.error + ".";
        return Status::Fail(m_error);
    }
    return {};
}

Status OutputFile::Commit()
{
    if (!m_error.empty()) {
        return Status::Fail(m_error);
    }
    if (m_fd < 0) {
        return Status::Fail("Cannot write " + m_target.string() + ": it is not open.");
    }
    if (m_temporary.empty()) {
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0) {
            m_error = SystemError("Cannot write", m_target);
            return Status::Fail(m_error);
        }
        return {};
    }
    // A full disk may show only here: a file is whole once synced and closed without error.
    const bool synced = ::fsync(m_fd) == 0;
    const int fd = std::exchange(m_fd, -1);
    if (!synced || ::close(fd) != 0) {
        m_error = SystemError("Cannot write", m_target);
        return Status::Fail(m_error);
    }
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        m_error = SystemError("Cannot replace", m_target);
        return Status::Fail(m_error);
    }
    m_temporary.clear();
    SyncFolder(m_target);
    return {};
}

std::vector<std::string> RemoveLeftovers(const std::filesystem::path& folder)
{
    std::vector<std::string> removed;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const std::optional<pid_t> writer = WriterOf(name);
        struct stat info {};
        if (!writer || Running(*writer) || ::lstat(it->path().c_str(), &info) != 0 ||
            info.st_uid != ::getuid()) {
            continue;
        }
        std::error_code gone;
        std::filesystem::remove_all(it->path(), gone);
        if (!gone) {
            removed.push_back(name);
        }
    }
    return removed;
}

Status MakeTemporaryFolder(const std::filesystem::path& parent, std::string_view stem,
                           std::filesystem::path& made)
{
    std::string name =
        (parent / (std::string(stem) + "-" + std::to_string(::getpid()) + "-XXXXXX")).string();
    if (::mkdtemp(name.data()) == nullptr) {
        return Status::Fail(SystemError("Cannot make a folder in", parent));
    }
    made = name;
    return {};
}

InputFile::~InputFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

Status InputFile::Open(const std::filesystem::path& path, std::uintmax_t limit)
{
    struct stat info {};
    std::string error;
    const int fd = OpenRegular(path, limit, info, error);
    if (fd < 0) {
        return Status::Fail(error);
    }
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = fd;
    m_left = limit;
    m_path = path;
    return {};
}

Status InputFile::ReadStart(std::string& bytes, std::size_t count) const
{
    bytes.assign(count, '\0');
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pread(m_fd, bytes.data() + done, count - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Status::Fail(SystemError("Cannot read", m_path));
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return {};
}

Status InputFile::Read(char* buffer, std::size_t size, std::size_t& got)
{
    got = 0;
    size = static_cast<std::size_t>(std::min<std::uintmax_t>(size, m_left));
    if (size == 0) {
        return {};
    }
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, size);
        if (n >= 0) {
            got = static_cast<std::size_t>(n);
            m_left -= got;
            return {};
        }
        if (errno != EINTR) {
            return Status::Fail(SystemError("Cannot read", m_path));
        }
    }
}

} // namespace tambrel
