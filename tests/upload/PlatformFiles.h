// Other programs' access to a file as each platform arbitrates it: flock on Linux,
// sharing modes on Windows.
#pragma once

#include <cstdint>
#include <filesystem>

// True when another program could now open `path` to read it, or to write it.
bool CanOpen(const std::filesystem::path& path, bool forWriting);

// While it lives, `path` is held as a writer holds a file to keep readers out.
struct TWriterHold {
    explicit TWriterHold(const std::filesystem::path& path);
    ~TWriterHold();
    std::intptr_t handle;
};

extern const char* const DevicePath;  // a device, which is no HEX file
