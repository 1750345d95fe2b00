#include "ShellState.h"

#include "link/DriveLink.h"
#include "link/SerialPort.h"

#include <QCoreApplication>
#include <QDir>

namespace kiro {

bool& WindowFlagArray::operator()(int index) {
    Q_ASSERT(index >= kFirst && index <= kLast);
    return flags_[std::size_t(qBound(kFirst, index, kLast) - kFirst)];
}

bool WindowFlagArray::operator()(int index) const {
    if (index < kFirst || index > kLast)
        return false;
    return flags_[std::size_t(index - kFirst)];
}

ShellState::ShellState(DriveLink& link, Prompter& prompter, const Variant& variant, QObject* parent)
    : QObject(parent), link_(link), work_(link), prompter_(prompter), variant_(variant),
      pictureFolder_(QCoreApplication::applicationDirPath()) {
}

bool ShellState::TuningIdle() const {
    return link_.TuningIdle();
}

void ShellState::setTuningIdle(bool idle) {
    link_.setTuningIdle(idle);
}

bool ShellState::portOpen() const {
    return link_.port().isOpen();
}

bool ShellState::linkBusy() const {
    return work_.linkInUse();
}

void ShellState::setLamp(StatusDisplay* lamp) {
    lamp_ = lamp;
    link_.setStatusDisplay(lamp);
}

QString ShellState::picturePath(const QString& fileName) const {
    return QDir(pictureFolder_).filePath(fileName);
}

void ShellState::tell(const QString& text, const QString& title, Prompt::Icon icon) {
    prompter_.tell(text, title, icon);
}

} // namespace kiro
