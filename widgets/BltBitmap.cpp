#include "widgets/BltBitmap.h"

#include "widgets/Colors.h"

#include <QGuiApplication>

void TBltBitmap::MakeLike(const QImage& tmpl, const QPalette& palette)
{
    QImage::operator=(QImage(tmpl.width(), tmpl.height(), QImage::Format_RGB32));
    fill(ColorToQColor(clWindowFrame, palette));
}

void TBltBitmap::MakeLike(const QImage& tmpl)
{
    MakeLike(tmpl, qGuiApp ? QGuiApplication::palette() : QPalette(Qt::black));
}
