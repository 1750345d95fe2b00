#pragma once

#include "link/DriveLink.h"
#include "link/Prompts.h"
#include "link/TracingSerialPort.h"

#include <QObject>
#include <QString>
#include <memory>
#include <utility>

// A trace whose file stops taking lines (a full disk) ends with its last whole line; the user is
// told once, in a message box, and the session goes on. The box waits until the drive work under
// way has ended: shown from inside a transaction it would hold the link in the middle of it.
inline void TellWhenTraceStops(kiro::TracingSerialPort& trace, kiro::DriveLink& link,
                               kiro::Prompter& prompter, const QString& file,
                               const QString& title) {
    auto pending = std::make_shared<QString>();
    trace.onFailure([pending, file](const QString& why) {
        *pending = QStringLiteral("The trace has stopped: %1 takes no more lines (%2). The "
                                  "session goes on without it; the trace ends with the last "
                                  "whole line written.")
                       .arg(file, why);
    });
    QObject::connect(
        &link, &kiro::DriveLink::becameFree, &link,
        [pending, &link, &prompter, title] {
            if (pending->isEmpty() || link.busy())
                return;
            prompter.tell(std::exchange(*pending, QString()), title, kiro::Prompt::Icon::Warning);
        },
        Qt::QueuedConnection);
}
