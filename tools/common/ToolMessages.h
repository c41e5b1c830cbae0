// How the tools name what failed: what it was about first, then the message, then
// the system's own explanation where there is one.
#pragma once

#include "upload/SharedReadFile.h"
#include "runtime/Exception.h"

#include <string>

// The input as messages name it: its path, or "standard input".
std::string InputName(const THexSource& source);

// "subject: message: explanation", leaving out what is empty.
std::string ErrorAbout(const std::string& subject, const std::string& message, const std::string& explanation = {});

// A file layer's error about `subject`, with its explanation.
std::string ErrorAbout(const std::string& subject, const EInOutError& error);
