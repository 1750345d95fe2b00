#include "BenchSession.h"
#include "Commands.h"
#include "ComparisonReport.h"

#include "storage/ArchiveComparison.h"
#include "storage/ArchiveFile.h"
#include "storage/ArchiveTransfer.h"

#include <cstdio>

namespace {

// What the window says in a message box, qzcli says on standard error in English.
int driveFailed(const QString& what) {
    std::fprintf(stderr, "qzcli: %s\n", qPrintable(what));
    return kExitDriveFailed;
}

const QString kVerifyOption = QStringLiteral("--verify");

// Why a file was not written to the drive, naming the line at fault.
QString refusal(const kiro::ArchiveProblem& problem) {
    switch (problem.kind) {
    case kiro::ArchiveProblem::Kind::Unreadable:
        return QStringLiteral("cannot be read (%1); nothing was written").arg(problem.detail);
    case kiro::ArchiveProblem::Kind::TooLarge:
        return QStringLiteral("is too large for a parameter archive; nothing was written");
    case kiro::ArchiveProblem::Kind::Empty:
        return QStringLiteral("holds no parameters; nothing was written");
    case kiro::ArchiveProblem::Kind::MalformedLine:
        break;
    }
    return QStringLiteral("line %1 is not \"address&value\" with whole numbers from 0 to "
                          "65535; nothing was written")
        .arg(problem.line);
}

// Problems with FILE are the caller's to fix, like any other wrong argument.
int fileProblem(const QString& path, const QString& what) {
    std::fprintf(stderr, "qzcli: %s: %s\n", qPrintable(path), qPrintable(what));
    return kExitUsage;
}

// The whole file is checked before the port is even opened; nullopt after saying why.
std::optional<QVector<kiro::ArchiveEntry>> readArchive(const QString& path) {
    const kiro::ArchiveReading reading = kiro::ReadArchiveFile(path);
    if (reading.ok)
        return reading.entries;
    fileProblem(path, refusal(reading.problem));
    return std::nullopt;
}

void showRead(int done, int total, const kiro::ArchiveEntry& entry) {
    BenchSession::progress(QStringLiteral("read %1 = %2 (%3/%4)")
                               .arg(entry.address)
                               .arg(entry.value)
                               .arg(done)
                               .arg(total));
}

int compare(kiro::DriveLink& link, const QVector<kiro::ArchiveEntry>& entries,
            const QString& path) {
    return reportComparison(kiro::CompareArchive(link, entries, showRead), path);
}

int save(BenchSession& session, const QString& path) {
    kiro::DriveLink* link = session.openLink();
    if (!link)
        return kExitPort;
    const auto result = kiro::SaveArchive(*link, path, showRead);
    switch (result.outcome) {
    case kiro::ArchiveSaveResult::Outcome::Saved:
        BenchSession::progress(QStringLiteral("saved to %1").arg(path));
        return kExitDone;
    case kiro::ArchiveSaveResult::Outcome::DriveFailed:
        return driveFailed(QStringLiteral("the drive did not answer; %1 is unchanged").arg(path));
    case kiro::ArchiveSaveResult::Outcome::FileUnwritable:
        break;
    }
    return fileProblem(
        path,
        QStringLiteral("cannot be written (%1); an existing file is unchanged").arg(result.detail));
}

int restore(BenchSession& session, const QString& path, bool verifyAfter) {
    const auto entries = readArchive(path);
    if (!entries)
        return kExitUsage;
    kiro::DriveLink* link = session.openLink();
    if (!link)
        return kExitPort;
    const bool written = kiro::WriteArchive(
        *link, *entries, [](int done, int total, const kiro::ArchiveEntry& entry) {
            BenchSession::progress(QStringLiteral("wrote %1 := %2 (%3/%4)")
                                       .arg(entry.address)
                                       .arg(entry.value)
                                       .arg(done)
                                       .arg(total));
        });
    if (!written)
        return driveFailed(QStringLiteral("not every register of %1 reached the drive").arg(path));
    BenchSession::progress(QStringLiteral("restored from %1").arg(path));
    // A drive can acknowledge a write and keep something else: only reading back shows it.
    return verifyAfter ? compare(*link, *entries, path) : kExitDone;
}

int verify(BenchSession& session, const QString& path) {
    const auto entries = readArchive(path);
    if (!entries)
        return kExitUsage;
    kiro::DriveLink* link = session.openLink();
    if (!link)
        return kExitPort;
    return compare(*link, *entries, path);
}

} // namespace

int runArchive(BenchSession& session, const QStringList& args) {
    QStringList words = args;
    const bool verifyAfter = words.removeAll(kVerifyOption) > 0;
    const QString verb = words.value(0);
    if (words.size() != 2 || (verb != QLatin1String("save") && verb != QLatin1String("restore") &&
                              verb != QLatin1String("verify")))
        return BenchSession::usage(
            QStringLiteral("archive needs save, restore or verify and a FILE"));
    if (verifyAfter && verb != QLatin1String("restore"))
        return BenchSession::usage(QStringLiteral("--verify belongs to archive restore"));
    if (session.variantName() != QLatin1String("x7"))
        return BenchSession::usage(
            QStringLiteral("the parameter archive belongs to the x7 drive (--variant x7)"));
    if (verb == QLatin1String("save"))
        return save(session, words[1]);
    if (verb == QLatin1String("restore"))
        return restore(session, words[1], verifyAfter);
    return verify(session, words[1]);
}
