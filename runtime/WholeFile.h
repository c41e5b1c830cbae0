// Whole-file reads and replacements for the small settings files (INI files, key files).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Reads the whole file into `bytes`. Returns 0, or the errno of the failure
// (ENOENT when the file does not exist, EISDIR or EINVAL when it is no regular file,
// EFBIG when it is beyond any settings file).
int ReadWholeFile(const std::filesystem::path& path, std::string& bytes);

// Replaces the file's content with `bytes` through a TFileReplacement (see there).
// Returns 0 or an errno.
int ReplaceWholeFile(const std::filesystem::path& path, std::string_view bytes);

// The system's text for an errno value.
std::string ErrorText(int err);
