// The file under the HEX reader: open, share and read as each platform does it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// What a reader reads: a file, named by a UTF-8 path, or the standard input (which
// the command-line tools take for "-"; the window has no such name).
struct THexSource {
    THexSource(std::string filePath) : path(std::move(filePath)) {}
    THexSource(const char* filePath) : path(filePath) {}
    static THexSource StandardInput()
    {
        THexSource source("");
        source.standardInput = true;
        return source;
    }

    std::string path;
    bool standardInput = false;
};

// Two names for one file have one identity: a device and an inode on POSIX, a
// volume and a file index on Windows.
struct TFileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    bool operator==(const TFileIdentity&) const = default;
};

// The file `path` (UTF-8) names once every link is followed; nothing when there is
// none or it cannot be looked at.
std::optional<TFileIdentity> IdentityOf(const std::string& path);

// Why a folder or a device is refused, for messages that can say more than "File
// access denied".
std::string NotAFileText();

// A file open for reading that other readers may share and no writer may hold.
// Every failure is an EInOutError with the codes the file layer gives on Linux.
// SharedReadFile.cpp holds what every platform shares (the destructor); opening,
// reading and closing are in posix/ or win32/SharedReadFile.cpp, with IdentityOf.
class TSharedReadFile {
public:
    TSharedReadFile() = default;
    ~TSharedReadFile();  // closes quietly
    TSharedReadFile(const TSharedReadFile&) = delete;
    TSharedReadFile& operator=(const TSharedReadFile&) = delete;

    // Opens `path` (UTF-8), which must not be open yet. Regular files and pipes only:
    // a folder or a device is "File access denied", as opening a folder is anywhere.
    // A file that a writer holds is a sharing violation.
    void Open(const std::string& path);
    // The standard input, on a copy of its descriptor or handle, with the same checks.
    void OpenStandardInput();
    // Up to `size` bytes, none only at the end. A pipe is waited for; a stop request
    // (see runtime/StopSignals.h) ends the wait as an interrupted call, EINTR's error.
    std::size_t Read(char* buffer, std::size_t size);
    // Releases the file; nothing happens when not open.
    void Close();
    bool IsOpen() const noexcept { return handle_ != -1; }
    // Nothing when not open, and where the system gives none (a pipe on Windows).
    std::optional<TFileIdentity> Identity() const;

private:
    // Checks what was opened, readies a file opened here by its name (`opened`), then
    // holds it; on a failure it is closed.
    void Adopt(std::intptr_t handle, bool opened);

    std::intptr_t handle_ = -1;  // a descriptor, or a Windows handle
    bool pipe_ = false;
};
