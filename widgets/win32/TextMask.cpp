// The gauge's percentage text drawn by GDI, as the mask the core inverts.
#include "widgets/win32/Gauges.h"

#include "runtime/win32/WinFiles.h"
#include "widgets/win32/Dib.h"

#include <cstring>

namespace {

// Crisp letters invert cleanly.
HFONT CrispCopy(HFONT font)
{
    LOGFONTW description{};
    if (font == nullptr || GetObjectW(font, sizeof description, &description) == 0)
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof description, &description);
    description.lfQuality = NONANTIALIASED_QUALITY;
    return CreateFontIndirectW(&description);
}

// GDI's objects of one drawing, released together.
struct TMaskCanvas {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font;
    HGDIOBJ previousFont;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previousBitmap = nullptr;
    void* bits = nullptr;

    explicit TMaskCanvas(HFONT letters) : font(CrispCopy(letters)), previousFont(SelectObject(dc, font)) {}
    ~TMaskCanvas()
    {
        if (bitmap != nullptr) {
            SelectObject(dc, previousBitmap);
            DeleteObject(bitmap);
        }
        SelectObject(dc, previousFont);
        DeleteObject(font);
        DeleteDC(dc);
    }
    TMaskCanvas(const TMaskCanvas&) = delete;
    TMaskCanvas& operator=(const TMaskCanvas&) = delete;

    bool MakeBitmap(int width, int height)
    {
        const BITMAPINFO info = TopDownRgb32(width, height);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap == nullptr)
            return false;
        previousBitmap = SelectObject(dc, bitmap);
        std::memset(bits, 0, std::size_t(width) * std::size_t(height) * 4);
        return true;
    }
};

} // namespace

TTextMask GdiTextMask(HFONT font, const std::string& text)
{
    const std::wstring letters = WideText(text);
    TMaskCanvas canvas(font);
    TEXTMETRICW metrics{};
    SIZE extent{};
    GetTextMetricsW(canvas.dc, &metrics);
    GetTextExtentPoint32W(canvas.dc, letters.c_str(), static_cast<int>(letters.size()), &extent);

    TTextMask mask;
    mask.advance = extent.cx;
    mask.lineHeight = metrics.tmHeight;
    mask.ascent = metrics.tmAscent;
    // Room for ink beyond the advance: italic and bold letters overhang it.
    const int margin = 1 + static_cast<int>(metrics.tmOverhang);
    mask.originX = margin;
    mask.baseline = 1 + mask.ascent;
    mask.width = 2 * margin + mask.advance;
    mask.height = 2 + mask.lineHeight;
    if (!canvas.MakeBitmap(mask.width, mask.height))
        return {};

    SetTextColor(canvas.dc, RGB(255, 255, 255));
    SetBkMode(canvas.dc, TRANSPARENT);
    RECT line{mask.originX, 1, mask.originX + mask.advance, 1 + mask.lineHeight};
    DrawTextW(canvas.dc, letters.c_str(), static_cast<int>(letters.size()), &line,
              DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX | DT_LEFT | DT_TOP);
    GdiFlush();

    const auto* pixels = static_cast<const std::uint32_t*>(canvas.bits);
    mask.ink.resize(std::size_t(mask.width) * std::size_t(mask.height));
    for (std::size_t i = 0; i < mask.ink.size(); ++i)
        mask.ink[i] = (pixels[i] & 0xFFFFFFu) != 0;
    return mask;
}
