#include "DeferredInput.h"

#include "link/DriveLink.h"

namespace kiro {

namespace {
// How often work that waits for another window's transaction looks at the link again.
constexpr int kRetryMs = 20;
} // namespace

DeferredInput::DeferredInput(DriveLink& link, QObject* parent) : QObject(parent), link_(link) {
    retry_.setSingleShot(true);
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, &DeferredInput::runWhenFree);
}

void DeferredInput::submit(const QString& key, Job job) {
    pending_.removeIf([&](const Pending& waiting) { return waiting.key == key; });
    pending_.append({key, std::move(job)});
    if (!running_)
        runWhenFree();
}

void DeferredInput::discard() {
    pending_.clear();
    retry_.stop();
}

void DeferredInput::runWhenFree() {
    if (running_ || pending_.isEmpty())
        return;
    if (link_.busy()) {
        retry_.start();
        return;
    }
    drain();
}

void DeferredInput::drain() {
    running_ = true;
    {
        DriveLink::Session session(link_);
        while (!pending_.isEmpty()) {
            const Job job = pending_.takeFirst().job;
            job();
        }
    }
    running_ = false;
    emit settled();
}

} // namespace kiro
