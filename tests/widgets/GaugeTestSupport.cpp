#include "GaugeTestSupport.h"

QString Sketch(const QImage& image)
{
    QString rows;
    for (int y = 0; y < image.height(); ++y) {
        rows += QLatin1Char('\n');
        for (int x = 0; x < image.width(); ++x) {
            const unsigned rgb = Rgb(image, x, y);
            rows += QLatin1Char(rgb == kBlack ? '#' : rgb == kWhite ? '.' : 'o');
        }
    }
    return rows;
}
