#pragma once

#include <QtGlobal>
#include <optional>

namespace kiro {

class DriveLink;

// The retry loops of the parameter settings window around the link's send, wait T, receive
// pattern, at station 1, one register at a time. Each loop stops early when the port itself has
// failed: the link has told the user already, and asking a missing port again changes nothing.
class ParamsTransactions {
public:
    enum class Settle { Wait, NoWait }; // one more wait T after a success

    explicit ParamsTransactions(DriveLink& link) : link_(link) {}

    // The register's unsigned content, read with up to 12 attempts and settled; empty on failure.
    std::optional<quint16> read(quint16 address);
    // Writes value (rounded to a register word by the link); false when every attempt failed.
    bool write(quint16 address, float value, int attempts, Settle settle);
    // The wait T of the last request.
    void settleWait();

private:
    bool transact(quint8 function, quint16 address, float value, int attempts);

    DriveLink& link_;
};

} // namespace kiro
