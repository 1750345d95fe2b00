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

    void enqueue(DriveWork* owner, const QString& key, Job job);
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
    QMetaObject::Connection topLevelWatch_;
};

// A window's handle on the queue. Everything the window has submitted belongs to it: whether the
// window's work runs or waits, the close that must wait for it, the work it drops on giving up.
class DriveWork : public QObject {
    Q_OBJECT
public:
    using Job = DriveWorkQueue::Job;

    explicit DriveWork(DriveWorkQueue& queue, QObject* parent = nullptr);
    ~DriveWork() override;

    DriveWorkQueue& queue() const { return queue_; }
    DriveLink& link() const { return queue_.link(); }

    // Queues a job. A job of this handle that waits under the same key is replaced by the new
    // one, in its place (a slider's last position wins); an empty key never replaces anything.
    void submit(const QString& key, Job job);
    void submit(Job job) { submit(QString(), std::move(job)); }
    // Input held off while the drive is in use: dropped then (false), queued otherwise.
    bool submitUnlessBusy(const QString& key, Job job);

    bool running() const { return queue_.jobRunning_ && queue_.running_ == this; }
    bool waiting() const { return queue_.hasWaiting(this); }
    bool idle() const { return !running() && !waiting(); }

    // Forgets the jobs that wait: the window has given up on the drive.
    void discard();

    // The one close rule of the windows: a close asked for while this handle's work runs or
    // waits takes effect when that work has ended. True when the close has to wait; closeDue()
    // follows once the work has ended.
    bool postponeClose();
    bool closePostponed() const { return closePostponed_; }

signals:
    // This handle's work has all ended.
    void settled();
    // A postponed close may now be carried out.
    void closeDue();

private:
    friend class DriveWorkQueue;
    void workEnded();

    DriveWorkQueue& queue_;
    bool closePostponed_ = false;
};

} // namespace kiro
