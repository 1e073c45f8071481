// Files for Windows: CreateFileA with share mode 0 (no other opener while we hold the file).
#include "global/files.h"

#include "global/windows_support.h"

static HANDLE H(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

bool File::OpenReadExclusive(const std::string& path)
{
    Close();
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return true;
}

bool File::CreateExclusive(const std::string& path)
{
    Close();
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return true;
}

bool File::IsOpen() const { return handle_ != -1; }

bool File::Size(std::int64_t& size)
{
    LARGE_INTEGER value{};
    if (!GetFileSizeEx(H(handle_), &value))
        return false;
    size = value.QuadPart;
    return true;
}

long long File::ReadSome(void* buffer, std::size_t count)
{
    DWORD got = 0;
    const DWORD ask = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
    if (!ReadFile(H(handle_), buffer, ask, &got, nullptr))
        return -1;
    return got;
}

long long File::WriteSome(const void* buffer, std::size_t count)
{
    DWORD put = 0;
    const DWORD ask = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
    if (!WriteFile(H(handle_), buffer, ask, &put, nullptr))
        return -1;
    return put;
}

bool File::SeekToStart()
{
    LARGE_INTEGER zero{};
    return SetFilePointerEx(H(handle_), zero, nullptr, FILE_BEGIN) != 0;
}

bool File::Flush() { return FlushFileBuffers(H(handle_)) != 0; }

bool File::Close()
{
    if (handle_ == -1)
        return true;
    HANDLE h = H(handle_);
    handle_ = -1;
    return CloseHandle(h) != 0;
}

bool DirectoryExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDirectoryOneLevel(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool ReplaceFileWith(const std::string& source, const std::string& target)
{
    // One rename; it fails while another program holds the target, and then leaves it intact.
    return MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool DeleteFileAt(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool CanReplaceFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true; // nothing there (a missing folder shows when the file is created)
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return false;
    // Opened as it is, without emptying it: an earlier file stays as it was.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}
