// The pseudo-terminal whose slave side is the transmitter's port.
//
// When the slave's last opener closes, the master reports a hang-up until
// someone opens the slave again, so a poll on it would spin. The unit therefore
// holds a slave descriptor of its own while no upload is in progress, and lets go
// of it once bytes arrive: the transmitter's close then reaches the master as a
// hang-up, after every byte written before it (exact, no timer, no guess).
#pragma once

#include "runtime/FileDescriptor.h"

#include <string>

class PtyPair {
public:
    // Opens the pair and holds the slave. Throws std::system_error.
    PtyPair();

    int Master() const noexcept { return static_cast<int>(master_.Get()); }
    const std::string& SlavePath() const noexcept { return slavePath_; }
    bool Holding() const noexcept { return slave_.IsOpen(); }

    // Opens the unit's own slave descriptor again unless it is open. It holds no
    // lock, so the transmitter's TIOCEXCL and flock still succeed after it. When
    // another program has the slave open in exclusive mode, the unit does without
    // (that program's close brings the next hang-up). Throws std::runtime_error
    // when nobody has the slave open yet it stays exclusive: a transmitter ended
    // without TIOCNXCL and only root could open the port now.
    void Hold();
    void Release() noexcept { slave_.Reset(); }

private:
    bool MasterHungUp() const;

    TFd master_;
    TFd slave_;
    std::string slavePath_;
};
