// The application's top-level error handler, reached from code below the GUI.
#pragma once

#include <exception>
#include <functional>

using ExceptionHandler = std::function<void(const std::exception&)>;

// The application sets its handler (the message box); the default writes the
// message to standard error. An empty handler restores the default.
void SetApplicationExceptionHandler(ExceptionHandler handler);

// Hands an error to the handler. Never throws: a failing handler is reported on
// standard error.
void HandleApplicationException(const std::exception& error) noexcept;

// For a catch (...) block: hands the exception in flight to the handler.
void HandleCurrentException() noexcept;
