#include "MessageBoxPrompter.h"

#include <QApplication>
#include <QMessageBox>

namespace kiro {

namespace {
QMessageBox::Icon iconFor(Prompt::Icon icon) {
    switch (icon) {
    case Prompt::Icon::Information:
        return QMessageBox::Information;
    case Prompt::Icon::Warning:
        return QMessageBox::Warning;
    case Prompt::Icon::Critical:
        return QMessageBox::Critical;
    case Prompt::Icon::Question:
        return QMessageBox::Question;
    case Prompt::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

PromptAnswer MessageBoxPrompter::ask(const Prompt& prompt) {
    const QString title =
        prompt.title.isEmpty() ? QCoreApplication::applicationName() : prompt.title;
    const bool question = prompt.buttons == Prompt::Buttons::YesNo;
    QMessageBox box(iconFor(prompt.icon), title, prompt.text,
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setDefaultButton(question ? QMessageBox::Yes : QMessageBox::Ok);
    const int answer = box.exec();
    if (!question)
        return PromptAnswer::Ok;
    return answer == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No;
}

} // namespace kiro
