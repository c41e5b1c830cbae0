#include "Exception.h"

#include "Format.h"
#include "TextLookup.h"
#include "WholeFile.h"

#include <cerrno>

namespace {

const char* FileErrorText(int code)
{
    switch (code) {
    case 2: return N_("File not found");
    case 3: return N_("Invalid filename");
    case 4: return N_("Too many open files");
    case 5: return N_("File access denied");
    case EInOutError::ReadBeyondEnd: return N_("Read beyond end of file");
    case EInOutError::DiskFull: return N_("Disk full");
    case EInOutError::InvalidInput: return N_("Invalid numeric input");
    default: return nullptr;
    }
}

// The file layer's code for an errno value, 0 when it has none.
int MappedCode(int err)
{
    switch (err) {
    case ENOENT: return 2;
    case ENOTDIR:
    case ENAMETOOLONG: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM: return 5;
    case ENOSPC: return EInOutError::DiskFull;
    case EWOULDBLOCK: return EInOutError::SharingViolation;
    default: return 0;
    }
}

std::string GenericText(int code)
{
    return FormatTemplate(RuntimeText("I/O error %d"), {code});
}

} // namespace

EInOutError::EInOutError(int code)
    : Exception(FileErrorText(code) ? RuntimeText(FileErrorText(code)) : GenericText(code)),
      code_(code)
{
}

EInOutError EInOutError::FromErrno(int err)
{
    // errno 4 or 5 (EINTR, EIO) must not read as "Too many open files" or "File
    // access denied": an unmapped code always gets the generic text.
    const int code = MappedCode(err);
    EInOutError error = code != 0 ? EInOutError(code) : EInOutError(err, GenericText(err));
    // The file layer's readers and writers lock; a lock refused is the other side's,
    // which "resource temporarily unavailable" would not tell.
    error.explanation_ = err == EWOULDBLOCK ? RuntimeText("another program holds the file") : ErrorText(err);
    return error;
}

EInOutError EInOutError::Explained(int code, std::string explanation)
{
    EInOutError error(code);
    error.explanation_ = std::move(explanation);
    return error;
}
