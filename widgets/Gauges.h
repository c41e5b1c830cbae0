// The progress gauge: an integer value within a range drawn as a percentage, a bar,
// a pie or a needle, with the whole percentage written over it in inverted colours.
//
// A windowless widget that presents the picture its core (gauge/GaugeModel.h) composes.
// Its setters draw at once (QWidget::repaint) when the core says the picture changed,
// so the gauge shows progress while the main thread stays busy. A gauge created while
// a TStoredFormReading lives begins Loading: the range checks wait until FinishLoading,
// so stored properties may arrive in any order.
#pragma once

#include "gauge/GaugeModel.h"
#include "runtime/Component.h"
#include "widgets/Colors.h"

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

    std::int32_t MinValue() const { return model_.MinValue(); }
    // Raises EInvalidOperation when above MaxValue (not while Loading).
    void SetMinValue(std::int32_t value);
    std::int32_t MaxValue() const { return model_.MaxValue(); }
    // Raises EInvalidOperation when below MinValue (not while Loading).
    void SetMaxValue(std::int32_t value);
    std::int32_t Progress() const { return model_.Progress(); }
    // Clamps to the range; draws only when the whole percentage changes.
    void SetProgress(std::int32_t value);
    TGaugeKind Kind() const { return model_.Kind(); }
    void SetKind(TGaugeKind value);
    bool ShowText() const { return model_.ShowText(); }
    void SetShowText(bool value);
    TBorderStyle BorderStyle() const { return model_.BorderStyle(); }
    void SetBorderStyle(TBorderStyle value);
    TColor ForeColor() const { return model_.ForeColor(); }
    void SetForeColor(TColor value);
    TColor BackColor() const { return model_.BackColor(); }
    void SetBackColor(TColor value);
    // The gauge's own colour, behind pie and dial. While ParentColor is true the
    // parent's window colour is drawn instead; setting Color clears ParentColor.
    TColor Color() const { return model_.Color(); }
    void SetColor(TColor value);
    bool ParentColor() const { return model_.ParentColor(); }
    void SetParentColor(bool value);

    // The whole percentage of the range covered, 0..100.
    std::int32_t Percent() const { return model_.Percent(); }

    // The picture Paint copies onto the gauge, composed off-screen.
    QImage Picture() const;

protected:
    // Draws the gauge; called for every paint event, which repaint() delivers at once.
    virtual void Paint();
    void paintEvent(QPaintEvent* event) override;

private:
    // Draws at once when the core says the picture changed.
    void RepaintIf(bool changed);

    TGaugeModel model_{*this};
};
