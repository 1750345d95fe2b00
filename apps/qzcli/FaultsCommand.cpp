#include "BenchSession.h"
#include "Commands.h"

#include "faults/FaultTransactions.h"
#include "faults/FaultWord.h"

#include "StandardOutput.h"

namespace {

// The names of the faults a word reports, one word each so that a script can split the line.
QStringList faultNames(quint16 word) {
    static const std::pair<int, const char*> kEnglish[] = {
        {0, "overcurrent"}, {1, "overvoltage"}, {2, "undervoltage"},
        {3, "phase-loss"},  {4, "encoder"},     {6, "following-error"},
    };
    QStringList names;
    for (const auto& [bit, name] : kEnglish)
        if (kiro::HasFault(word, bit))
            names << QLatin1String(name);
    return names;
}

// One line per column: the column, the word in hexadecimal, and the names of its faults.
void printWords(const kiro::FaultWords& words) {
    QString lines;
    for (int column = 0; column < kiro::kFaultColumns; ++column) {
        const quint16 word = words[size_t(column)];
        QStringList fields{QString::number(column),
                           QStringLiteral("0x") +
                               QString::number(word, 16).toUpper().rightJustified(4, u'0')};
        fields += faultNames(word);
        lines += fields.join(QLatin1Char(' ')) + QLatin1Char('\n');
    }
    standard_output::write(lines);
}

int linkFailed(BenchSession& session, const kiro::DriveLink& link) {
    session.prompter().tell(link.variant().failureMessage, link.variant().failureTitle);
    return kExitDriveFailed;
}

} // namespace

int runFaults(BenchSession& session, const QStringList& args) {
    std::optional<kiro::FaultClear> clear;
    if (args.size() == 2 && args[0] == QLatin1String("--clear")) {
        if (args[1] == QLatin1String("current"))
            clear = kiro::FaultClear::Current;
        else if (args[1] == QLatin1String("history"))
            clear = kiro::FaultClear::History;
        else
            return BenchSession::usage(
                QStringLiteral("--clear takes current or history, not '%1'").arg(args[1]));
    } else if (!args.isEmpty()) {
        return BenchSession::usage(QStringLiteral("faults takes only --clear current|history"));
    }

    kiro::DriveLink* link = session.openLink();
    if (!link)
        return kExitPort;
    // As in the window: a clear is followed by reading the words again, which shows its effect.
    if (clear && !kiro::ClearFaults(*link, *clear))
        return linkFailed(session, *link);
    const std::optional<kiro::FaultWords> words = kiro::ReadFaultWords(*link);
    if (!words)
        return linkFailed(session, *link);
    printWords(*words);
    return kExitDone;
}
