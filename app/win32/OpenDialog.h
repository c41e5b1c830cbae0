// OpenHEX: the system's file-open dialog with the stored form's options. It keeps
// its file name, so the next run starts with the last choice.
#pragma once

#include <optional>
#include <string>
#include <windows.h>

class TOpenDialog {
public:
    TOpenDialog();

    // Runs the dialog modally over `owner`: the chosen path (UTF-8), or nothing when
    // it was cancelled or the choice does not fit the dialog's 260-character buffer.
    std::optional<std::string> Execute(HWND owner);

private:
    static UINT_PTR CALLBACK Hook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    wchar_t fileName_[MAX_PATH];
};
