// A fresh temporary folder, removed with everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Writes `bytes` to a file in the folder and returns its path.
    std::filesystem::path Write(const std::string& name, std::string_view bytes) const;

private:
    std::filesystem::path path_;
};

// The whole content of a file.
std::string ReadFileBytes(const std::filesystem::path& path);
