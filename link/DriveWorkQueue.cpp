#include "DriveWorkQueue.h"

#include "DriveLink.h"

#include <QAbstractEventDispatcher>
#include <QPointer>
#include <QThread>

namespace kiro {

namespace {
// The program's own event loop runs at level 1 (level 0 before it starts, and in tests that pump
// events by hand); a message box or dialog runs a loop one level deeper.
bool atTopEventLoop() {
    return QThread::currentThread()->loopLevel() <= 1;
}
} // namespace

DriveWorkQueue::DriveWorkQueue(DriveLink& link, QObject* parent) : QObject(parent), link_(link) {
    connect(&link_, &DriveLink::becameFree, this, &DriveWorkQueue::scheduleStart);
}

DriveWorkQueue::~DriveWorkQueue() {
    disconnect(topLevelWatch_);
}

bool DriveWorkQueue::linkInUse() const {
    return running() || link_.busy();
}

void DriveWorkQueue::enqueue(DriveWork* owner, const QString& key, Job job) {
    if (!key.isEmpty()) {
        for (Waiting& waiting : waiting_) {
            if (waiting.owner == owner && waiting.key == key) {
                waiting.job = std::move(job);
                return;
            }
        }
    }
    waiting_.append({owner, key, std::move(job)});
    scheduleStart();
}

void DriveWorkQueue::forget(DriveWork* owner) {
    waiting_.removeIf([owner](const Waiting& waiting) { return waiting.owner == owner; });
    if (running_ == owner)
        running_ = nullptr;
}

bool DriveWorkQueue::hasWaiting(const DriveWork* owner) const {
    for (const Waiting& waiting : waiting_) {
        if (waiting.owner == owner)
            return true;
    }
    return false;
}

void DriveWorkQueue::scheduleStart() {
    // Never inside the handler that asked: the start is an event of its own.
    if (startPosted_ || waiting_.isEmpty())
        return;
    startPosted_ = true;
    QMetaObject::invokeMethod(this, &DriveWorkQueue::startNext, Qt::QueuedConnection);
}

void DriveWorkQueue::waitForTopLevel() {
    if (topLevelWatch_)
        return;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread());
    if (!dispatcher)
        return;
    // Before the event loop goes to sleep it says so, at every level; the first time that
    // happens at the top level, the message box or dialog that held the work back has gone.
    topLevelWatch_ = connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
        if (!atTopEventLoop())
            return;
        disconnect(topLevelWatch_);
        topLevelWatch_ = {};
        scheduleStart();
    });
}

void DriveWorkQueue::startNext() {
    startPosted_ = false;
    // Inside a job's wait or message box, or while the link is in a transaction of its own:
    // the end of that job, or the link becoming free, starts the next one.
    if (jobRunning_ || waiting_.isEmpty() || link_.busy())
        return;
    if (!atTopEventLoop()) {
        waitForTopLevel();
        return;
    }
    Waiting next = waiting_.takeFirst();
    jobRunning_ = true;
    running_ = next.owner;
    {
        DriveLink::Session session(link_);
        next.job();
    }
    jobRunning_ = false;
    DriveWork* owner = running_;
    running_ = nullptr;
    if (owner && !hasWaiting(owner))
        owner->workEnded();
    scheduleStart();
    if (idle())
        emit settled();
}

DriveWork::DriveWork(DriveWorkQueue& queue, QObject* parent) : QObject(parent), queue_(queue) {
}

DriveWork::~DriveWork() {
    queue_.forget(this);
}

void DriveWork::submit(const QString& key, Job job) {
    queue_.enqueue(this, key, std::move(job));
}

bool DriveWork::submitUnlessBusy(const QString& key, Job job) {
    if (queue_.linkInUse())
        return false;
    submit(key, std::move(job));
    return true;
}

void DriveWork::discard() {
    queue_.waiting_.removeIf(
        [this](const DriveWorkQueue::Waiting& waiting) { return waiting.owner == this; });
    if (running())
        return; // the end of the running job tells
    // Whoever waits for this work to end hears it after the handler that gave up has returned.
    QMetaObject::invokeMethod(this, &DriveWork::workEnded, Qt::QueuedConnection);
    if (queue_.idle())
        QMetaObject::invokeMethod(&queue_, &DriveWorkQueue::settled, Qt::QueuedConnection);
}

bool DriveWork::postponeClose() {
    if (idle())
        return false;
    closePostponed_ = true;
    return true;
}

void DriveWork::workEnded() {
    if (!idle())
        return;
    QPointer<DriveWork> self(this);
    emit settled();
    if (self && closePostponed_) {
        closePostponed_ = false;
        emit closeDue();
    }
}

} // namespace kiro
