// The progress gauge: an integer value within a range drawn as a percentage, a bar,
// a pie or a needle, with the whole percentage written over it in inverted colours.
//
// A windowless widget: it paints onto its parent's surface. Its setters draw at once
// (QWidget::repaint), so the gauge shows progress while the main thread stays busy.
// A gauge created while a TStoredFormReading lives begins Loading: the range checks
// wait until FinishLoading, so stored properties may arrive in any order.
#pragma once

#include "runtime/Component.h"
#include "widgets/BltBitmap.h"
#include "widgets/Colors.h"
#include "widgets/GaugeTypes.h"

#include <QImage>
#include <QWidget>
#include <cstdint>

class TGauge : public QWidget, public TComponent {
    Q_OBJECT
    Q_PROPERTY(int MinValue READ MinValue WRITE SetMinValue)
    Q_PROPERTY(int MaxValue READ MaxValue WRITE SetMaxValue)
    Q_PROPERTY(int Progress READ Progress WRITE SetProgress)
    Q_PROPERTY(TGaugeKind Kind READ Kind WRITE SetKind)
    Q_PROPERTY(bool ShowText READ ShowText WRITE SetShowText)
    Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
    Q_PROPERTY(uint ForeColor READ ForeColor WRITE SetForeColor)
    Q_PROPERTY(uint BackColor READ BackColor WRITE SetBackColor)
    Q_PROPERTY(uint Color READ Color WRITE SetColor)
    Q_PROPERTY(bool ParentColor READ ParentColor WRITE SetParentColor)
    Q_PROPERTY(int Percent READ Percent)

public:
    // A Designer file names the members as TGauge::gkPie, TGauge::bsNone.
    using enum TGaugeKind;
    using enum TBorderStyle;

    // 100 × 100 pixels, range 0..100 at 0, a bordered horizontal bar with its text.
    explicit TGauge(QWidget* parent = nullptr, TComponent* owner = nullptr);

    std::int32_t MinValue() const { return minValue_; }
    // Raises EInvalidOperation when above MaxValue (not while Loading).
    void SetMinValue(std::int32_t value);
    std::int32_t MaxValue() const { return maxValue_; }
    // Raises EInvalidOperation when below MinValue (not while Loading).
    void SetMaxValue(std::int32_t value);
    std::int32_t Progress() const { return progress_; }
    // Clamps to the range; draws only when the whole percentage changes.
    void SetProgress(std::int32_t value);
    TGaugeKind Kind() const { return kind_; }
    void SetKind(TGaugeKind value);
    bool ShowText() const { return showText_; }
    void SetShowText(bool value);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle value);
    TColor ForeColor() const { return foreColor_; }
    void SetForeColor(TColor value);
    TColor BackColor() const { return backColor_; }
    void SetBackColor(TColor value);
    // The gauge's own colour, behind pie and dial. While ParentColor is true the
    // parent's window colour is drawn instead; setting Color clears ParentColor.
    TColor Color() const { return color_; }
    void SetColor(TColor value);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool value);

    // The whole percentage of the range covered, 0..100.
    std::int32_t Percent() const;

    // The picture Paint copies onto the gauge, composed off-screen.
    QImage Picture() const;

protected:
    // Draws the gauge; called for every paint event, which repaint() delivers at once.
    virtual void Paint();
    void paintEvent(QPaintEvent* event) override;

private:
    void RepaintNow();

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
