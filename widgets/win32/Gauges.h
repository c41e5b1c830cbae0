// The progress gauge as a Win32 child window: the toolkit-free model and picture of
// gauge/, presented with SetDIBitsToDevice. A changed picture is painted before the
// setter returns, so the gauge moves while the caller keeps the message loop still.
#pragma once

#include "gauge/GaugeModel.h"
#include "runtime/Component.h"

#include <cstdint>
#include <windows.h>

class TGauge : public TComponent {
public:
    // The window class every gauge uses, registered as the first is made.
    static const wchar_t* const ClassName;

    TGauge(HWND parent, RECT bounds, TComponent* owner = nullptr);
    ~TGauge() override;
    TGauge(const TGauge&) = delete;
    TGauge& operator=(const TGauge&) = delete;

    HWND Handle() const { return handle_; }
    // The font of the percentage text; the caller keeps it alive.
    void SetFont(HFONT font);

    std::int32_t MinValue() const { return model_.MinValue(); }
    void SetMinValue(std::int32_t value) { RepaintIf(model_.SetMinValue(value)); }
    std::int32_t MaxValue() const { return model_.MaxValue(); }
    void SetMaxValue(std::int32_t value) { RepaintIf(model_.SetMaxValue(value)); }
    std::int32_t Progress() const { return model_.Progress(); }
    void SetProgress(std::int32_t value) { RepaintIf(model_.SetProgress(value)); }
    TGaugeKind Kind() const { return model_.Kind(); }
    void SetKind(TGaugeKind value) { RepaintIf(model_.SetKind(value)); }
    bool ShowText() const { return model_.ShowText(); }
    void SetShowText(bool value) { RepaintIf(model_.SetShowText(value)); }
    TBorderStyle BorderStyle() const { return model_.BorderStyle(); }
    void SetBorderStyle(TBorderStyle value) { RepaintIf(model_.SetBorderStyle(value)); }
    TColor ForeColor() const { return model_.ForeColor(); }
    void SetForeColor(TColor value) { RepaintIf(model_.SetForeColor(value)); }
    TColor BackColor() const { return model_.BackColor(); }
    void SetBackColor(TColor value) { RepaintIf(model_.SetBackColor(value)); }
    TColor Color() const { return model_.Color(); }
    void SetColor(TColor value) { RepaintIf(model_.SetColor(value)); }
    bool ParentColor() const { return model_.ParentColor(); }
    void SetParentColor(bool value) { RepaintIf(model_.SetParentColor(value)); }

    std::int32_t Percent() const { return model_.Percent(); }

    // What a paint shows now.
    TGaugeBitmap Picture() const;

    // The window class's procedure.
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    void Paint(HDC dc) const;
    void RepaintIf(bool changed);

    TGaugeModel model_{*this};
    HWND handle_ = nullptr;
    HFONT font_ = nullptr;
    TColor parentColor_ = clBtnFace;  // the dialog-style windows it sits on
};

// The system colours as the gauge's core takes them (0x00RRGGBB).
TRgb SystemColorRgb(TColor systemColor);

// The letters of `text` in `font`, drawn by GDI without antialiasing.
TTextMask GdiTextMask(HFONT font, const std::string& text);
