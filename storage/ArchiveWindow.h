#pragma once

#include "ArchiveTexts.h"
#include "link/Prompts.h"
#include "shell/WindowContract.h"

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kiro {

class DriveList;
class FileList;
class FolderList;
class ShellState;

// "存档参数" (Form7) of qztune-x7: saves the drive's archived registers into a text file on the PC
// ("存至硬盘") and writes such a file back into the drive ("写入芯片"). The drive, folder and file
// lists pick the file, or its path is typed.
//
// While a transfer runs or waits for its turn at the drive, the lists give way to the progress
// text and the window is disabled. A transfer is a job of the drive-work queue: asked for while
// another window talks to the drive, it starts once that work has ended; a close asked for
// meanwhile takes effect when the transfer has ended.
class ArchiveWindow : public QWidget {
    Q_OBJECT
public:
    explicit ArchiveWindow(ShellState& state, QWidget* parent = nullptr);

    // The archive path: always the text of the path box.
    const QString& ArchivePath() const { return archivePath_; }

private:
    enum class Transfer { Save, Write };

    void buildControls();
    void layOut();
    void begin(Transfer transfer);
    void run(Transfer transfer);
    void save();
    void write();
    void lock(const QString& caption);
    void unlock();
    // Shows the outcome and gives the window back to the user.
    void finish(const QString& message, const QString& title = archive_texts::kTransferTitle,
                Prompt::Icon icon = Prompt::Icon::Information);

    ShellState& state_;
    WindowContract contract_;
    DriveList* drive1_ = nullptr;
    FolderList* dir1_ = nullptr;
    FileList* file1_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
    QLabel* label1_ = nullptr;

    QString archivePath_;
};

} // namespace kiro
