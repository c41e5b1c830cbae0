#include "app/win32/Vornver2unit.h"

#include "app/win32/MessageBoxes.h"
#include "app/win32/StoredForm.h"
#include "runtime/Component.h"
#include "runtime/ErrorHook.h"
#include "runtime/MainThread.h"
#include "runtime/win32/WinFiles.h"
#include "widgets/win32/WindowClass.h"

#include <commctrl.h>

namespace {

constexpr wchar_t kWindowClass[] = L"TForm1";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

COLORREF ColorRef(TColor color)
{
    const TRgb rgb = ResolveColor(color, SystemColorRgb);
    return RGB(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF);
}

std::string WindowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return Utf8Text(text);
}

// A label is as wide and high as its text in its font.
SIZE TextSize(HFONT font, const std::wstring& text)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    return size;
}

bool IsMouseOrKey(UINT message)
{
    return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || (message >= WM_KEYFIRST && message <= WM_KEYLAST);
}

} // namespace

TForm1::TForm1(std::string port) : form_(*this, std::move(port))
{
    formFont_ = MakeFormFont(TFontStyle::Form);
    boldFont_ = MakeFormFont(TFontStyle::Bold);
    MakeWindow();
    ReadStoredForm();
}

TForm1::~TForm1()
{
    Postep.reset();
    if (handle_ != nullptr) {
        SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
        DestroyWindow(handle_);
    }
    DeleteObject(formFont_);
    DeleteObject(boldFont_);
}

