#include "ParameterFile.h"

#include "link/WholeFile.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cmath>

namespace kiro {

namespace {

constexpr const char* kCodePage = "GBK"; // code page 936
// A real parameter file is a few hundred bytes; nothing beyond this is looked at.
constexpr qint64 kMostBytesRead = 1 << 20;
const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

// Splits off up to `wanted` lines. CR LF, LF and a lone CR all end a line, so that a file edited
// on any system reads the same; the last line may lack its line end.
QList<QByteArray> firstLines(const QByteArray& bytes, int wanted) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    while (lines.size() < wanted && start < size) {
        qsizetype end = start;
        while (end < size && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        lines.append(bytes.mid(start, end - start));
        if (end < size && bytes[end] == '\r' && end + 1 < size && bytes[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

ParameterFileReading refused(int line, const QString& problem) {
    ParameterFileReading reading;
    reading.badLine = line;
    reading.problem = problem;
    return reading;
}

} // namespace

QString FormatFileNumber(float value) {
    QString number = ShortestDecimal(std::fabs(value));
    if (number.startsWith(QLatin1String("0.")))
        number.remove(0, 1);
    const QChar sign = std::signbit(value) && value != 0.0f ? QLatin1Char('-') : QLatin1Char(' ');
    return sign + number + QLatin1Char(' ');
}

std::optional<float> ParseFileNumber(QStringView text) {
    static const QRegularExpression number(
        QStringLiteral(R"(^[ \t]*([+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?)[ \t]*$)"));
    const auto match = number.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = match.capturedView(1).toDouble(&ok);
    const float single = float(value);
    if (!ok || !std::isfinite(single))
        return std::nullopt;
    return single;
}

ParameterFileReading DecodeParameterFile(const QByteArray& bytes) {
    const QList<QByteArray> lines = firstLines(bytes, kParameterCount);
    if (lines.size() < kParameterCount)
        return refused(
            0, QStringLiteral("%1 lines instead of %2").arg(lines.size()).arg(kParameterCount));
    // Stateless: every line is decoded on its own, as if it were the only one.
    QStringDecoder decoder(kCodePage, QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        return refused(0, QStringLiteral("code page 936 is not available"));
    ParameterSet set;
    for (int index = 0; index < kParameterCount; ++index) {
        const int lineNumber = index + 1;
        const QString line = decoder.decode(lines[index]);
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            return refused(lineNumber, QStringLiteral("line %1 has no \"=\"").arg(lineNumber));
        qsizetype valueEnd = line.indexOf(QLatin1Char('='), equals + 1);
        if (valueEnd < 0)
            valueEnd = line.size();
        const auto value =
            ParseFileNumber(QStringView(line).mid(equals + 1, valueEnd - equals - 1));
        if (!value)
            return refused(lineNumber, QStringLiteral("line %1 has no number").arg(lineNumber));
        if (!FitsRegister(index, *value))
            return refused(lineNumber, QStringLiteral("the number on line %1 does not fit its "
                                                      "register")
                                           .arg(lineNumber));
        set.ParamNames[std::size_t(index)] = line.left(equals);
        set.ParamValues[std::size_t(index)] = *value;
    }
    ParameterFileReading reading;
    reading.set = set;
    return reading;
}

ParameterFileReading ReadParameterFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(0, file.errorString());
    const QByteArray bytes = file.read(kMostBytesRead);
    if (file.error() != QFileDevice::NoError)
        return refused(0, file.errorString());
    return DecodeParameterFile(bytes);
}

std::optional<QByteArray> EncodeParameterFile(const ParameterSet& set) {
    QStringEncoder encoder(kCodePage, QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        return std::nullopt;
    QByteArray bytes;
    for (int index = 0; index < kParameterCount; ++index) {
        const QString line = set.ParamNames[std::size_t(index)] + QLatin1Char('=') +
                             FormatFileNumber(set.ParamValues[std::size_t(index)]);
        bytes += encoder.encode(line);
        bytes += kLineEnd;
    }
    if (encoder.hasError())
        return std::nullopt;
    return bytes;
}

bool WriteParameterFile(const QString& path, const ParameterSet& set, QString* problem) {
    const auto bytes = EncodeParameterFile(set);
    if (!bytes) {
        if (problem)
            *problem = QStringLiteral("a name cannot be written in code page 936");
        return false;
    }
    WholeFileWriter file(path);
    if (!file.open()) {
        if (problem)
            *problem = file.errorString();
        return false;
    }
    if (!file.write(*bytes)) {
        file.cancel();
        if (problem)
            *problem = QStringLiteral("the disk took only part of the file");
        return false;
    }
    if (!file.commit()) {
        if (problem)
            *problem = file.errorString();
        return false;
    }
    return true;
}

} // namespace kiro
