#include "EntryKeys.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace kiro {

namespace {
bool passes(const QString& typed) {
    for (const QChar c : typed) {
        // Control characters (Backspace, copy and paste shortcuts) are not typing.
        if (!c.isPrint())
            continue;
        if (!c.isDigit() && c != QLatin1Char('.'))
            return false;
        if (c.isDigit() && (c < QLatin1Char('0') || c > QLatin1Char('9')))
            return false; // digits of other scripts are no numbers to the drive
    }
    return true;
}
} // namespace

EntryKeys::EntryKeys(QLineEdit* entry, Commit commit) : QObject(entry), commit_(std::move(commit)) {
    entry->installEventFilter(this);
}

bool EntryKeys::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (commit_)
                commit_();
            return true; // one line: Enter inserts nothing
        }
        if (!passes(key->text()))
            return true;
        break;
    }
    case QEvent::FocusOut: {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (commit_ && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            commit_();
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kiro
