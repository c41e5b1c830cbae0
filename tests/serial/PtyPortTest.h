// A port of the system device layer on a fresh pseudo-terminal (Linux only).
#pragma once

#include "SerialTest.h"
#include "PtyPair.h"

// A closed port on a pseudo-terminal, with no events and no hand-over selected, on the
// given device layer (the system's by default).
class PtyPortTest : public ::testing::Test {
protected:
    explicit PtyPortTest(TComDevice* device = nullptr) : port(nullptr, device)
    {
        port.SetPort(pty.Path());
        port.SetEvents({});
        port.SetSyncMethod(smNone);
    }

    PtyPair pty;
    EventLog log;  // outlives the port's handlers
    TComPort port;
};
