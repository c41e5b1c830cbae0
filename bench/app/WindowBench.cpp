// Measures of the window program: start-up to the window shown (offscreen), and an
// upload of 65,600 lines through a pseudo-terminal with the paints of its gauge.
#include "app/Vornver2unit.h"
#include "runtime/TextLookup.h"
#include "serial/CPort.h"
#include "PtyPair.h"
#include "TempDir.h"

#include <QApplication>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};

std::string HexFile(std::size_t lines)
{
    std::string text;
    char line[48];
    for (std::size_t i = 0; i < lines; ++i) {
        std::snprintf(line, sizeof line, ":04%04X00%08X%02X\n", unsigned(i * 4 & 0xFFFF), unsigned(i), unsigned(i & 0xFF));
        text += line;
    }
    return text + ":00000001FF\n";
}

void MeasureUpload(TForm1& form)
{
    TempDir dir;
    PtyPair pty;
    setenv("COM1_DEVICE", pty.Path().c_str(), 1);
    form.File_name->setText(QString::fromStdString(dir.Write("long.hex", HexFile(65600)).string()));
    PtyReader reader(pty.Master(), false);
    PaintCounter counter(form.Postep);
    const auto start = Clock::now();
    form.Send->click();
    const bool all = reader.WaitFor(65600 * 4 + 128, std::chrono::seconds(60));
    std::printf("upload of 65,600 lines (262,528 bytes) through a pseudo-terminal: %.0f ms, %s, "
                "%d gauge paints\n",
                MillisecondsSince(start), all ? "all bytes arrived" : "BYTES MISSING", counter.paints);
}

} // namespace

int main(int argc, char* argv[])
{
    const auto start = Clock::now();
    InitTextLookup();
    InitComErrorMessages();
    QApplication application(argc, argv);
    TForm1 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    std::printf("start-up to the window shown (offscreen): %.1f ms\n", MillisecondsSince(start));
    MeasureUpload(form);
    return 0;
}
