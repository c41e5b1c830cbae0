// A registry key on Linux: one file of named string and 32-bit integer values
// (see KeyFile.h for its text form).
#pragma once

#include "runtime/Exception.h"

#include <cstdint>
#include <filesystem>
#include <string>

// A value that cannot be read or written, or a key file that cannot.
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

// Every read looks at the file as it is now and every write goes through to it at
// once. A missing file is a key without values and is created by the first write.
// A file that cannot be read or written, or that is damaged, fails the operation
// with a message naming the value, the file and the reason.
class TRegistry {
public:
    TRegistry() = default;
    explicit TRegistry(std::filesystem::path keyFile) : keyFile_(std::move(keyFile)) {}

    void OpenKey(std::filesystem::path keyFile) { keyFile_ = std::move(keyFile); }
    void CloseKey() { keyFile_.clear(); }
    const std::filesystem::path& CurrentKey() const { return keyFile_; }

    bool ValueExists(const std::string& name) const;
    // Empty text when the value does not exist; "Invalid data type for '%s'" when it
    // is not a string.
    std::string ReadString(const std::string& name) const;
    // "Failed to get data for '%s'" when the value does not exist, "Invalid data type
    // for '%s'" when it is not an integer.
    std::int32_t ReadInteger(const std::string& name) const;
    // "Failed to set data for '%s'" when the key cannot be written.
    void WriteString(const std::string& name, const std::string& value);
    void WriteInteger(const std::string& name, std::int32_t value);

private:
    std::filesystem::path keyFile_;
};
