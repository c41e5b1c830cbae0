#include "ErrorHook.h"

#include "Exception.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex gMutex;
ExceptionHandler gHandler;

void WriteToStderr(const char* message) noexcept
{
    std::fprintf(stderr, "%s\n", message);
}

} // namespace

void SetApplicationExceptionHandler(ExceptionHandler handler)
{
    std::lock_guard lock(gMutex);
    gHandler = std::move(handler);
}

void HandleApplicationException(const std::exception& error) noexcept
{
    ExceptionHandler handler;
    {
        std::lock_guard lock(gMutex);
        handler = gHandler;
    }
    if (!handler) {
        WriteToStderr(error.what());
        return;
    }
    try {
        handler(error);
    } catch (const std::exception& nested) {
        WriteToStderr(error.what());
        WriteToStderr(nested.what());
    } catch (...) {
        WriteToStderr(error.what());
    }
}

void HandleCurrentException() noexcept
{
    try {
        throw;
    } catch (const std::exception& error) {
        HandleApplicationException(error);
    } catch (...) {
        HandleApplicationException(Exception("Unknown error"));
    }
}
