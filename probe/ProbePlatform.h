#pragma once

#include <QString>
#include <cstdint>

// The few platform calls the probe engine makes, kept apart so that a Windows version (CreateFile,
// SetCommState, WaitCommEvent, PurgeComm) can sit beside the POSIX one without touching the engine.
namespace regprobe::platform {

#ifdef _WIN32
using Handle = void*;
#else
using Handle = int;
#endif
extern const Handle InvalidHandle;

enum class StopBits { One, OneAndHalf, Two };
enum class Parity { None, Odd, Even };

struct LineSettings {
    int baud = 9600;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;
    Parity parity = Parity::None;
};

// Opens the device for reading and writing, for this process alone; InvalidHandle when it is
// missing or already in use.
Handle OpenExclusive(const QString& devicePath);
bool ClosePortHandle(Handle handle);

// Driver queue sizes, and reads that return at once with what has arrived.
bool SetQueuesAndTimeouts(Handle handle, int queueBytes, int writeMsPerByte, int writeConstantMs);
// Binary mode, parity checking on, the given line, no flow control, RTS asserted; everything else
// as the port had it.
bool ApplyLineSettings(Handle handle, const LineSettings& settings);

// Bytes waiting in the input queue, -1 when the port cannot be asked.
int BytesWaiting(Handle handle);
// What ReadWaiting and WriteBytes return when the platform could not even make the completion
// event of the transfer: nothing moved, and the user is told why.
constexpr int NoCompletionEvent = -1;
// Takes what waits, at most maxBytes, without waiting for more.
int ReadWaiting(Handle handle, std::uint8_t* buffer, int maxBytes);
// Writes all bytes within timeoutMs (the time SetQueuesAndTimeouts allows for them); returns how
// many went out.
int WriteBytes(Handle handle, const std::uint8_t* bytes, int count, int timeoutMs);
// Drops whatever is still queued in either direction.
void Purge(Handle handle);
void ClearErrors(Handle handle);

// The watcher's wait for received bytes, which another thread can break off.
class PortEventWait {
public:
    PortEventWait();
    ~PortEventWait();
    PortEventWait(const PortEventWait&) = delete;
    PortEventWait& operator=(const PortEventWait&) = delete;

    bool valid() const;
    enum class Outcome { Received, Woken, Failed };
    // Blocks until bytes arrive on the port or wake() is called.
    Outcome wait(Handle handle);
    // Makes a pending (or the next) wait return Woken.
    void wake(Handle handle);
    // Watches the freshly opened port for received bytes, forgetting an earlier wake().
    void rearm(Handle handle);

private:
#ifdef _WIN32
    void* event_ = nullptr;
#else
    int wakeFd_ = -1;
#endif
};

} // namespace regprobe::platform
