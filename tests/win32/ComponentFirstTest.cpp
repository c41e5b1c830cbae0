// The component's header before <windows.h>: the system's macros that name members of
// the component's (SetPort) still reach them.
#include "serial/CPort.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(ComponentFirst, SetPortWrittenAfterTheSystemsHeaderSetsThePort)
{
    TComPort port;
    port.SetPort("COM7");
    EXPECT_EQ(port.Port(), "COM7");
}

} // namespace
