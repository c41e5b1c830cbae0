// The command line of the tools, read by one rule so that vorn-stream shows what
// vorn-send sends for the same arguments.
#pragma once

#include "upload/SharedReadFile.h"
#include "runtime/Exception.h"

#include <cstddef>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct TOptionSpec {
    std::string_view name;   // "--port"
    std::string_view alias;  // "-h", or empty
    bool takesValue = false;
    bool endsReading = false;  // --help, --version: what follows is not looked at
};

struct TCommandLine {
    std::map<std::string, std::string, std::less<>> options;  // by name: the value, or empty
    std::optional<std::string> file;
    std::vector<std::string> names;

    bool Has(std::string_view option) const { return options.contains(option); }
    std::optional<std::string> Value(std::string_view option) const;
};

// A command line that cannot be read; the message says why.
class EUsage : public Exception {
public:
    using Exception::Exception;
};

// POSIX's rule: options come before the file, and "--" there ends them; the file
// ("-" for the standard input) is the first argument that is no option, and every
// argument after it is a name, whatever it looks like. `argv` holds the program's
// name first. Raises EUsage for an unknown option, an option without its value or
// given twice, and more than `maxNames` names. Whether a file is needed is the
// caller's to say.
TCommandLine ReadCommandLine(const std::vector<std::string>& argv, std::span<const TOptionSpec> options,
                             std::size_t maxNames);

// What a file argument names: "-" is the standard input.
THexSource SourceFor(const std::string& file);
