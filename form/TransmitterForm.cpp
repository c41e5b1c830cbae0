#include "form/TransmitterForm.h"

#include "form/BoxTexts.h"
#include "runtime/ErrorHook.h"
#include "runtime/StopSignals.h"
#include "runtime/Utf8Path.h"
#include "upload/TransmitterPort.h"
#include "upload/Upload.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

// The upload's view of the form: its controls, and the missing file's "Error" box.
class TTransmitterForm::TFormUploadView : public TUploadView {
public:
    explicit TFormUploadView(TFormView& view) : view_(view) {}

    void SetProgress(std::int32_t value) override { view_.SetProgress(value); }
    void SetStatusText(const std::string& text) override { view_.SetStatusText(text); }
    void SetSendEnabled(bool enabled) override { view_.SetSendEnabled(enabled); }
    void ShowMissingFile(const std::string& message) override { view_.ShowBox(ErrorCaption(), message); }

private:
    TFormView& view_;
};

TTransmitterForm::TTransmitterForm(TFormView& view, std::string port)
    : RS232(nullptr), view_(view), port_(std::move(port))
{
}

TTransmitterForm::~TTransmitterForm()
{
    RunCommand([this] { RS232.Close(); });
}

void TTransmitterForm::ReadStoredPort()
{
    RS232.BeginLoading();
    LoadTransmitterPortSettings(RS232);
    RS232.SetPort(port_);
}

void TTransmitterForm::FinishLoading()
{
    RunCommand([this] { RS232.FinishLoading(); });
}

void TTransmitterForm::OpenClick()
{
    RunCommand([this] {
        const std::optional<std::string> path = view_.ChooseHexFile();
        if (!path)
            return;
        view_.SetFileName(*path);
        // The next dialog and relative names start from the file's folder; a folder
        // that cannot be entered leaves the current one.
        std::error_code ignored;
        const auto folder = std::filesystem::absolute(PathFromUtf8(*path), ignored).parent_path();
        std::filesystem::current_path(folder, ignored);
    });
}

void TTransmitterForm::SendClick()
{
    holdSendInput_ = true;
    const TBankNames names = view_.BankNames();
    TFormUploadView uploadView(view_);
    RunCommand([&] {
        try {
            RunUpload(RS232, view_.FileName(), names, uploadView);
        } catch (const EUploadStopped& stop) {
            EndOnStopSignal(stop.what());
        }
    });
    // Clicks and keys aimed at Send while the upload kept the loop busy are still
    // queued, and Send is enabled again: delivered now, while they are held, they
    // start no second upload.
    view_.DeliverQueuedInput();
    holdSendInput_ = false;
}

void TTransmitterForm::StopSignalArrived()
{
    EndOnStopSignal({});
}

void TTransmitterForm::EndOnStopSignal(const std::string& report)
{
    RunCommand([this] { RS232.Close(); });
    if (!report.empty())
        std::fprintf(stderr, "vorn-transmitter: %s\n", report.c_str());
    view_.Quit(ExitStatusFor(TStopSignals::Received()));
}

void TTransmitterForm::RunCommand(const std::function<void()>& command)
{
    try {
        command();
    } catch (...) {
        HandleCurrentException();
    }
}
