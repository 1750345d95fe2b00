#pragma once

#include <QString>

// The texts of the QZ318 parameter table window (the window exists in that tuner only).
namespace kiro::tabletexts {

inline const QString kCaption = QStringLiteral("QZ318配置参数");
inline const QString kFileFilter = QStringLiteral("kvx(*.kvx)");

// Column headings of the grid until the first fill; the table's own column names follow then.
inline const QString kHeadings[4] = {QStringLiteral("参数名称"), QStringLiteral("实际参数值"),
                                     QStringLiteral("参数有效范围"), QStringLiteral("默认值")};

inline const QString kRead = QStringLiteral("读取器参数");
inline const QString kWrite = QStringLiteral("下发参数");
inline const QString kCommit = QStringLiteral("保存设置");
inline const QString kReset = QStringLiteral("恢复出厂");
inline const QString kToolbarTexts[4] = {QStringLiteral("读出已存文件"),
                                         QStringLiteral("保存参数至硬盘"),
                                         QStringLiteral("写入参数到芯片"), QStringLiteral("退出")};

// Progress texts of Label1 (each ends in a blank).
inline const QString kReading = QStringLiteral("正在从驱动器返回数据，请等待.. ");
inline const QString kWritingChip = QStringLiteral("正在写入驱动器芯片，请等待.. ");
inline const QString kWritingDrive = QStringLiteral("正在写入驱动器，请等待.. ");

inline const QString kPrompt = QStringLiteral("Prompt！");

inline const QString kReadDone = QStringLiteral("数据返回成功！");
inline const QString kReadDoneTitle = QStringLiteral("下载Prompt");

inline const QString kNothingHeld = QStringLiteral("请先从驱动器读回数据或打开已保存的参数！");
inline const QString kNothingHeldTitle = QStringLiteral("写入芯片Prompt");
inline const QString kNothingToSave = QStringLiteral("请先读驱动器参数或打开已保存文件！");
inline const QString kNothingToSaveTitle = QStringLiteral("保存Prompt");
inline const QString kNothingToCommitTitle = QStringLiteral("写入Prompt");

inline const QString kConfirmWrite = QStringLiteral("请先确认当前参数为驱动器现存参数!是否继续?");
inline const QString kConfirmWriteTitle = QStringLiteral("下发参数Prompt ");
inline const QString kWriteDone = QStringLiteral("写入驱动器动作完成!");
inline const QString kWriteFailed = QStringLiteral("写入驱动器动作失败!");

inline const QString kConfirmCommit = QStringLiteral("请先确认当前参数是否为驱动器现存参数！");
inline const QString kConfirmCommitTitle = QStringLiteral("保存参数Prompt");
inline const QString kCommitDone = QStringLiteral("写入EEprom动作完成!");

inline const QString kConfirmReset = QStringLiteral("是否恢复驱动器出厂值?");
inline const QString kConfirmResetTitle = QStringLiteral("恢复出厂参数");
inline const QString kResetDone = QStringLiteral("驱动器出厂参数设置已完成!");
inline const QString kResetFailed = QStringLiteral("驱动器出厂参数设置失败!");

inline const QString kDatabaseFailed = QStringLiteral("数据库连接失败！");
inline const QString kDatabaseWriteFailed = QStringLiteral("数据库写入失败！");
inline const QString kSaveFailed = QStringLiteral("参数文件保存失败！");

} // namespace kiro::tabletexts
