// The command line of vorn-stream.
#pragma once

#include "app/UploadStream.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct StreamArguments {
    bool help = false;
    bool version = false;
    std::string hexFile;
    TBankNames names;                   // missing names stay empty
    std::optional<std::string> output;  // standard output when absent
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raises UsageError for a command line that names no HEX file, has more than eight
// names, an unknown option or an -o without its file. `argv` holds the program's
// name first.
StreamArguments ParseArguments(const std::vector<std::string>& argv);

std::string UsageText();
