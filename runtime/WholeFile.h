// Whole-file reads and replacements for the small settings files (INI files, key files).
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

// Reads the whole file into `bytes`. Returns 0, or the errno of the failure
// (ENOENT when the file does not exist, EISDIR or EINVAL when it is no regular file,
// EFBIG when it is beyond any settings file).
int ReadWholeFile(const std::filesystem::path& path, std::string& bytes);

// How an update ended: 0, or the errno of the failure and whether it came while
// reading the old content (else while writing the new).
struct TUpdateResult {
    int err = 0;
    bool reading = false;
};

// Changes the file under an exclusive advisory lock, so that programs updating one file
// at the same time each keep the others' changes: reads it as it is now (a missing file
// as empty), lets `change` turn the bytes into the new content and replaces the file
// with that (see TFileReplacement) before letting the lock go. A reader sees the old
// file or the whole new one, as the file is only ever replaced whole; where a file held
// open cannot be replaced (Windows), readers wait for a running update instead of making
// it fail. A missing file appears only with its whole content, and only if no other
// program created it meanwhile; `change` then runs again on that program's file. When
// `change` throws, the file stays as it was.
TUpdateResult UpdateWholeFile(const std::filesystem::path& path,
                              const std::function<void(std::string& bytes)>& change);

// The system's text for an errno value.
std::string ErrorText(int err);
