// The progress gauge's state, free of any window: an integer value within a range, how
// it is drawn, and when a change needs a new picture. Each setter returns true when the
// picture changed; the window then draws at once.
#pragma once

#include "gauge/GaugeColors.h"
#include "gauge/GaugePicture.h"
#include "gauge/GaugeTypes.h"
#include "runtime/Component.h"

#include <cstdint>

class TGaugeModel {
public:
    // While `component` is Loading the range checks wait, so stored properties may
    // arrive in any order.
    explicit TGaugeModel(const TComponent& component) : component_(component) {}

    std::int32_t MinValue() const { return minValue_; }
    // Raises EInvalidOperation when above MaxValue (not while Loading).
    bool SetMinValue(std::int32_t value);
    std::int32_t MaxValue() const { return maxValue_; }
    // Raises EInvalidOperation when below MinValue (not while Loading).
    bool SetMaxValue(std::int32_t value);
    std::int32_t Progress() const { return progress_; }
    // Clamps to the range; true only when the whole percentage changes.
    bool SetProgress(std::int32_t value);
    TGaugeKind Kind() const { return kind_; }
    bool SetKind(TGaugeKind value);
    bool ShowText() const { return showText_; }
    bool SetShowText(bool value);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    bool SetBorderStyle(TBorderStyle value);
    TColor ForeColor() const { return foreColor_; }
    bool SetForeColor(TColor value);
    TColor BackColor() const { return backColor_; }
    bool SetBackColor(TColor value);
    // Setting Color clears ParentColor, even to the value it has.
    TColor Color() const { return color_; }
    bool SetColor(TColor value);
    bool ParentColor() const { return parentColor_; }
    bool SetParentColor(bool value);

    // The whole percentage of the range covered, 0..100.
    std::int32_t Percent() const;

    // What a picture of width × height shows; `parentColor` stands in for Color while ParentColor is true.
    TGaugeLook Look(int width, int height, const TSystemColorResolver& resolve, TRgb parentColor) const;

private:
    const TComponent& component_;
    std::int32_t minValue_ = 0;
    std::int32_t maxValue_ = 100;
    std::int32_t progress_ = 0;
    TGaugeKind kind_ = gkHorizontalBar;
    bool showText_ = true;
    TBorderStyle borderStyle_ = bsSingle;
    TColor foreColor_ = clBlack;
    TColor backColor_ = clWhite;
    TColor color_ = clWindow;
    bool parentColor_ = true;
};
