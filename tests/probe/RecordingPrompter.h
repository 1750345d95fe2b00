#pragma once

#include "probe/ProbePrompter.h"

#include <QList>
#include <QStringList>

namespace probetest {

// Stands in for the message boxes and keeps what would have been shown.
class RecordingPrompter : public regprobe::ProbePrompter {
public:
    void show(const regprobe::ProbeMessage& message) override { messages.append(message); }

    QStringList texts() const {
        QStringList list;
        for (const auto& message : messages)
            list << message.text;
        return list;
    }

    QList<regprobe::ProbeMessage> messages;
};

} // namespace probetest
