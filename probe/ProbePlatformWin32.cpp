#include "ProbePlatform.h"

#include <windows.h>

namespace regprobe::platform {

const Handle InvalidHandle = INVALID_HANDLE_VALUE;

namespace {

// Runs one overlapped read or write to its end and returns the bytes moved.
template <typename Start> int overlapped(Handle handle, Start start) {
    OVERLAPPED done{};
    done.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!done.hEvent)
        return NoCompletionEvent;
    DWORD moved = 0;
    if (!start(&done, &moved)) {
        moved = 0;
        if (::GetLastError() != ERROR_IO_PENDING ||
            !::GetOverlappedResult(handle, &done, &moved, TRUE))
            moved = 0;
    }
    ::CloseHandle(done.hEvent);
    return int(moved);
}

} // namespace

Handle OpenExclusive(const QString& devicePath) {
    if (devicePath.isEmpty())
        return InvalidHandle;
    // COM10 and above are reachable only through the device namespace; it serves COM1 as well.
    const QString name = devicePath.startsWith(QLatin1String("\\\\"))
                             ? devicePath
                             : QStringLiteral("\\\\.\\") + devicePath;
    return ::CreateFileW(reinterpret_cast<LPCWSTR>(name.utf16()), GENERIC_READ | GENERIC_WRITE, 0,
                         nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
}

bool ClosePortHandle(Handle handle) {
    return ::CloseHandle(handle) != 0;
}

bool SetQueuesAndTimeouts(Handle handle, int queueBytes, int writeMsPerByte, int writeConstantMs) {
    if (!::SetupComm(handle, DWORD(queueBytes), DWORD(queueBytes)))
        return false;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutMultiplier = DWORD(writeMsPerByte);
    timeouts.WriteTotalTimeoutConstant = DWORD(writeConstantMs);
    return ::SetCommTimeouts(handle, &timeouts) != 0;
}

bool ApplyLineSettings(Handle handle, const LineSettings& settings) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle, &dcb))
        return false;
    dcb.fBinary = TRUE;
    dcb.fParity = TRUE;
    dcb.BaudRate = DWORD(settings.baud);
    dcb.ByteSize = BYTE(settings.dataBits);
    dcb.Parity = settings.parity == Parity::Odd    ? ODDPARITY
                 : settings.parity == Parity::Even ? EVENPARITY
                                                   : NOPARITY;
    dcb.StopBits = settings.stopBits == StopBits::OneAndHalf ? ONE5STOPBITS
                   : settings.stopBits == StopBits::Two      ? TWOSTOPBITS
                                                             : ONESTOPBIT;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    return ::SetCommState(handle, &dcb) != 0;
}

int BytesWaiting(Handle handle) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(handle, &errors, &status))
        return -1;
    return int(status.cbInQue);
}

int ReadWaiting(Handle handle, std::uint8_t* buffer, int maxBytes) {
    return overlapped(handle, [&](OVERLAPPED* done, DWORD* moved) {
        return ::ReadFile(handle, buffer, DWORD(maxBytes), moved, done) != 0;
    });
}

int WriteBytes(Handle handle, const std::uint8_t* bytes, int count, int) {
    // The driver enforces the write deadline set by SetQueuesAndTimeouts.
    return overlapped(handle, [&](OVERLAPPED* done, DWORD* moved) {
        return ::WriteFile(handle, bytes, DWORD(count), moved, done) != 0;
    });
}

void Purge(Handle handle) {
    ::PurgeComm(handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
}

void ClearErrors(Handle handle) {
    DWORD errors = 0;
    ::ClearCommError(handle, &errors, nullptr);
}

PortEventWait::PortEventWait() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
}

PortEventWait::~PortEventWait() {
    if (event_)
        ::CloseHandle(event_);
}

bool PortEventWait::valid() const {
    return event_ != nullptr;
}

PortEventWait::Outcome PortEventWait::wait(Handle handle) {
    OVERLAPPED pending{};
    pending.hEvent = event_;
    DWORD events = 0;
    if (!::WaitCommEvent(handle, &events, &pending)) {
        DWORD unused = 0;
        if (::GetLastError() != ERROR_IO_PENDING ||
            !::GetOverlappedResult(handle, &pending, &unused, TRUE))
            return Outcome::Failed;
    }
    // An emptied event mask ends the wait with no event in it.
    return (events & EV_RXCHAR) ? Outcome::Received : Outcome::Woken;
}

void PortEventWait::wake(Handle handle) {
    ::SetCommMask(handle, 0);
}

void PortEventWait::rearm(Handle handle) {
    ::SetCommMask(handle, EV_RXCHAR);
}

} // namespace regprobe::platform
