// A pseudo-terminal pair: the device under test opens the slave by its path, the test plays
// the other end on the master, which also reads back the speed and framing the device set.
// The pair holds a slave descriptor of its own until ReleaseSlave(), so the master never reads
// a hang-up while the device is closed; after it the device's close is the slave's last close.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <termios.h>
#include <thread>

// The line settings the slave carries, as the master reads them.
struct PtyLine {
    termios Attributes{};
    unsigned InputSpeed = 0, OutputSpeed = 0;  // bit/s, exact also for rates without a Bxxx constant
};

class PtyPair {
public:
    PtyPair();  // throws std::runtime_error when no pair can be made
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& Path() const { return path_; }
    int Master() const { return master_; }
    void ReleaseSlave();
    // Closing the master hangs the slave up, as a pulled-out adapter does.
    void CloseMaster();
    // Bytes the device will receive.
    void Send(std::string_view bytes) const;
    // What the device wrote: up to `count` bytes, collected until `within` has passed.
    std::string Receive(std::size_t count, std::chrono::milliseconds within) const;
    PtyLine Line() const;

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// As the next opener finds the device: still exclusive (TIOCEXCL) or free. Root
// opens an exclusive device all the same, so the flag itself is read.
bool PortIsExclusive(const std::string& path);

// Drains a master on a thread of its own, keeping the bytes (or only counting them).
class PtyReader {
public:
    explicit PtyReader(int master, bool keep = true);
    ~PtyReader();  // stops and joins the thread
    // Stops reading; what the reader holds is final then, the rest stays queued.
    void Stop();
    PtyReader(const PtyReader&) = delete;
    PtyReader& operator=(const PtyReader&) = delete;

    // Blocks until `count` bytes have arrived in all, or `within` has passed.
    bool WaitFor(std::size_t count, std::chrono::milliseconds within) const;
    std::string Bytes() const;

private:
    void Run();

    int master_;
    bool keep_;
    int stop_ = -1;  // eventfd
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::string bytes_;
    std::atomic<std::size_t> total_{0};
    std::thread thread_;
};
