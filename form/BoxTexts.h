// The texts of the program's two boxes: the "Error" box of a command, and the
// top-level box that shows every error leaving a command.
#pragma once

#include <string>
#include <vector>

extern const char* const ApplicationTitle;

// The command box's caption, in the user's language.
std::string ErrorCaption();

// The top-level box's text for an error message: a full stop after a message whose
// last character sorts above ".".
std::string WithFullStop(const std::string& message);

// What Ctrl+C in a box puts on the clipboard: caption, text and buttons between rules.
std::string BoxClipboardText(const std::string& caption, const std::string& message,
                             const std::vector<std::string>& buttons);
