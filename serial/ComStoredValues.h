// The saved settings of a port, walked in the one order every save and load uses.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class TCustomComPort;

// Receives each saved value of the selected groups in turn: its name, its present
// form and a setter that converts a read form back and hands it to the port.
class TStoredValueVisitor {
public:
    using TTextSetter = std::function<void(const std::string&)>;
    using TIntegerSetter = std::function<void(std::int32_t)>;

    virtual ~TStoredValueVisitor() = default;
    virtual void Text(const char* name, const std::string& present, const TTextSetter& set) = 0;
    // `loadDefault` stands in for a missing value where a load has defaults.
    virtual void Integer(const char* name, std::int32_t present, std::int32_t loadDefault,
                         const TIntegerSetter& set) = 0;
};

// Groups in the order basic, others, parity, buffer, time-outs, flow control; a group
// not in the port's StoredGroups is skipped whole. "CustomBaudRate" is visited only
// while BaudRate is brCustom, checked after "BaudRate" has been visited (and so, on a
// load, set).
void VisitStoredValues(TCustomComPort& port, TStoredValueVisitor& visitor);
