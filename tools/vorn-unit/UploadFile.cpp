#include "tools/vorn-unit/UploadFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

namespace {

int OpenTruncated(const std::string& path)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

}  // namespace

UploadFile::UploadFile(std::string path) : path_(std::move(path))
{
    TFd fd(OpenTruncated(path_));
    if (!fd.IsOpen())
        throw std::system_error(errno, std::generic_category(), "cannot write " + path_);
}

void UploadFile::Begin()
{
    error_.clear();
    fd_.Reset(OpenTruncated(path_));
    if (!fd_.IsOpen())
        Fail("cannot write", errno);
}

void UploadFile::Write(std::string_view bytes)
{
    while (fd_.IsOpen() && !bytes.empty()) {
        const ssize_t n = ::write(fd_.Get(), bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            Fail("cannot write", errno);
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::string UploadFile::Finish()
{
    // close() is where a full disk or a network file system may report a lost write.
    if (fd_.IsOpen() && ::close(fd_.Release()) != 0)
        Fail("cannot write", errno);
    return error_;
}

void UploadFile::Fail(const char* what, int error)
{
    if (error_.empty())
        error_ = std::string(what) + " " + path_ + ": " + std::strerror(error);
    fd_.Reset();
}
