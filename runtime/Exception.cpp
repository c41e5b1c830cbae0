#include "Exception.h"

#include "Format.h"
#include "TextLookup.h"

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
    switch (err) {
    case ENOENT: return EInOutError(2);
    case ENOTDIR:
    case ENAMETOOLONG: return EInOutError(3);
    case EMFILE:
    case ENFILE: return EInOutError(4);
    case EACCES:
    case EPERM: return EInOutError(5);
    case ENOSPC: return EInOutError(DiskFull);
    case EWOULDBLOCK: return EInOutError(SharingViolation);
    default:
        // errno 4 or 5 (EINTR, EIO) must not read as "Too many open files" or
        // "File access denied": an unmapped code always gets the generic text.
        return EInOutError(err, GenericText(err));
    }
}
