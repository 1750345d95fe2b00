#include "FaultRecord.h"

#include "link/RegisterMap.h"

#include <QStringList>

namespace kiro::sim {

FaultRecord::FaultRecord() {
    // The drive ran from a weak supply once and lost a phase once; nothing is wrong now.
    words_[1] = reg::FaultUndervoltage;
    words_[2] = reg::FaultOvercurrent | reg::FaultPhaseLoss;
    words_[3] = reg::FaultUndervoltage;
    words_[4] = reg::FaultTrackingError;
}

quint16 FaultRecord::word(int column) const {
    return column >= 0 && column < kWords ? words_[size_t(column)] : 0;
}

void FaultRecord::setWord(int column, quint16 word) {
    if (column >= 0 && column < kWords)
        words_[size_t(column)] = word;
}

void FaultRecord::setWords(const QVector<quint16>& words) {
    words_.fill(0);
    for (int column = 0; column < kWords && column < words.size(); ++column)
        words_[size_t(column)] = words[column];
}

bool FaultRecord::isFaultRead(int address, int count) {
    return address == reg::FaultWordsFirst && count == reg::FaultWordCount;
}

bool FaultRecord::takeWrite(int address, quint16 value) {
    if (address != reg::FaultClear)
        return false;
    // Column 0 holds what the drive sees now; columns 1 to 9 are the history.
    if (value == 0)
        words_[0] = 0;
    else if (value == 1)
        std::fill(words_.begin() + 1, words_.end(), 0);
    return true;
}

std::optional<QVector<quint16>> FaultRecord::parse(const QString& list) {
    const QStringList items = list.split(QLatin1Char(','));
    if (items.size() > kWords)
        return std::nullopt;
    QVector<quint16> words;
    for (const QString& item : items) {
        const QString text = item.trimmed();
        bool ok = false;
        const uint value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                               ? text.mid(2).toUInt(&ok, 16)
                               : text.toUInt(&ok, 10);
        if (!ok || value > 0xFFFF)
            return std::nullopt;
        words << quint16(value);
    }
    return words;
}

} // namespace kiro::sim
