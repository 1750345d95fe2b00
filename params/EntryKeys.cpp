#include "EntryKeys.h"

#include "shell/FocusMoves.h"

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

EntrySnapshot::EntrySnapshot(const EntryKeys& keys)
    : keys_(&keys), text_(keys.entry()->text()), typing_(keys.typing()) {
}

bool EntrySnapshot::typedSince() const {
    return keys_ && keys_->typing() != typing_;
}

void EntrySnapshot::show(const QString& text) const {
    if (keys_ && !typedSince())
        keys_->entry()->setText(text);
}

EntryKeys::EntryKeys(QLineEdit* entry, Commit commit)
    : QObject(entry), entry_(entry), commit_(std::move(commit)) {
    entry->installEventFilter(this);
    // Only the user's own changes count: the window's setText raises no textEdited.
    connect(entry, &QLineEdit::textEdited, this, [this] { ++typing_; });
}

bool EntryKeys::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (commit_)
                commit_(snapshot());
            return true; // one line: Enter inserts nothing
        }
        if (!passes(key->text()))
            return true;
        break;
    }
    case QEvent::FocusOut:
        if (commit_ && IsUserFocusMove(*static_cast<QFocusEvent*>(event)))
            commit_(snapshot());
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kiro
