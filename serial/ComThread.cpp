#include "serial/ComThread.h"

TComThread::TComThread(TCustomComPort& port) : comPort_(port), device_(port.Device())
{
    throw EInvalidOperation("The event thread is not available yet");
}

TComThread::~TComThread() = default;
void TComThread::Stop() {}
void TComThread::Execute() {}
