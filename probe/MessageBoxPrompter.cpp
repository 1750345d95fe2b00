#include "MessageBoxPrompter.h"

#include <QMessageBox>

namespace regprobe {

void MessageBoxPrompter::show(const ProbeMessage& message) {
    QMessageBox box(message.icon == ProbeMessage::Icon::Error ? QMessageBox::Critical
                                                              : QMessageBox::NoIcon,
                    message.title, message.text, QMessageBox::Ok, parent_);
    box.exec();
}

} // namespace regprobe
