#include "DriveWorkQueue.h"

#include "DriveLink.h"

#include <QAbstractEventDispatcher>
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

void DriveWorkQueue::enqueue(DriveWork* owner, const QString& key, Job job, bool evenIfLinkLost) {
    if (linkLost_ && !evenIfLinkLost) {
        // Told once already: the window gives up without a word, after the handler that asked.
        QMetaObject::invokeMethod(owner, &DriveWork::linkLost, Qt::QueuedConnection);
        return;
    }
    // The last action wins, in the last place: an earlier job of another key that writes
    // something the replaced one did not must not run after it.
    if (!key.isEmpty()) {
        waiting_.removeIf([owner, &key](const Waiting& waiting) {
            return waiting.owner == owner && waiting.key == key;
        });
    }
    waiting_.append({owner, key, std::move(job)});
    scheduleStart();
}

void DriveWorkQueue::loseLink(DriveWork* failing) {
    linkLost_ = true;
    QList<DriveWork*> others;
    for (const Waiting& waiting : std::as_const(waiting_)) {
        if (waiting.owner != failing && !others.contains(waiting.owner))
            others.append(waiting.owner);
    }
    waiting_.clear();
    for (DriveWork* owner : others) {
        QMetaObject::invokeMethod(owner, &DriveWork::linkLost, Qt::QueuedConnection);
        QMetaObject::invokeMethod(owner, &DriveWork::workEnded, Qt::QueuedConnection);
    }
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

void DriveWork::submitEvenIfLinkLost(Job job) {
    queue_.enqueue(this, QString(), std::move(job), true);
}

void DriveWork::giveUp() {
    dropWaiting();
    queue_.loseLink(this);
    if (running())
        return; // the end of the running job tells
    // Whoever waits for this work to end hears it after the handler that gave up has returned.
    QMetaObject::invokeMethod(this, &DriveWork::workEnded, Qt::QueuedConnection);
    if (queue_.idle())
        QMetaObject::invokeMethod(&queue_, &DriveWorkQueue::settled, Qt::QueuedConnection);
}

void DriveWork::dropWaiting() {
    queue_.waiting_.removeIf(
        [this](const DriveWorkQueue::Waiting& waiting) { return waiting.owner == this; });
}

void DriveWork::workEnded() {
    if (idle())
        emit settled();
}

} // namespace kiro