void TForm1::MakeWindow()
{
    RegisterWindowClass(kWindowClass, TForm1::WindowProc, GetSysColorBrush(COLOR_BTNFACE),
                        LoadIconW(nullptr, MAKEINTRESOURCEW(32512)));  // IDI_APPLICATION
    RECT frame{0, 0, kClientSize.cx, kClientSize.cy};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    // Centred on the desktop.
    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2, top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    handle_ = CreateWindowExW(kExStyle, kWindowClass, L"Vorn...", kStyle, left, top, width, height, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    if (handle_ == nullptr)
        throw Exception("cannot make the main window");
    SetWindowLongPtrW(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void TForm1::ReadStoredForm()
{
    {
        TStoredFormReading reading;
        for (const TControlSpec& spec : StoredControls())
            MakeControl(spec);
        Postep = std::make_unique<TGauge>(handle_, kPostep);
        Postep->SetMinValue(0);
        Postep->SetMaxValue(102);
        Postep->SetProgress(0);
        form_.ReadStoredPort();
    }
    Postep->SetFont(formFont_);
    SetWindowLongPtrW(Postep->Handle(), GWLP_ID, kPostepId);
    StatusBar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN,
                                kStatusBar.left, kStatusBar.top, kStatusBar.right - kStatusBar.left,
                                kStatusBar.bottom - kStatusBar.top, handle_, reinterpret_cast<HMENU>(kStatusBarId),
                                GetModuleHandleW(nullptr), nullptr);
    SendMessageW(StatusBar, SB_SIMPLE, TRUE, 0);
    Postep->FinishLoading();
    form_.FinishLoading();
    focused_ = Open;
}

HWND TForm1::MakeControl(const TControlSpec& spec)
{
    static const wchar_t* const kClasses[] = {L"STATIC", L"EDIT", L"EDIT", L"BUTTON"};
    const auto kind = static_cast<std::size_t>(spec.kind);
    const std::wstring text = WideText(spec.text);
    const HFONT font = spec.font == TFontStyle::Bold ? boldFont_ : formFont_;
    DWORD style = WS_CHILD | WS_VISIBLE, exStyle = 0;
    RECT bounds = spec.bounds;
    switch (spec.kind) {
    case TControlKind::Label: {
        style |= SS_LEFT | SS_NOPREFIX;
        const SIZE size = TextSize(font, text);
        bounds.right = bounds.left + size.cx;
        bounds.bottom = bounds.top + size.cy;
        break;
    }
    case TControlKind::Edit:
    case TControlKind::NameEdit:
        style |= WS_TABSTOP | ES_AUTOHSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case TControlKind::Button:
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
    }
    // Ids from kFirstControlId: a dialog's Enter and Escape send IDOK and IDCANCEL (1, 2).
    const auto id = static_cast<std::intptr_t>(kFirstControlId + (&spec - StoredControls().data()));
    HWND control = CreateWindowExW(exStyle, kClasses[kind], text.c_str(), style, bounds.left, bounds.top,
                                   bounds.right - bounds.left, bounds.bottom - bounds.top, handle_,
                                   reinterpret_cast<HMENU>(id), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (spec.kind == TControlKind::NameEdit)
        SendMessageW(control, EM_LIMITTEXT, kNameLength, 0);
    if (spec.kind == TControlKind::Label)
        labelColors_[control] = ColorRef(spec.color);

    const std::string_view name = spec.name;
    if (name == "Open")
        Open = control;
    else if (name == "Send")
        Send = control;
    else if (name == "File_name")
        File_name = control;
    else if (name.starts_with("Bank"))
        Bank[static_cast<std::size_t>(name[4] - '1')] = control;
    return control;
}

void TForm1::Show()
{
    ShowWindow(handle_, SW_SHOWNORMAL);
    UpdateWindow(handle_);
    SetFocus(Open);
}

bool TForm1::DropsInput(const MSG& message) const
{
    return form_.HoldsSendInput() && message.hwnd == Send && IsMouseOrKey(message.message);
}

void TForm1::Dispatch(MSG& message)
{
    if (DropsInput(message))
        return;
    if (!IsDialogMessageW(handle_, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void TForm1::PaintBevel()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(handle_, &paint);
    RECT bevel = kBevel1;
    DrawEdge(dc, &bevel, BDR_SUNKENOUTER, BF_RECT);
    EndPaint(handle_, &paint);
}

LRESULT TForm1::LabelColors(HDC dc, HWND label)
{
    const auto color = labelColors_.find(label);
    SetTextColor(dc, color != labelColors_.end() ? color->second : GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT CALLBACK TForm1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Until the window has its object, and after, the system's defaults.
    auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    // No exception may cross the system's dispatch.
    try {
        return form->HandleMessage(message, wParam, lParam);
    } catch (...) {
        HandleCurrentException();
        return 0;
    }
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && reinterpret_cast<HWND>(lParam) == Open)
            OpenClick();
        else if (HIWORD(wParam) == BN_CLICKED && reinterpret_cast<HWND>(lParam) == Send)
            SendClick();
        return 0;
    case WM_CTLCOLORSTATIC:
        return LabelColors(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_PAINT:
        PaintBevel();
        return 0;
    case WM_ACTIVATE:
        // The focus goes back where it was, as a dialog's does.
        if (LOWORD(wParam) == WA_INACTIVE)
            focused_ = GetFocus() != nullptr && IsChild(handle_, GetFocus()) ? GetFocus() : focused_;
        else if (focused_ != nullptr)
            SetFocus(focused_);
        return 0;
    case kMainThreadWork:
        ProcessMainThreadWork();
        return 0;
    case WM_CLOSE:
        Quit(0);
        return 0;
    default:
        return DefWindowProcW(handle_, message, wParam, lParam);
    }
}

std::string TForm1::FileName() const
{
    return WindowText(File_name);
}

void TForm1::SetFileName(const std::string& path)
{
    SetWindowTextW(File_name, WideText(path).c_str());
}

TBankNames TForm1::BankNames() const
{
    TBankNames names;
    for (std::size_t i = 0; i < names.size(); ++i)
        names[i] = WindowText(Bank[i]);
    return names;
}

std::optional<std::string> TForm1::ChooseHexFile()
{
    return OpenHEX.Execute(handle_);
}

void TForm1::SetProgress(std::int32_t value)
{
    Postep->SetProgress(value);
}

// Drawn before the call returns, since the message loop stands still meanwhile.
void TForm1::SetStatusText(const std::string& text)
{
    SendMessageW(StatusBar, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(WideText(text).c_str()));
    InvalidateRect(StatusBar, nullptr, TRUE);
    UpdateWindow(StatusBar);
}

void TForm1::SetSendEnabled(bool enabled)
{
    EnableWindow(Send, enabled);
}

void TForm1::ShowBox(const std::string& caption, const std::string& message)
{
    ShowMessageBox(handle_, caption, message);
}

// What arrived while the upload kept the loop still; clicks and keys aimed at Send
// are dropped while the form holds them.
void TForm1::DeliverQueuedInput()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Dispatch(message);
    }
}

void TForm1::Quit(int status)
{
    ShowWindow(handle_, SW_HIDE);
    PostQuitMessage(status);
}
