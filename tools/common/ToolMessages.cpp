#include "tools/common/ToolMessages.h"

#include "runtime/TextLookup.h"

std::string InputName(const THexSource& source)
{
    return source.standardInput ? CurrentDomainText("standard input") : source.path;
}

std::string ErrorAbout(const std::string& subject, const std::string& message, const std::string& explanation)
{
    std::string text = subject.empty() ? message : subject + ": " + message;
    if (!explanation.empty())
        text += ": " + explanation;
    return text;
}

std::string ErrorAbout(const std::string& subject, const EInOutError& error)
{
    return ErrorAbout(subject, error.Message(), error.Explanation());
}
