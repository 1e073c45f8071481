// Files for the native build (the unit tests): POSIX calls, with an exclusive lock standing in
// for the Windows share mode "no sharing".
#include "global/files.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

static std::intptr_t OpenLocked(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool File::OpenReadExclusive(const std::string& path)
{
    Close();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    handle_ = OpenLocked(path, O_RDONLY);
    return handle_ >= 0;
}

bool File::CreateExclusive(const std::string& path)
{
    Close();
    // Take the lock before emptying, so that a file another opener holds keeps its content.
    handle_ = OpenLocked(path, O_RDWR | O_CREAT);
    if (handle_ < 0)
        return false;
    if (::ftruncate(static_cast<int>(handle_), 0) != 0) {
        Close();
        return false;
    }
    return true;
}

bool File::IsOpen() const { return handle_ >= 0; }

bool File::Size(std::int64_t& size)
{
    struct stat st {};
    if (::fstat(static_cast<int>(handle_), &st) != 0)
        return false;
    size = st.st_size;
    return true;
}

long long File::ReadSome(void* buffer, std::size_t count)
{
    return ::read(static_cast<int>(handle_), buffer, count);
}

long long File::WriteSome(const void* buffer, std::size_t count)
{
    return ::write(static_cast<int>(handle_), buffer, count);
}

bool File::SeekToStart() { return ::lseek(static_cast<int>(handle_), 0, SEEK_SET) == 0; }

bool File::Flush() { return ::fsync(static_cast<int>(handle_)) == 0; }

bool File::Close()
{
    if (handle_ < 0)
        return true;
    const int fd = static_cast<int>(handle_);
    handle_ = -1;
    return ::close(fd) == 0;
}

bool DirectoryExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDirectoryOneLevel(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0; }

bool ReplaceFileWith(const std::string& source, const std::string& target)
{
    // A target that another opener holds is not replaced, as on Windows.
    const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        if (held) {
            ::close(fd);
            return false;
        }
        const bool renamed = ::rename(source.c_str(), target.c_str()) == 0;
        ::close(fd);
        return renamed;
    }
    return ::rename(source.c_str(), target.c_str()) == 0;
}

bool DeleteFileAt(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool CanReplaceFile(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return true;
    if (S_ISDIR(st.st_mode))
        return false;
    const std::intptr_t fd = OpenLocked(path, O_RDWR);
    if (fd < 0)
        return false;
    ::close(static_cast<int>(fd));
    return true;
}
