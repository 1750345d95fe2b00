#pragma once

#include <QObject>
#include <functional>

class QLineEdit;

namespace kiro {

// The keyboard rule of every numeric entry of the window: digits, "." and Backspace pass, Enter
// commits at once without moving the focus, any other character is dropped. Leaving the entry
// commits as well, unless the focus only went to another window (a message box, another program)
// and will come back.
class EntryKeys : public QObject {
    Q_OBJECT
public:
    using Commit = std::function<void()>;

    // Installs itself on the entry; commit may be empty (the entry only filters keys).
    EntryKeys(QLineEdit* entry, Commit commit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Commit commit_;
};

} // namespace kiro
