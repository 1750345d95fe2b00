#include "LinkVariant.h"

namespace kiro {

const LinkVariant& LinkVariant::x7() {
    static const LinkVariant variant{ReplyLayout::WideByteCount, QStringLiteral("通讯故障！"),
                                     QStringLiteral("请检查连接后重新开启软件！")};
    return variant;
}

const LinkVariant& LinkVariant::qz318() {
    static const LinkVariant variant{
        ReplyLayout::NarrowByteCount, QStringLiteral("Communication Error"),
        QStringLiteral("Communication Error. Please check the RS232 cable connection and restart "
                       "Kirotune.")};
    return variant;
}

const LinkVariant* LinkVariant::byName(const QString& name) {
    if (name == QLatin1String("x7"))
        return &x7();
    if (name == QLatin1String("qz318"))
        return &qz318();
    return nullptr;
}

} // namespace kiro
