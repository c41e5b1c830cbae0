// The program's boxes on Win32: the system's own message box, whose Ctrl+C copies
// its text. Their texts are in form/BoxTexts.h.
#pragma once

#include <string>
#include <windows.h>

// Modal over `owner` (none: over the whole program), with the stop icon and one OK.
void ShowMessageBox(HWND owner, const std::string& caption, const std::string& message);

// The top-level box that shows every error leaving a command: captioned with the
// application's title, with WithFullStop's text.
void ShowTopLevelErrorBox(HWND owner, const std::string& message);
