#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVector>
#include <QtGlobal>

namespace kiro {

// One line of an archive file: a register and the unsigned 16-bit content it held.
struct ArchiveEntry {
    quint16 address = 0;
    quint16 value = 0;

    friend bool operator==(const ArchiveEntry&, const ArchiveEntry&) = default;
};

// Why a file cannot be written to the drive. Nothing of such a file is ever written.
struct ArchiveProblem {
    enum class Kind {
        Unreadable,    // missing, a folder, no permission ...
        TooLarge,      // far beyond anything an archive holds
        Empty,         // no register line at all
        MalformedLine, // a line that is not "address&value" with both in 0..65535
    };
    Kind kind = Kind::Unreadable;
    int line = 0;   // MalformedLine: the line's number, counted from 1
    QString detail; // Unreadable: the system's reason
};

// What a file holds: its register lines in file order, or the reason it cannot be used.
struct ArchiveReading {
    QVector<ArchiveEntry> entries;
    ArchiveProblem problem;
    bool ok = false;
};

// An archive file is plain ASCII text, one line "address&value" per register, both in decimal
// without sign or leading zeros, every line (the last one too) ending in CR LF.
QByteArray FormatArchive(const QVector<ArchiveEntry>& entries);

// Reads archive text as it comes from our own writer, from the earlier program or from a hand
// edit: lines may end in CR LF, LF or CR; blanks around the numbers and blank lines are skipped,
// and a UTF-8 byte-order mark left by an editor is ignored. Any other line is refused as a whole
// rather than guessed at, so that a bad file can never write a wrong register.
ArchiveReading ParseArchive(QByteArrayView text);

// ParseArchive on the file at path.
ArchiveReading ReadArchiveFile(const QString& path);

// Files beyond this size are refused unread: a full register dump of all 65536 registers still
// fits comfortably.
constexpr qint64 kMaxArchiveFileBytes = 4 * 1024 * 1024;

} // namespace kiro
