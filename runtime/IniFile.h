// An initialisation file: sections of named text values in a real file.
#pragma once

#include "runtime/Exception.h"

#include <cstdint>
#include <filesystem>
#include <string>

// A file that cannot be read or written; the message names the file.
class EIniFileException : public Exception {
public:
    using Exception::Exception;
};

// Every read looks at the file as it is now and every write goes through to it at
// once, so several objects (or programs) on one file see each other's values.
// Section and key names compare without regard to case. A missing file reads as
// empty and is created by the first write.
class TIniFile {
public:
    explicit TIniFile(std::filesystem::path fileName);

    const std::filesystem::path& FileName() const { return fileName_; }

    // The value, or `defaultValue` when the section has no such key.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    // The value read as a decimal (or 0x-prefixed hexadecimal) 32-bit integer;
    // `defaultValue` when the key is missing or holds no such number.
    std::int32_t ReadInteger(const std::string& section, const std::string& key,
                             std::int32_t defaultValue) const;

    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, std::int32_t value);

private:
    std::filesystem::path fileName_;
};
