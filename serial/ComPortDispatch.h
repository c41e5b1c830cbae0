// The line events as the dispatch knows them: each event's mask bit and handling step.
#pragma once

#include "serial/CPort.h"

#include <array>

struct TComEventStep {
    TComEvent Event;
    comm::DWORD MaskBit;
    void (TCustomComPort::*Step)();
};

// Every event, in the order the steps run.
extern const std::array<TComEventStep, 10> ComEventSteps;
