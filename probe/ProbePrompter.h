#pragma once

#include <QString>

namespace regprobe {

// Every message box of the probe goes through this, so that tests can record what a user would
// see. Production shows a modal message box with an OK button.
struct ProbeMessage {
    enum class Icon { None, Error };

    QString text;
    QString title;
    Icon icon = Icon::None;
};

class ProbePrompter {
public:
    virtual ~ProbePrompter() = default;
    virtual void show(const ProbeMessage& message) = 0;
};

inline const QString ProbeProgramName = QStringLiteral("RegProbe");

} // namespace regprobe
