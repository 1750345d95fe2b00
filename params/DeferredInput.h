#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

namespace kiro {

class DriveLink;

// Puts the window's drive work in a row. The link's waits let events run, so a slider or an entry
// can ask for a transaction while another one waits; such work is kept and carried out when the
// running sequence has ended, one job per key (a later job replaces an earlier one, so that a
// slider's last position wins). Work that arrives while another window talks to the drive waits
// for the link to be free. While jobs run, the link is held busy for everybody else.
class DeferredInput : public QObject {
    Q_OBJECT
public:
    using Job = std::function<void()>;

    explicit DeferredInput(DriveLink& link, QObject* parent = nullptr);

    void submit(const QString& key, Job job);

    bool running() const { return running_; }
    bool idle() const { return !running_ && pending_.isEmpty(); }
    // Forgets the waiting work: the window has given up on the drive.
    void discard();

signals:
    // The row has run empty.
    void settled();

private:
    void runWhenFree();
    void drain();

    struct Pending {
        QString key;
        Job job;
    };

    DriveLink& link_;
    QList<Pending> pending_;
    QTimer retry_;
    bool running_ = false;
};

} // namespace kiro
