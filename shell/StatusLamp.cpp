#include "StatusLamp.h"

#include "ShellState.h"
#include "Variant.h"

#include <QFileInfo>
#include <QLabel>

namespace kiro {

namespace {
QPixmap loadIfPresent(const QString& path) {
    // Asked first so that a missing file stays quiet instead of warning on every change.
    return QFileInfo::exists(path) ? QPixmap(path) : QPixmap();
}
} // namespace

StatusLamp::StatusLamp(QLabel* panel, const ShellState& state)
    : panel_(panel), pictures_(state.variant().lampKind == Variant::LampKind::Pictures) {
    const Variant& variant = state.variant();
    if (pictures_) {
        busyPicture_ = loadIfPresent(state.picturePath(variant.lampBusy));
        idlePicture_ = loadIfPresent(state.picturePath(variant.lampIdle));
    } else {
        busyShown_ = variant.lampBusy;
        idleShown_ = variant.lampIdle;
    }
}

void StatusLamp::showBusy() {
    show(true);
}

void StatusLamp::showIdle() {
    show(false);
}

void StatusLamp::show(bool busy) {
    busy_ = busy;
    if (!panel_)
        return;
    if (pictures_) {
        panel_->setPixmap(busy ? busyPicture_ : idlePicture_);
        panel_->setAccessibleName(busy ? QStringLiteral("busy") : QStringLiteral("idle"));
    } else {
        panel_->setText(busy ? busyShown_ : idleShown_);
    }
}

} // namespace kiro
