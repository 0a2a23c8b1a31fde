#include "tables/FileIo.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
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

// Writes a synced new file beside `path`; returns its descriptor (>= 0) or -1 with `error`.
int WriteTemporary(const std::filesystem::path& path, std::string_view bytes,
                   std::filesystem::path& temporary, std::string& error)
{
    temporary = path;
    temporary += ".new" + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = SystemError("Cannot write", temporary);
        return -1;
    }
    if (Status written = WriteAll(fd, bytes); !written || ::fsync(fd) != 0) {
        error = "Cannot write " + temporary.string() + ": " +
                (written ? std::string(std::strerror(errno)) : written.error) + ".";
        ::close(fd);
        ::unlink(temporary.c_str());
        return -1;
    }
    return fd;
}

} // namespace

std::optional<std::filesystem::path> FindIgnoringCase(const std::filesystem::path& folder,
                                                      std::string_view name)
{
    std::error_code ec;
    if (std::filesystem::exists(folder / name, ec)) {
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

Status ReadWholeFile(const std::filesystem::path& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return Status::Fail(SystemError("Cannot read", path));
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    bytes.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
    if (size > 0 && !in.read(bytes.data(), size)) {
        return Status::Fail(SystemError("Cannot read", path));
    }
    return {};
}

FileLock::~FileLock()
{
    Release();
}

FileLock::FileLock(FileLock&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path))
{
}

FileLock& FileLock::operator=(FileLock&& other) noexcept
{
    if (this != &other) {
        Release();
        m_fd = std::exchange(other.m_fd, -1);
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

Status FileLock::Acquire(const std::filesystem::path& path)
{
    Release();
    // The file may be renamed over between open and flock; retry until the lock is on the
    // file the name refers to.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return Status::Fail(SystemError("Cannot open", path));
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool busy = errno == EWOULDBLOCK;
            ::close(fd);
            if (busy) {
                return Status::Fail("The table " + path.filename().string() +
                                    " is in use by another program (or another window of "
                                    "Tambrel). Close it there and try again.");
            }
            return Status::Fail(SystemError("Cannot lock", path));
        }
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
            held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
            m_fd = fd;
            m_path = path;
            return {};
        }
        ::close(fd);
    }
    return Status::Fail("The table " + path.filename().string() + " keeps changing; try again.");
}

Status FileLock::WriteLockedFile(const std::filesystem::path& path, std::string_view bytes)
{
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

} // namespace tambrel
