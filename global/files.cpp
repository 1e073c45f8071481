// The portable part of files: ownership of the handle, and whole transfers over single reads
// and writes that may move fewer bytes. The system calls are in files_win32.cpp and files_posix.cpp.
#include "global/files.h"

#include "global/errors.h"

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

File::~File() { Close(); }

bool ReadAll(File& file, void* buffer, std::size_t count)
{
    auto* at = static_cast<char*>(buffer);
    while (count > 0) {
        const long long got = file.ReadSome(at, count);
        if (got <= 0)
            return false;   // an error, or the file ended before its size
        at += got;
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

bool WriteAll(File& file, const void* buffer, std::size_t count)
{
    const auto* at = static_cast<const char*>(buffer);
    while (count > 0) {
        const long long put = file.WriteSome(at, count);
        if (put <= 0)
            return false;   // a full disk writes nothing more
        at += put;
        count -= static_cast<std::size_t>(put);
    }
    return true;
}

ReplacingFile::ReplacingFile(const std::string& target) : target_(target), temporary_(target + ".vexmold-tmp")
{
    // Probed first, so that a target that cannot be replaced fails before anything is written.
    if (!CanReplaceFile(target_) || !file_.CreateExclusive(temporary_))
        throw Error(Format("Cannot create file %s", target_));
}

ReplacingFile::~ReplacingFile()
{
    if (!committed_) {
        file_.Close();
        DeleteFileAt(temporary_);
    }
}

void ReplacingFile::Write(const void* bytes, std::size_t count)
{
    if (!WriteAll(file_, bytes, count))
        WriteFailed();
}

void ReplacingFile::SeekToStart()
{
    if (!file_.SeekToStart())
        WriteFailed();
}

void ReplacingFile::Commit()
{
    if (!file_.Flush() || !file_.Close())
        WriteFailed();
    if (!ReplaceFileWith(temporary_, target_))
        throw Error(Format("Cannot create file %s", target_));
    committed_ = true;
}

void ReplacingFile::WriteFailed() const
{
    throw Error(Format("Cannot write file %s", target_));
}
