#include "gauge/GaugeModel.h"

#include "gauge/GaugeMath.h"
#include "runtime/Exception.h"
#include "runtime/Format.h"
#include "runtime/StoreIfChanged.h"
#include "runtime/TextLookup.h"

#include <algorithm>

namespace {

EInvalidOperation RangeError(std::int64_t low, std::int64_t high)
{
    return EInvalidOperation(FormatTemplate(RuntimeText("Value must be between %d and %d"), {low, high}));
}

} // namespace

std::int32_t TGaugeModel::Percent() const
{
    return GaugePercent(progress_, minValue_, maxValue_);
}

bool TGaugeModel::SetMinValue(std::int32_t value)
{
    if (value == minValue_)
        return false;
    if (value > maxValue_ && !component_.Loading())
        throw RangeError(-2147483647, std::int64_t{maxValue_} - 1);
    minValue_ = value;
    progress_ = std::max(progress_, value);
    return true;
}

bool TGaugeModel::SetMaxValue(std::int32_t value)
{
    if (value == maxValue_)
        return false;
    if (value < minValue_ && !component_.Loading())
        throw RangeError(std::int64_t{minValue_} + 1, 2147483647);
    maxValue_ = value;
    progress_ = std::min(progress_, value);
    return true;
}

bool TGaugeModel::SetProgress(std::int32_t value)
{
    const std::int32_t before = Percent();
    // Not std::clamp: an inverted range a stored form leaves is no precondition failure.
    if (value < minValue_)
        value = minValue_;
    else if (value > maxValue_)
        value = maxValue_;
    return StoreIfChanged(progress_, value) && Percent() != before;
}

bool TGaugeModel::SetKind(TGaugeKind value)
{
    return value <= gkNeedle && StoreIfChanged(kind_, value);
}

bool TGaugeModel::SetShowText(bool value)
{
    return StoreIfChanged(showText_, value);
}

bool TGaugeModel::SetBorderStyle(TBorderStyle value)
{
    return value <= bsSingle && StoreIfChanged(borderStyle_, value);
}

bool TGaugeModel::SetForeColor(TColor value)
{
    return StoreIfChanged(foreColor_, value);
}

bool TGaugeModel::SetBackColor(TColor value)
{
    return StoreIfChanged(backColor_, value);
}

bool TGaugeModel::SetColor(TColor value)
{
    if (value == color_ && !parentColor_)
        return false;
    color_ = value;
    parentColor_ = false;
    return true;
}

bool TGaugeModel::SetParentColor(bool value)
{
    return StoreIfChanged(parentColor_, value);
}

TGaugeLook TGaugeModel::Look(int width, int height, const TSystemColorResolver& resolve, TRgb parentColor) const
{
    TGaugeLook look;
    look.width = width;
    look.height = height;
    look.kind = kind_;
    look.showText = showText_;
    look.borderStyle = borderStyle_;
    look.foreColor = ResolveColor(foreColor_, resolve);
    look.backColor = ResolveColor(backColor_, resolve);
    look.color = parentColor_ ? parentColor & 0xFFFFFFu : ResolveColor(color_, resolve);
    look.percent = Percent();
    return look;
}
