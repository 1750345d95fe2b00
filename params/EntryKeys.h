#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QLineEdit;

namespace kiro {

class EntryKeys;

// An entry's text at one moment, kept for drive work that runs later, and the means to tell
// whether the user has typed into the entry since: that work never writes over newer typing.
class EntrySnapshot {
public:
    explicit EntrySnapshot(const EntryKeys& keys);

    const QString& text() const { return text_; }
    // The user has typed into the entry (or pasted, or undone) since the snapshot was taken.
    bool typedSince() const;
    // Shows text in the entry, unless the user has typed there since.
    void show(const QString& text) const;
    // Shows the text of the snapshot again, over whatever the window put there meanwhile.
    void restore() const { show(text_); }

private:
    QPointer<const EntryKeys> keys_;
    QString text_;
    quint64 typing_ = 0;
};

// The keyboard rule of every numeric entry of the window: digits, "." and Backspace pass, Enter
// commits at once without moving the focus, any other character is dropped. Leaving the entry
// commits as well when the user moves the focus to another control, not when the focus only
// goes to a window's frame, a message box or another program and comes back.
class EntryKeys : public QObject {
    Q_OBJECT
public:
    // Receives the entry's text as it was committed.
    using Commit = std::function<void(const EntrySnapshot&)>;

    // Installs itself on the entry; commit may be empty (the entry only filters keys).
    EntryKeys(QLineEdit* entry, Commit commit);

    QLineEdit* entry() const { return entry_; }
    EntrySnapshot snapshot() const { return EntrySnapshot(*this); }
    // How often the user has changed the entry's text so far.
    quint64 typing() const { return typing_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* entry_;
    Commit commit_;
    quint64 typing_ = 0;
};

} // namespace kiro
