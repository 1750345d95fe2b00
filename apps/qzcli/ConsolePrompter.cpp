#include "ConsolePrompter.h"

#include <QCoreApplication>
#include <QHash>
#include <cstdio>

QString ConsolePrompter::inEnglish(const QString& text) {
    static const QHash<QString, QString> english{
        {QStringLiteral("通讯故障！"), QStringLiteral("communication error")},
        {QStringLiteral("请检查连接后重新开启软件！"),
         QStringLiteral("the drive did not answer correctly; check the connection")},
        {QStringLiteral("接收设备号功能码失败！"),
         QStringLiteral("a reply came from another station or for another function")},
        {QStringLiteral("接收CRC失败！"), QStringLiteral("a reply failed its CRC check")},
        {QStringLiteral("上位机故障！"), QStringLiteral("a request with an unknown function code")},
        {QStringLiteral("溢出"), QStringLiteral("a value that does not fit a register")},
    };
    return english.value(text, text);
}

kiro::PromptAnswer ConsolePrompter::ask(const kiro::Prompt& prompt) {
    const QString title =
        prompt.title.isEmpty() ? QCoreApplication::applicationName() : inEnglish(prompt.title);
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(inEnglish(prompt.text)));
    std::fflush(stderr);
    ++shown;
    return prompt.buttons == kiro::Prompt::Buttons::YesNo ? kiro::PromptAnswer::No
                                                          : kiro::PromptAnswer::Ok;
}
