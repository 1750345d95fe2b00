#pragma once

#include <QString>

namespace kiro {

class DriveLink;

// Opening the tuner's port and proving the link, as the communication window does before the
// port counts as open: the port takes the link's PortNumber and PortSettings in binary mode,
// BaudKilo follows the settings, and one read of register 0 must bring a reply. The test asks only
// that a reply arrived, not that it passed every check.
class LinkTest {
public:
    static constexpr int kMaxAcceptedReplyError = 10;

    enum class Outcome {
        Open,       // the port is open and the drive answered
        PortFailed, // the port could not be opened, or the drive did not answer: it is closed again
    };

    static Outcome run(DriveLink& link);

    // The leading number of a settings string divided by 1000, truncated (38 for "38400,n,8,1").
    static int baudKiloOf(const QString& settings);
};

} // namespace kiro
