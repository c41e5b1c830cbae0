// The main window: file name, eight program names, Open and Send, the gauge and
// the status bar, and the port RS232.
#pragma once

#include "serial/CPort.h"
#include "ui_Vornver2unit.h"

#include <QWidget>
#include <functional>
#include <string>

class QFileDialog;

class TForm1 : public QWidget, public Ui::TForm1 {
    Q_OBJECT

public:
    // `port` names the device as the port's Port does; the stored form has COM1.
    explicit TForm1(QWidget* parent = nullptr, std::string port = "COM1");
    ~TForm1() override;

    QFileDialog* OpenHEX;
    TComPort RS232;

public slots:
    void OpenClick();
    void SendClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class TWindowUploadView;

    void ReadStoredForm();
    void MakeOpenDialog();
    void PlaceOpenDialog();
    void CentreOnDesktop();
    void DropHeldSendInput();
    void WatchStopSignals();
    void EndOnStopSignal(const std::string& report);
    // Runs a command; an error leaving it goes to the application's top-level handler.
    static void RunCommand(const std::function<void()>& command);

    std::string port_;
    bool holdSendInput_ = false;
};
