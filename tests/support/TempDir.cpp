#include "TempDir.h"
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

// create_directory reports whether it made the folder, so a name another process
// took is never shared.
TempDir::TempDir()
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto path = std::filesystem::temp_directory_path() / ("vorn-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(path)) {
            path_ = path;
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::Write(const std::string& name, std::string_view bytes) const
{
    auto path = path_ / name;
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
    return path;
}

std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}
