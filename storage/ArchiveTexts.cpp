#include "ArchiveTexts.h"

namespace kiro::archive_texts {

QString refusal(const ArchiveProblem& problem) {
    switch (problem.kind) {
    case ArchiveProblem::Kind::Unreadable:
        return QStringLiteral("无法读取存档文件，未写入任何参数！");
    case ArchiveProblem::Kind::TooLarge:
        return QStringLiteral("文件过大，不是参数存档，未写入任何参数！");
    case ArchiveProblem::Kind::Empty:
        return QStringLiteral("存档文件中没有参数，未写入任何参数！");
    case ArchiveProblem::Kind::MalformedLine:
        break;
    }
    return QStringLiteral("存档文件第%1行格式有误（应为“地址&数值”，均为 0 到 65535 的整数），"
                          "未写入任何参数！")
        .arg(problem.line);
}

} // namespace kiro::archive_texts
