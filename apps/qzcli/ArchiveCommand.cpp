#include "BenchSession.h"
#include "Commands.h"

#include "storage/ArchiveFile.h"
#include "storage/ArchiveTexts.h"
#include "storage/ArchiveTransfer.h"

#include <cstdio>

namespace {

namespace texts = kiro::archive_texts;

// Problems with FILE are the caller's to fix, like any other wrong argument.
int fileProblem(const QString& path, const QString& what) {
    std::fprintf(stderr, "qzcli: %s: %s\n", qPrintable(path), qPrintable(what));
    return kExitUsage;
}

int save(BenchSession& session, const QString& path) {
    kiro::DriveLink* link = session.openLink();
    if (!link)
        return kExitPort;
    const auto result =
        kiro::SaveArchive(*link, path, [](int done, int total, const kiro::ArchiveEntry& entry) {
            BenchSession::progress(QStringLiteral("read %1 = %2 (%3/%4)")
                                       .arg(entry.address)
                                       .arg(entry.value)
                                       .arg(done)
                                       .arg(total));
        });
    switch (result.outcome) {
    case kiro::ArchiveSaveResult::Outcome::Saved:
        BenchSession::progress(QStringLiteral("saved to %1").arg(path));
        return kExitDone;
    case kiro::ArchiveSaveResult::Outcome::DriveFailed:
        session.prompter().tell(texts::kSaveFailed, texts::kTransferTitle);
        return kExitDriveFailed;
    case kiro::ArchiveSaveResult::Outcome::FileUnwritable:
        break;
    }
    return fileProblem(path, QStringLiteral("%1 (%2)").arg(texts::kSaveFailed, result.detail));
}

int restore(BenchSession& session, const QString& path) {
    // The whole file is checked before the port is even opened.
    const kiro::ArchiveReading reading = kiro::ReadArchiveFile(path);
    if (!reading.ok) {
        QString why = texts::refusal(reading.problem);
        if (!reading.problem.detail.isEmpty())
            why += QStringLiteral(" (%1)").arg(reading.problem.detail);
        return fileProblem(path, why);
    }
    kiro::DriveLink* link = session.openLink();
    if (!link)
        return kExitPort;
    const bool written = kiro::WriteArchive(
        *link, reading.entries, [](int done, int total, const kiro::ArchiveEntry& entry) {
            BenchSession::progress(QStringLiteral("wrote %1 := %2 (%3/%4)")
                                       .arg(entry.address)
                                       .arg(entry.value)
                                       .arg(done)
                                       .arg(total));
        });
    if (!written) {
        session.prompter().tell(texts::kWriteFailed, texts::kTransferTitle);
        return kExitDriveFailed;
    }
    BenchSession::progress(QStringLiteral("restored from %1").arg(path));
    return kExitDone;
}

} // namespace

int runArchive(BenchSession& session, const QStringList& args) {
    if (args.size() != 2 ||
        (args[0] != QLatin1String("save") && args[0] != QLatin1String("restore")))
        return BenchSession::usage(QStringLiteral("archive needs save or restore and a FILE"));
    if (session.variantName() != QLatin1String("x7"))
        return BenchSession::usage(
            QStringLiteral("the parameter archive belongs to the x7 drive (--variant x7)"));
    return args[0] == QLatin1String("save") ? save(session, args[1]) : restore(session, args[1]);
}
