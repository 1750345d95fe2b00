#include "Variant.h"

namespace kiro {

namespace {
const QString kComConfiguration = QStringLiteral("通讯配置");
const QString kExit = QStringLiteral("退出");
} // namespace

const Variant& Variant::x7() {
    static const Variant variant = [] {
        Variant v;
        v.programName = QStringLiteral("qztune-x7");
        v.link = &LinkVariant::x7();
        v.caption = QStringLiteral("QZ318-X7 数字式步进驱动器 - Kirotune");
        v.noticeTitle = QStringLiteral("提示！");
        v.operationEntries = {{QStringLiteral("comConfiguration"), kComConfiguration},
                              {QStringLiteral("SaveToEEprogram"), QStringLiteral("保存当前参数")},
                              {QStringLiteral("ParaDataLib"), QStringLiteral("存档参数")},
                              {QStringLiteral("exit"), kExit}};
        v.lampKind = LampKind::Pictures;
        v.lampBusy = QStringLiteral("lamp02.bmp");
        v.lampIdle = QStringLiteral("lamp01.bmp");
        v.commWindowTwips = QPoint(4000, 400);
        v.portLabel = QStringLiteral("请选择你所需要的通讯端口：");
        v.baudLabel = QStringLiteral("请选择你所需要的波特率：");
        v.commUnloadsAfterOpening = true;
        v.infoThanks =
            QStringLiteral("感谢您选用") + texts::kMakerShortName + QStringLiteral("步进产品！");
        v.infoModel = QStringLiteral("产品型号：QZ318-X7");
        v.infoDate = QStringLiteral("更新时间：2012.05.24");
        v.infoHasOkButton = false;
        return v;
    }();
    return variant;
}

const Variant& Variant::qz318() {
    static const Variant variant = [] {
        Variant v;
        v.programName = QStringLiteral("QZ318");
        v.link = &LinkVariant::qz318();
        v.caption = QStringLiteral("QZ318 数字式步进驱动器 - Kirotune");
        v.noticeTitle = QStringLiteral("Prompt！");
        v.operationEntries = {{QStringLiteral("comConfiguration"), kComConfiguration},
                              {QStringLiteral("displaypara"), QStringLiteral("配置参数显示")},
                              {QStringLiteral("exit"), kExit}};
        v.toolbarTexts = {QStringLiteral("通信设置"),   QStringLiteral("配置参数显示"),
                          QStringLiteral("电流环显示"), QStringLiteral("参数设定"),
                          QStringLiteral("故障查询"),   QStringLiteral("联系信息"),
                          QStringLiteral("版本信息"),   QStringLiteral("退出")};
        v.lampKind = LampKind::Texts;
        v.lampBusy = QStringLiteral("Communicating...");
        v.lampIdle = QStringLiteral("Ready");
        v.commWindowTwips = QPoint(4500, 1500);
        v.portLabel = QStringLiteral("串口：");
        v.baudLabel = QStringLiteral("波特率：");
        v.commFrameTitle = QStringLiteral("通讯设置");
        v.commUnloadsAfterOpening = false;
        v.infoModel = QStringLiteral("产品型号：QZ318");
        v.infoDate = QStringLiteral("更新时间：2012-10-19");
        v.infoHasOkButton = true;
        return v;
    }();
    return variant;
}

const Variant* Variant::byName(const QString& name) {
    if (name == QLatin1String("x7"))
        return &x7();
    if (name == QLatin1String("qz318"))
        return &qz318();
    return nullptr;
}

} // namespace kiro
