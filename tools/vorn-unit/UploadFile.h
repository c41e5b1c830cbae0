// The -o file: each upload replaces what the one before left in it, so after an
// upload the file holds exactly that upload's bytes.
#pragma once

#include "runtime/FileDescriptor.h"

#include <string>
#include <string_view>

class UploadFile {
public:
    // Creates or empties the file at once, so a path that cannot be written
    // fails at start (std::system_error) rather than after the first upload.
    explicit UploadFile(std::string path);

    const std::string& Path() const noexcept { return path_; }
    // Starts the next upload's content.
    void Begin();
    void Write(std::string_view bytes);
    // Closes the file; the text of the first failure of this upload, empty when none.
    std::string Finish();

private:
    void Fail(const char* what, int error);

    std::string path_;
    TFd fd_;
    std::string error_;
};
