#include "FaultWord.h"

namespace kiro {

QString FaultKind::name() const {
    QString compact = caption;
    compact.remove(QLatin1Char(' '));
    return compact;
}

const std::array<FaultKind, 6>& FaultKinds() {
    static const std::array<FaultKind, 6> kinds{{
        {0, QStringLiteral("过  流"), true},
        {1, QStringLiteral("过  压"), true},
        {2, QStringLiteral("欠  压"), false},
        {3, QStringLiteral("缺  相"), true},
        {4, QStringLiteral("编码器"), false},
        {6, QStringLiteral("跟踪误差"), false},
    }};
    return kinds;
}

const FaultKind* FaultOfBit(int bit) {
    for (const FaultKind& kind : FaultKinds()) {
        if (kind.bit == bit)
            return &kind;
    }
    return nullptr;
}

bool HasFault(quint16 word, int bit) {
    return FaultOfBit(bit) && (word & 0xFF) & (1u << bit);
}

QStringList FaultNames(quint16 word) {
    QStringList names;
    for (const FaultKind& kind : FaultKinds()) {
        if (HasFault(word, kind.bit))
            names << kind.name();
    }
    return names;
}

} // namespace kiro
