#pragma once

#include "link/LinkVariant.h"

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QVector>

namespace kiro {

// A menu entry as the main window builds it: the entry's name (the action's objectName) and its
// caption.
struct MenuEntry {
    QString name;
    QString caption;
};

// Everything that differs between the two tuners, in one place. The windows read this table and
// never ask which tuner they are in; tool windows built later take their texts from here too.
struct Variant {
    enum class LampKind { Pictures, Texts };

    QString programName; // "qztune-x7" or "QZ318": the executable and the default message title
    const LinkVariant* link = nullptr;

    // Main window
    QString caption;
    QString noticeTitle;                 // title of refusals and notices: "提示！" / "Prompt！"
    QVector<MenuEntry> operationEntries; // entries under "操作"
    QStringList toolbarTexts;            // empty: this tuner has no toolbar

    // Link lamp in status-bar panel 2: picture files beside the program, or texts.
    LampKind lampKind = LampKind::Pictures;
    QString lampBusy;
    QString lampIdle;

    // Communication window
    QPoint commWindowTwips;
    QString portLabel;
    QString baudLabel;
    QString commFrameTitle;               // empty: no frame and no picture around the lists
    bool commUnloadsAfterOpening = false; // otherwise it is only hidden and keeps its choices

    // Product information window
    QString infoThanks; // empty: no thanks line
    QString infoModel;
    QString infoDate;
    bool infoHasOkButton = false;

    static const Variant& x7();
    static const Variant& qz318();
    // "x7" or "qz318"; nullptr for any other name.
    static const Variant* byName(const QString& name);
};

// Texts that both tuners share.
namespace texts {
inline const QString kLinkFailureTitle = QStringLiteral("通讯故障！");
inline const QString kPortNotConfigured = QStringLiteral("请先配置通讯端口！");
inline const QString kCloseOtherWindows = QStringLiteral("请先关闭其他窗口！");

// The maker. Its name and contact details are our own invention: the domain is a reserved example
// domain and the numbers belong to nobody.
inline const QString kMakerShortName = QStringLiteral("启卓");
inline const QString kMakerName = QStringLiteral("启卓运动控制技术有限公司");
inline const QString kMakerPhone = QStringLiteral("0571-5550 0118");
inline const QString kMakerFax = QStringLiteral("0571-5550 0119");
inline const QString kMakerWeb = QStringLiteral("www.qizhuo-motion.example");
inline const QString kMakerAddress1 = QStringLiteral("浙江省杭州市示范区启明路 18 号");
inline const QString kMakerAddress2 = QStringLiteral("启卓科技园 3 号楼 5 层");
inline const QString kMakerPostcode = QStringLiteral("310000");
} // namespace texts

} // namespace kiro
