#include "upload/SharedReadFile.h"

#include "runtime/Exception.h"
#include "runtime/TextLookup.h"

TSharedReadFile::~TSharedReadFile()
{
    try {
        Close();
    } catch (const EInOutError&) {
        // Nothing to report to from a destructor; the file is released anyway.
    }
}

std::string NotAFileText()
{
    return CurrentDomainText("a folder or a device is no HEX file");
}
