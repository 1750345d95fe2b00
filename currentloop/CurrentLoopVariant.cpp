#include "CurrentLoopVariant.h"

#include "shell/Variant.h"

namespace kiro {

const CurrentLoopVariant& CurrentLoopVariant::x7() {
    static const CurrentLoopVariant variant{
        std::nullopt, QStringLiteral("提示"), QStringLiteral("电流环调试界面将关闭！"), true,
        true,         QStringLiteral("x7")};
    return variant;
}

const CurrentLoopVariant& CurrentLoopVariant::qz318() {
    static const CurrentLoopVariant variant{
        QPoint(3500, 500),
        QStringLiteral("Prompt"),
        QStringLiteral("The current loop tuning window will be closed soon."),
        false,
        false,
        QStringLiteral("qz318")};
    return variant;
}

const CurrentLoopVariant& CurrentLoopVariant::of(const Variant& tuner) {
    return &tuner == &Variant::qz318() ? qz318() : x7();
}

} // namespace kiro
