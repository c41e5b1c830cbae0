// The main window: file name, eight program names, Open and Send, the gauge and
// the status bar, and the port RS232. A Qt view of TTransmitterForm, which holds
// what the window does.
#pragma once

#include "form/FormView.h"
#include "form/TransmitterForm.h"
#include "ui_Vornver2unit.h"

#include <QWidget>
#include <string>

class QFileDialog;

class TForm1 : public QWidget, public Ui::TForm1, private TFormView {
    Q_OBJECT

public:
    // `port` names the device as the port's Port does; the stored form has COM1.
    explicit TForm1(QWidget* parent = nullptr, std::string port = "COM1");
    ~TForm1() override;

    QFileDialog* OpenHEX;

private:
    TTransmitterForm form_;  // made before RS232, which names its port

public:
    TComPort& RS232 = form_.RS232;

public slots:
    void OpenClick() { form_.OpenClick(); }
    void SendClick() { form_.SendClick(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ReadStoredForm();
    void MakeOpenDialog();
    void PlaceOpenDialog();
    void CentreOnDesktop();
    void WatchStopSignals();

    // TFormView
    std::string FileName() const override;
    void SetFileName(const std::string& path) override;
    TBankNames BankNames() const override;
    std::optional<std::string> ChooseHexFile() override;
    void SetProgress(std::int32_t value) override;
    void SetStatusText(const std::string& text) override;
    void SetSendEnabled(bool enabled) override;
    void ShowBox(const std::string& caption, const std::string& message) override;
    void DeliverQueuedInput() override;
    void Quit(int status) override;
};
