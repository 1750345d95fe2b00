#include "WindowContract.h"

#include "ShellState.h"
#include "Variant.h"
#include "link/DriveLink.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QWidget>

namespace kiro {

WindowContract::WindowContract(ShellState& state, QWidget& window)
    : QObject(&window), state_(state), window_(window), work_(state.work(), this) {
    window_.installEventFilter(this);
    connect(&work_, &DriveWork::settled, this, &WindowContract::workEnded);
    connect(&work_, &DriveWork::linkLost, this, [this] {
        if (linkLoss_)
            linkLoss_();
        else
            giveUpQuietly();
    });
}

WindowContract::~WindowContract() {
    if (watchedFrame_)
        watchedFrame_->removeEventFilter(this);
}

QMdiSubWindow* WindowContract::frame() const {
    return qobject_cast<QMdiSubWindow*>(window_.parentWidget());
}

void WindowContract::submit(const QString& key, Job job) {
    if (!accepting())
        return;
    // The job belongs to this object, a child of the window: gone with the window, it never
    // runs. A give-up or a close that took effect while it waited leaves it undone.
    work_.submit(key, [this, job = std::move(job)] {
        if (accepting())
            job();
    });
}

void WindowContract::submitLastWork(Job job) {
    if (closed_)
        return;
    work_.submitEvenIfLinkLost([this, job = std::move(job)] {
        if (!closed_)
            job();
    });
}

// --- Close -----------------------------------------------------------------------------------

void WindowContract::closeWindow() {
    if (QMdiSubWindow* host = frame())
        host->close();
    else
        window_.close();
}

bool WindowContract::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Close:
        if (watched == &window_)
            return judgeClose(static_cast<QCloseEvent*>(event));
        break;
    case QEvent::ParentChange:
        if (watched == &window_)
            watchFrame();
        break;
    case QEvent::DeferredDelete:
        // The frame or the window deleted while the window's work runs or waits would pull the
        // window out from under that work: the deletion follows once the work has ended.
        if (busy()) {
            deletePending_ = true;
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void WindowContract::watchFrame() {
    QObject* host = window_.parentWidget();
    if (host == watchedFrame_)
        return;
    if (watchedFrame_)
        watchedFrame_->removeEventFilter(this);
    watchedFrame_ = host;
    if (watchedFrame_)
        watchedFrame_->installEventFilter(this);
}

// True when the close is held back (the event is then ignored).
bool WindowContract::judgeClose(QCloseEvent* event) {
    // Asked again after it has closed (the main window closing every frame it still lists).
    if (closed_) {
        event->accept();
        return false;
    }
    // The window's own rule is judged only when the close would take effect, and may put it
    // off; the work it submits then carries the close out when it has ended.
    bool putOff = busy();
    if (!putOff && closeRule_)
        putOff = closeRule_() == CloseVerdict::Later || busy();
    if (putOff) {
        closePending_ = true;
        event->ignore();
        return true;
    }
    closePending_ = false;
    closed_ = true;
    emit closing();
    state_.announceWindowClosed();
    event->accept();
    return false;
}

void WindowContract::workEnded() {
    if (deletePending_) {
        deletePending_ = false;
        if (watchedFrame_)
            watchedFrame_->deleteLater();
        else
            window_.deleteLater();
    }
    if (!closePending_)
        return;
    closeWindow(); // the close is judged again: a window's own rule may still put it off
}

// --- Give-up ---------------------------------------------------------------------------------

void WindowContract::giveUp(const QString& text, const QString& title) {
    if (givenUp_)
        return;
    // The user has heard of a link that gave up already (in another window, or before the
    // port was opened again): once is enough.
    const bool toldAlready = work_.queue().linkLost();
    work_.giveUp();
    if (toldAlready) {
        giveUpQuietly();
        return;
    }
    givenUp_ = true;
    emit givingUp();
    disableWindow();
    if (text.isEmpty()) {
        const LinkVariant& link = work_.link().variant();
        state_.tell(link.failureMessage, link.failureTitle);
    } else {
        state_.tell(text, title);
    }
}

void WindowContract::giveUpQuietly() {
    if (givenUp_)
        return;
    givenUp_ = true;
    emit givingUp();
    disableWindow();
}

void WindowContract::disableWindow() {
    const QWidget* focus = QApplication::focusWidget();
    const bool hadFocus = focus && window_.isAncestorOf(focus);
    window_.setEnabled(false);
    keepFocusOnFrame(hadFocus);
}

void WindowContract::keepFocusOnFrame(bool hadFocus) {
    if (QMdiSubWindow* host = frame(); host && hadFocus)
        host->setFocus(Qt::OtherFocusReason);
}

} // namespace kiro
