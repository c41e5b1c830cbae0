// The transmitter's port as the window stores it: COM1, 600 bit/s, 8N1, no flow
// control, eight events, handlers on the event thread.
#pragma once

class TComPort;

// Gives `port` the stored settings. The caller brackets it with BeginLoading and
// FinishLoading when the port is being read as part of a window.
void LoadTransmitterPortSettings(TComPort& port);
