// Files and folders as the tool needs them: exclusive opens, whole transfers, one folder level.
// Implemented for Windows in files_win32.cpp and for the native tests in files_posix.cpp.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class File {
public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    ~File();

    // Open an existing file for reading; no other opener may hold it, and none may open it meanwhile.
    bool OpenReadExclusive(const std::string& path);
    // Create a file for reading and writing, or empty an existing one; no sharing.
    bool CreateExclusive(const std::string& path);

    bool IsOpen() const;
    bool Size(std::int64_t& size);
    // One transfer; answers the number of bytes moved, or -1 on failure.
    long long ReadSome(void* buffer, std::size_t count);
    long long WriteSome(const void* buffer, std::size_t count);
    bool SeekToStart();
    bool Flush();   // the data on the disk, or false
    bool Close();   // false when closing fails (data not written)

private:
    std::intptr_t handle_ = -1;
};

bool DirectoryExists(const std::string& path);
bool CreateDirectoryOneLevel(const std::string& path);
// Put a complete file in place of another in one step; false (and Target untouched) on failure,
// for instance while another program holds Target open.
bool ReplaceFileWith(const std::string& source, const std::string& target);
bool DeleteFileAt(const std::string& path);
// True when there is no file at path, or one that this program could empty and overwrite now:
// not a folder, not read-only, not held open by another program.
bool CanReplaceFile(const std::string& path);

// Whole transfers over single reads and writes that may move fewer bytes; false on failure.
bool ReadAll(File& file, void* buffer, std::size_t count);
bool WriteAll(File& file, const void* buffer, std::size_t count);

// A file written under a temporary name beside its target and put in the target's place only
// when complete: whatever fails on the way leaves an earlier file of that name as it was and no
// unfinished file behind. Its errors name the target: "Cannot create file %s" when the target
// cannot be replaced (held by another program, read-only, a folder) or the temporary file cannot
// be made, "Cannot write file %s" when a write fails (a full disk).
class ReplacingFile {
public:
    explicit ReplacingFile(const std::string& target);
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    ~ReplacingFile();   // not committed: the temporary file goes

    void Write(const void* bytes, std::size_t count);
    void SeekToStart();
    // On the disk, closed, and renamed over the target in one step.
    void Commit();

private:
    [[noreturn]] void WriteFailed() const;

    std::string target_, temporary_;
    File file_;
    bool committed_ = false;
};
