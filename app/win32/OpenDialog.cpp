#include "app/win32/OpenDialog.h"

#include "runtime/win32/WinFiles.h"

#include <commdlg.h>
#include <cwchar>

namespace {

// Description and pattern, each ended by a zero, the list by another.
constexpr wchar_t kFilter[] = L"Intel HEX file\0*.hex\0";

// Horizontally centred on the monitor of the window that opened it, its top at a
// third of the height the monitor has to spare.
void PlaceOnMonitor(HWND dialog, HWND owner)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT bounds{};
    if (!GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY), &monitor) ||
        !GetWindowRect(dialog, &bounds))
        return;
    const RECT& screen = monitor.rcMonitor;
    const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    SetWindowPos(dialog, nullptr, screen.left + (screen.right - screen.left - width) / 2,
                 screen.top + (screen.bottom - screen.top - height) / 3, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

TOpenDialog::TOpenDialog()
{
    std::wcscpy(fileName_, L"*.hex");
}

std::optional<std::string> TOpenDialog::Execute(HWND owner)
{
    wchar_t chosen[MAX_PATH];
    std::wcscpy(chosen, fileName_);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = chosen;
    dialog.nMaxFile = MAX_PATH;
    // No OFN_NOCHANGEDIR: the chosen file's folder becomes the current one.
    dialog.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER | OFN_ENABLEHOOK;
    dialog.lpfnHook = &TOpenDialog::Hook;
    dialog.lCustData = reinterpret_cast<LPARAM>(owner);
    // A choice too long for the buffer fails like a cancel (FNERR_BUFFERTOOSMALL).
    if (!GetOpenFileNameW(&dialog))
        return std::nullopt;
    std::wcscpy(fileName_, chosen);
    return Utf8Text(chosen);
}

UINT_PTR CALLBACK TOpenDialog::Hook(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        const auto* options = reinterpret_cast<const OPENFILENAMEW*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, options->lCustData);
    } else if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == CDN_INITDONE) {
        // An explorer-style hook is a child of the dialog itself.
        PlaceOnMonitor(GetParent(dialog), reinterpret_cast<HWND>(GetWindowLongPtrW(dialog, DWLP_USER)));
    }
    return 0;
}
