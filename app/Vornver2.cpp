// Program entry of the transmitter window.
#include "app/MessageBoxes.h"
#include "app/Vornver2unit.h"
#include "runtime/ErrorHook.h"
#include "runtime/MainThread.h"
#include "runtime/StopSignals.h"
#include "runtime/TextLookup.h"
#include "serial/CPort.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    InitTextLookup();
    InitComErrorMessages();
    // Made on the main thread, where the upload runs: a stop signal that another
    // thread takes is passed on to it.
    TStopSignals stopSignals;

    SetMainThread();
    QApplication application(argc, argv);
    // Work the ports' event threads hand to the main thread runs from the message loop.
    SetMainThreadWakeup([] {
        QMetaObject::invokeMethod(qApp, [] { ProcessMainThreadWork(); }, Qt::QueuedConnection);
    });
    QApplication::setApplicationName("vorn-transmitter");
    QGuiApplication::setDesktopFileName("vorn-transmitter");
    SetApplicationExceptionHandler([](const std::exception& error) {
        ShowTopLevelErrorBox(QApplication::activeWindow(), error.what());
    });

    int status;
    {
        TForm1 form;
        form.show();
        status = QApplication::exec();
    }
    SetMainThreadWakeup(nullptr);
    SetApplicationExceptionHandler(nullptr);
    return status;
}
