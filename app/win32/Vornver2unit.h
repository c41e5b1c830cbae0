// The main window on Win32: file name, eight program names, Open and Send, the gauge
// and the status bar, and the port RS232. A view of TTransmitterForm, which holds what
// the window does; the controls are the system's own, made at the stored form's pixels.
#pragma once

#include "app/win32/OpenDialog.h"
#include "form/FormView.h"
#include "form/TransmitterForm.h"
#include "widgets/win32/Gauges.h"

#include <array>
#include <map>
#include <memory>
#include <string>
#include <windows.h>

class TForm1 : private TFormView {
public:
    // Message that runs the work the ports' threads handed to the main thread.
    static constexpr UINT kMainThreadWork = WM_APP + 1;

    // `port` names the device as the port's Port does; the stored form has COM1.
    explicit TForm1(std::string port = "COM1");
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    HWND Handle() const { return handle_; }
    void Show();
    // Dispatches one message taken from the queue, as the window's loop does.
    void Dispatch(MSG& message);

    void OpenClick() { form_.OpenClick(); }
    void SendClick() { form_.SendClick(); }

private:
    TTransmitterForm form_;  // made before RS232, which names its port

public:
    TComPort& RS232 = form_.RS232;
    HWND Open = nullptr, Send = nullptr, File_name = nullptr;
    std::array<HWND, 8> Bank{};  // Bank1 .. Bank8
    TOpenDialog OpenHEX;
    std::unique_ptr<TGauge> Postep;
    HWND StatusBar = nullptr;

    // The window class's procedure.
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void MakeWindow();
    void ReadStoredForm();
    HWND MakeControl(const struct TControlSpec& spec);
    void PaintBevel();
    LRESULT LabelColors(HDC dc, HWND label);
    bool DropsInput(const MSG& message) const;

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

    HWND handle_ = nullptr;
    HFONT formFont_ = nullptr;
    HFONT boldFont_ = nullptr;
    std::map<HWND, COLORREF> labelColors_;
    HWND focused_ = nullptr;  // the control to give the focus back to on activation
};
