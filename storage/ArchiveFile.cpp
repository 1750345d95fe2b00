#include "ArchiveFile.h"

#include <QFile>

namespace kiro {

namespace {

constexpr char kSeparator = '&';
const QByteArray kLineEnd = QByteArrayLiteral("\r\n");
const QByteArray kUtf8Mark = QByteArrayLiteral("\xEF\xBB\xBF");

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView text) {
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// A register address or value: one or more decimal digits, 0 to 65535.
bool parseWord(QByteArrayView text, quint16& word) {
    text = trimmed(text);
    if (text.isEmpty())
        return false;
    quint32 number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + quint32(c - '0');
        if (number > 0xFFFF)
            return false;
    }
    word = quint16(number);
    return true;
}

bool parseLine(QByteArrayView line, ArchiveEntry& entry) {
    const qsizetype separator = line.indexOf(kSeparator);
    if (separator < 0)
        return false;
    return parseWord(line.first(separator), entry.address) &&
           parseWord(line.sliced(separator + 1), entry.value);
}

ArchiveReading refused(ArchiveProblem::Kind kind, int line = 0, const QString& detail = {}) {
    ArchiveReading reading;
    reading.problem = ArchiveProblem{kind, line, detail};
    return reading;
}

} // namespace

QByteArray FormatArchive(const QVector<ArchiveEntry>& entries) {
    QByteArray text;
    for (const ArchiveEntry& entry : entries) {
        text += QByteArray::number(entry.address);
        text += kSeparator;
        text += QByteArray::number(entry.value);
        text += kLineEnd;
    }
    return text;
}

ArchiveReading ParseArchive(QByteArrayView text) {
    if (text.startsWith(kUtf8Mark))
        text = text.sliced(kUtf8Mark.size());
    ArchiveReading reading;
    int lineNumber = 0;
    while (!text.isEmpty()) {
        ++lineNumber;
        qsizetype end = 0;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        const QByteArrayView line = trimmed(text.first(end));
        qsizetype next = end;
        if (next < text.size())
            next += text.sliced(next).startsWith(kLineEnd) ? kLineEnd.size() : 1;
        text = text.sliced(next);

        if (line.isEmpty())
            continue;
        ArchiveEntry entry;
        if (!parseLine(line, entry))
            return refused(ArchiveProblem::Kind::MalformedLine, lineNumber);
        reading.entries.append(entry);
    }
    if (reading.entries.isEmpty())
        return refused(ArchiveProblem::Kind::Empty);
    reading.ok = true;
    return reading;
}

ArchiveReading ReadArchiveFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(ArchiveProblem::Kind::Unreadable, 0, file.errorString());
    if (!file.isSequential() && file.size() > kMaxArchiveFileBytes)
        return refused(ArchiveProblem::Kind::TooLarge);
    const QByteArray text = file.read(kMaxArchiveFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return refused(ArchiveProblem::Kind::Unreadable, 0, file.errorString());
    if (text.size() > kMaxArchiveFileBytes)
        return refused(ArchiveProblem::Kind::TooLarge);
    return ParseArchive(text);
}

} // namespace kiro
