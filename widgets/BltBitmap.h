// An off-screen image for the gauge's overlays.
#pragma once

#include <QImage>
#include <QPalette>

class TBltBitmap : public QImage {
public:
    TBltBitmap() = default;

    // Takes the template's width and height and fills itself with clWindowFrame,
    // resolved from `palette`.
    void MakeLike(const QImage& tmpl, const QPalette& palette);
    // The same with the application's palette.
    void MakeLike(const QImage& tmpl);
};
