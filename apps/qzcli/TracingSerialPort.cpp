#include "TracingSerialPort.h"

#include <cstdio>

bool TracingSerialPort::readAll(QByteArray& bytes) {
    const bool ok = port_.readAll(bytes);
    if (ok && !bytes.isEmpty())
        trace("<", bytes);
    return ok;
}

bool TracingSerialPort::write(const QByteArray& bytes) {
    trace(">", bytes);
    return port_.write(bytes);
}

void TracingSerialPort::trace(const char* direction, const QByteArray& bytes) {
    std::fprintf(stderr, "%8lld ms %s %s\n", static_cast<long long>(clock_.elapsed()), direction,
                 bytes.toHex(' ').toUpper().constData());
}
