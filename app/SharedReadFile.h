// The file under the HEX reader: open, share and read as each platform does it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A file open for reading that other readers may share and no writer may hold.
// Every failure is an EInOutError with the codes the file layer gives on Linux.
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
    // Up to `size` bytes, none only at the end. A pipe is waited for; a stop request
    // (see runtime/StopSignals.h) ends the wait as an interrupted call, EINTR's error.
    std::size_t Read(char* buffer, std::size_t size);
    // Releases the file; nothing happens when not open.
    void Close();
    bool IsOpen() const noexcept { return handle_ != -1; }

private:
    std::intptr_t handle_ = -1;  // a descriptor, or a Windows handle
    bool pipe_ = false;
};
