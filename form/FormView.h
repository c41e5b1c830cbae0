// What the transmitter form's logic needs of a window: the texts it reads, the controls
// it sets, the dialog and the boxes it shows. A toolkit implements it; the logic is in
// TTransmitterForm. Every call takes effect before it returns: during an upload the
// message loop stands still.
#pragma once

#include "upload/UploadStream.h"

#include <cstdint>
#include <optional>
#include <string>

class TFormView {
public:
    virtual ~TFormView() = default;

    // File_name's text and the eight program names, as UTF-8.
    virtual std::string FileName() const = 0;
    virtual void SetFileName(const std::string& path) = 0;
    virtual TBankNames BankNames() const = 0;
    // The Open dialog, run modally: the chosen path, or nothing when it was cancelled.
    virtual std::optional<std::string> ChooseHexFile() = 0;

    virtual void SetProgress(std::int32_t value) = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void SetSendEnabled(bool enabled) = 0;
    // A modal box with the stop icon and one OK button, default and cancel.
    virtual void ShowBox(const std::string& caption, const std::string& message) = 0;

    // Delivers the input the message loop holds queued, then returns.
    virtual void DeliverQueuedInput() = 0;
    // Ends the message loop; the program then exits with `status`.
    virtual void Quit(int status) = 0;
};
