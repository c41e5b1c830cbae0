// Program entry of the transmitter window.
#include "app/MessageBoxes.h"
#include "app/Vornver2unit.h"
#include "runtime/ErrorHook.h"
#include "runtime/TextLookup.h"
#include "serial/CPort.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    InitTextLookup();
    InitComErrorMessages();

    QApplication application(argc, argv);
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
    SetApplicationExceptionHandler(nullptr);
    return status;
}
