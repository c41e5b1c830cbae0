#include "tools/common/CommandLine.h"

#include "runtime/Format.h"
#include "runtime/TextLookup.h"

#include <algorithm>

namespace {

[[noreturn]] void Refuse(const char* text, std::string_view what)
{
    throw EUsage(FormatTemplate(CurrentDomainText(text), {std::string(what)}));
}

bool IsOption(std::string_view arg)
{
    return arg.size() > 1 && arg[0] == '-';
}

const TOptionSpec& FindOption(std::span<const TOptionSpec> options, std::string_view arg)
{
    const auto found = std::find_if(options.begin(), options.end(), [arg](const TOptionSpec& option) {
        return arg == option.name || (!option.alias.empty() && arg == option.alias);
    });
    if (found == options.end())
        Refuse(N_("unknown option %s"), arg);
    return *found;
}

} // namespace

std::optional<std::string> TCommandLine::Value(std::string_view option) const
{
    const auto found = options.find(option);
    return found == options.end() ? std::nullopt : std::optional(found->second);
}

TCommandLine ReadCommandLine(const std::vector<std::string>& argv, std::span<const TOptionSpec> options,
                             std::size_t maxNames)
{
    TCommandLine line;
    std::size_t i = 1;
    for (; i < argv.size() && IsOption(argv[i]); ++i) {
        if (argv[i] == "--") {
            ++i;
            break;
        }
        const TOptionSpec& option = FindOption(options, argv[i]);
        std::string value;
        if (option.takesValue) {
            if (i + 1 == argv.size())
                Refuse(N_("option %s needs a value"), argv[i]);
            value = argv[++i];
        }
        if (!line.options.emplace(option.name, value).second)
            Refuse(N_("option %s given twice"), option.name);
        if (option.endsReading)
            return line;
    }
    if (i < argv.size())
        line.file = argv[i++];
    line.names.assign(argv.begin() + std::ptrdiff_t(i), argv.end());
    if (line.names.size() > maxNames)
        throw EUsage(FormatTemplate(CurrentDomainText("more than %d names"), {std::int64_t(maxNames)}));
    return line;
}

THexSource SourceFor(const std::string& file)
{
    return file == "-" ? THexSource::StandardInput() : THexSource(file);
}
