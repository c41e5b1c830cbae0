// A window class of this program, registered on first use.
#pragma once

#include <windows.h>

// An arrow cursor; `background` none for a window that paints every pixel itself.
inline void RegisterWindowClass(const wchar_t* name, WNDPROC procedure, HBRUSH background = nullptr,
                                HICON icon = nullptr)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (GetClassInfoExW(instance, name, &windowClass))
        return;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hIcon = icon;
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    RegisterClassExW(&windowClass);
}
