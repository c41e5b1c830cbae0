#include "widgets/win32/Gauges.h"

#include "runtime/Exception.h"
#include "widgets/win32/Dib.h"
#include "widgets/win32/WindowClass.h"

const wchar_t* const TGauge::ClassName = L"TGauge";

TRgb SystemColorRgb(TColor systemColor)
{
    const COLORREF color = GetSysColor(static_cast<int>(systemColor & 0xFFFFFFu));
    return TRgb{GetRValue(color)} << 16 | TRgb{GetGValue(color)} << 8 | GetBValue(color);
}

TGauge::TGauge(HWND parent, RECT bounds, TComponent* owner) : TComponent(owner)
{
    RegisterWindowClass(ClassName, TGauge::WindowProc);
    handle_ = CreateWindowExW(0, ClassName, L"", WS_CHILD | WS_VISIBLE, bounds.left, bounds.top,
                              bounds.right - bounds.left, bounds.bottom - bounds.top, parent, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    if (handle_ == nullptr)
        throw Exception("cannot make the gauge's window");
    SetWindowLongPtrW(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TGauge::~TGauge()
{
    if (handle_ != nullptr) {
        SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
        DestroyWindow(handle_);
    }
}

void TGauge::SetFont(HFONT font)
{
    font_ = font;
    RepaintIf(true);
}

TGaugeBitmap TGauge::Picture() const
{
    RECT client{};
    GetClientRect(handle_, &client);
    const TGaugeLook look = model_.Look(client.right, client.bottom, SystemColorRgb, SystemColorRgb(parentColor_));
    return ComposeGaugePicture(look, [this](const std::string& text) { return GdiTextMask(font_, text); });
}

void TGauge::Paint(HDC dc) const
{
    const TGaugeBitmap bitmap = Picture();
    if (bitmap.width == 0)
        return;
    const BITMAPINFO info = TopDownRgb32(bitmap.width, bitmap.height);
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(bitmap.width), static_cast<DWORD>(bitmap.height), 0, 0, 0,
                      static_cast<UINT>(bitmap.height), bitmap.pixels.data(), &info, DIB_RGB_COLORS);
}

// A paint delivered at once: drawing through GetDC outside a paint shows a step late
// under some window systems.
void TGauge::RepaintIf(bool changed)
{
    if (changed && handle_ != nullptr) {
        InvalidateRect(handle_, nullptr, FALSE);
        UpdateWindow(handle_);
    }
}

LRESULT CALLBACK TGauge::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Until the window has its object, and after, the system's defaults.
    const auto* gauge = reinterpret_cast<const TGauge*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (gauge == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // every pixel is painted
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        gauge->Paint(dc);
        EndPaint(window, &paint);
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
