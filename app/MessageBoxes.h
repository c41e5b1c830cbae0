// The program's boxes on Qt; their texts are in form/BoxTexts.h.
#pragma once

#include <string>

class QWidget;

// Modal box with the stop icon and one "OK" (default and cancel), the button centred
// below the text. Ctrl+C copies its text to the clipboard.
void ShowMessageBox(QWidget* parent, const std::string& caption, const std::string& message);

// The top-level box that shows every error leaving a command: captioned with the
// application's title, with WithFullStop's text.
void ShowTopLevelErrorBox(QWidget* parent, const std::string& message);
