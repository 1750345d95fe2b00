#pragma once

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <functional>

namespace kiro {

class DriveLink;
class DriveWork;

// The one way a window of a tuner reaches the drive. Every window puts its drive work in this
// queue as jobs, through a DriveWork handle of its own; the queue runs them one at a time and
// holds the link's Session for the whole of each job, so that the link's waits, which let events
// run, can never start a second conversation with the drive in the middle of the first.
//
// A job starts only from the program's top event loop: never inside the handler that submitted
// it, never inside another job's wait, and never inside a message box or dialog. The queue learns
// that the link has become free from the link itself; it does not poll.
class DriveWorkQueue : public QObject {
    Q_OBJECT
public:
    using Job = std::function<void()>;

    explicit DriveWorkQueue(DriveLink& link, QObject* parent = nullptr);
    ~DriveWorkQueue() override;

    DriveLink& link() const { return link_; }

    // A job runs now.
    bool running() const { return jobRunning_; }
    // Nothing runs and nothing waits.
    bool idle() const { return !running() && waiting_.isEmpty(); }
    // The drive is in use: a job runs, or the link is inside a transaction of its own.
    bool linkInUse() const;

    // A transaction has given up on the drive: the link is in doubt until the port is opened
    // again. Work submitted meanwhile is not run; its window gives up without a word, since the
    // user has been told once already.
    bool linkLost() const { return linkLost_; }
    // The port has been opened again: work runs as before.
    void startAfresh() { linkLost_ = false; }

signals:
    // The queue has run empty: nothing runs and nothing waits.
    void settled();

private:
    friend class DriveWork;

    struct Waiting {
        DriveWork* owner;
        QString key;
        Job job;
    };

    void enqueue(DriveWork* owner, const QString& key, Job job, bool evenIfLinkLost = false);
    void loseLink(DriveWork* failing);
    void forget(DriveWork* owner);
    bool hasWaiting(const DriveWork* owner) const;
    void scheduleStart();
    void startNext();
    void waitForTopLevel();
    void finished(DriveWork* owner);

    DriveLink& link_;
    QList<Waiting> waiting_;
    bool jobRunning_ = false;
    DriveWork* running_ = nullptr; // the owner of the running job, while it lives
    bool startPosted_ = false;
    bool linkLost_ = false;
    QMetaObject::Connection topLevelWatch_;
};

// A window's handle on the queue. Everything the window has submitted belongs to it: whether the
// window's work runs or waits, and the work that goes when the link gives up.
class DriveWork : public QObject {
    Q_OBJECT
public:
    using Job = DriveWorkQueue::Job;

    explicit DriveWork(DriveWorkQueue& queue, QObject* parent = nullptr);
    ~DriveWork() override;

    DriveWorkQueue& queue() const { return queue_; }
    DriveLink& link() const { return queue_.link(); }

    // Queues a job behind everything submitted before it. The key names what the job writes
    // (a register, or some of its bits): a job of this handle that still waits under the same
    // key is dropped, so that the user's last action is what the drive ends with, whichever
    // control it came from. An empty key replaces nothing.
    void submit(const QString& key, Job job);
    void submit(Job job) { submit(QString(), std::move(job)); }
    // Work that is tried even while the link is in doubt: the end of a test mode as a window
    // closes, which leaves the drive safe if it answers again.
    void submitEvenIfLinkLost(Job job);

    bool running() const { return queue_.jobRunning_ && queue_.running_ == this; }
    bool waiting() const { return queue_.hasWaiting(this); }
    bool idle() const { return !running() && !waiting(); }

    // A transaction of this handle's work has given up on the drive: every window's waiting
    // work goes, and the other windows that had work waiting hear of it through linkLost().
    void giveUp();

signals:
    // This handle's work has all ended.
    void settled();
    // Another window's transaction gave up while this handle had work waiting, or work was
    // submitted after that: the work is gone and will not run.
    void linkLost();

private:
    friend class DriveWorkQueue;
    void workEnded();
    void dropWaiting();

    DriveWorkQueue& queue_;
};
} // namespace kiro
