#pragma once

#include "ArchiveFile.h"

#include <QString>

// The archive window's captions and messages, shared with qzcli so that a bench script reports a
// transfer in the same words as the window.
namespace kiro::archive_texts {

inline const QString kCaption = QStringLiteral("存档参数");
inline const QString kSaveButton = QStringLiteral("存至硬盘");
inline const QString kWriteButton = QStringLiteral("写入芯片");
inline const QString kSaving = QStringLiteral("写入硬盘中，请等待.. ");
inline const QString kWriting = QStringLiteral("写入芯片中，请等待..");

inline const QString kChooseLocation = QStringLiteral("请选择相应地址！");
inline const QString kChooseLocationTitle = QStringLiteral("提示");

inline const QString kTransferTitle = QStringLiteral("下载提示");
inline const QString kSaved = QStringLiteral("成功写入硬盘！");
inline const QString kSaveFailed = QStringLiteral("写入硬盘失败！");
inline const QString kWritten = QStringLiteral("成功写入芯片！");
inline const QString kWriteFailed = QStringLiteral("写入芯片失败！");

// Why a file was not written to the drive, naming the line at fault.
QString refusal(const ArchiveProblem& problem);

} // namespace kiro::archive_texts
