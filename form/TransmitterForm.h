// The transmitter window's logic, apart from any toolkit: the port and its stored
// settings, the Open and Send commands in their order of steps, the boxes, stop
// signals, and input aimed at Send during an upload. A front-end shows it through a
// TFormView and hands it its commands.
#pragma once

#include "form/FormView.h"
#include "serial/CPort.h"

#include <functional>
#include <string>

class TTransmitterForm {
public:
    // `port` names the device as the port's Port does; the stored form has COM1.
    TTransmitterForm(TFormView& view, std::string port);
    ~TTransmitterForm();  // closes the port
    TTransmitterForm(const TTransmitterForm&) = delete;
    TTransmitterForm& operator=(const TTransmitterForm&) = delete;

    TComPort RS232;

    // The port's stored settings, then `port`; called while the form is being read
    // (see TStoredFormReading), before FinishLoading.
    void ReadStoredPort();
    void FinishLoading();

    void OpenClick();
    void SendClick();
    // True while Send's own click runs: clicks and keys aimed at Send are to be dropped.
    bool HoldsSendInput() const { return holdSendInput_; }

    // A stop signal while the form lives: the port is released as Close releases it,
    // and the program ends with the status a shell expects of that signal.
    void StopSignalArrived();

private:
    class TFormUploadView;

    void EndOnStopSignal(const std::string& report);
    // Runs a command; an error leaving it goes to the application's top-level handler.
    static void RunCommand(const std::function<void()>& command);

    TFormView& view_;
    std::string port_;
    bool holdSendInput_ = false;
};
