#include "app/win32/MessageBoxes.h"

#include "form/BoxTexts.h"
#include "runtime/win32/WinFiles.h"

void ShowMessageBox(HWND owner, const std::string& caption, const std::string& message)
{
    const UINT modality = owner != nullptr ? MB_APPLMODAL : MB_TASKMODAL;
    MessageBoxW(owner, WideText(message).c_str(), WideText(caption).c_str(), MB_OK | MB_ICONSTOP | modality);
}

void ShowTopLevelErrorBox(HWND owner, const std::string& message)
{
    ShowMessageBox(owner, ApplicationTitle, WithFullStop(message));
}
