#include "form/BoxTexts.h"

#include "runtime/TextLookup.h"

const char* const ApplicationTitle = "Vorn transmitter";

std::string ErrorCaption()
{
    return RuntimeText("Error");
}

std::string WithFullStop(const std::string& message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + '.';
    return message;
}

std::string BoxClipboardText(const std::string& caption, const std::string& message,
                             const std::vector<std::string>& buttons)
{
    const std::string rule(27, '-');
    const std::string eol = "\r\n";
    std::string buttonLine;
    for (const auto& button : buttons)
        buttonLine += button + "   ";
    return rule + eol + caption + eol + rule + eol + message + eol + rule + eol + buttonLine + eol + rule + eol;
}
