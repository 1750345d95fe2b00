#include "ArchiveWindow.h"

#include "ArchiveFile.h"
#include "ArchiveTexts.h"
#include "ArchiveTransfer.h"
#include "FileSystemLists.h"
#include "link/DriveLink.h"
#include "shell/ShellState.h"
#include "shell/Variant.h"

#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kiro {

namespace {
constexpr int kListWidth = 200;
constexpr int kListHeight = 220;
} // namespace

ArchiveWindow::ArchiveWindow(ShellState& state, QWidget* parent)
    : QWidget(parent), state_(state), contract_(state, *this) {
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(archive_texts::kCaption);
    buildControls();
    layOut();
    move(0, 0);

    // The lists start where the program was started.
    const QString current = QDir::toNativeSeparators(QDir::currentPath());
    drive1_->setDriveOf(current);
    dir1_->setPath(current);
}

void ArchiveWindow::buildControls() {
    drive1_ = new DriveList(this);
    drive1_->setObjectName(QStringLiteral("Drive1"));
    drive1_->setAccessibleName(QStringLiteral("驱动器"));
    dir1_ = new FolderList(this);
    dir1_->setObjectName(QStringLiteral("Dir1"));
    dir1_->setAccessibleName(QStringLiteral("文件夹"));
    file1_ = new FileList(this);
    file1_->setObjectName(QStringLiteral("File1"));
    file1_->setAccessibleName(QStringLiteral("文件"));
    for (QWidget* list : {static_cast<QWidget*>(dir1_), static_cast<QWidget*>(file1_)})
        list->setMinimumSize(kListWidth, kListHeight);

    text1_ = new QLineEdit(this);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setAccessibleName(QStringLiteral("存档路径"));
    command1_ = new QPushButton(archive_texts::kSaveButton, this);
    command1_->setObjectName(QStringLiteral("Command1"));
    command2_ = new QPushButton(archive_texts::kWriteButton, this);
    command2_->setObjectName(QStringLiteral("Command2"));

    label1_ = new QLabel(this);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setAlignment(Qt::AlignCenter);
    label1_->hide();
    // The window is disabled while the label shows; the label must stay readable all the same.
    QPalette readable = label1_->palette();
    readable.setColor(QPalette::Disabled, QPalette::WindowText,
                      readable.color(QPalette::Active, QPalette::WindowText));
    label1_->setPalette(readable);

    connect(drive1_, &DriveList::driveChanged, dir1_, &FolderList::setPath);
    connect(dir1_, &FolderList::pathChanged, file1_, &FileList::setPath);
    connect(file1_, &FileList::fileChosen, this, [this](const QString& fileName) {
        text1_->setText(JoinFolderAndFile(file1_->path(), fileName));
    });
    connect(text1_, &QLineEdit::textChanged, this,
            [this](const QString& text) { archivePath_ = text; });
    connect(command1_, &QPushButton::clicked, this, [this] { begin(Transfer::Save); });
    connect(command2_, &QPushButton::clicked, this, [this] { begin(Transfer::Write); });
}

void ArchiveWindow::layOut() {
    // The progress label lies over the list area, in the place the hidden lists leave.
    auto* lists = new QGridLayout;
    lists->addWidget(drive1_, 0, 0);
    lists->addWidget(dir1_, 1, 0);
    lists->addWidget(file1_, 0, 1, 2, 1);
    lists->addWidget(label1_, 0, 0, 2, 2);
    lists->setRowStretch(1, 1);
    auto* listArea = new QWidget(this);
    listArea->setLayout(lists);
    listArea->setMinimumSize(listArea->sizeHint());

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(command1_);
    buttons->addStretch(1);
    buttons->addWidget(command2_);
    buttons->addStretch(1);

    auto* main = new QVBoxLayout(this);
    main->addWidget(listArea, 1);
    main->addWidget(text1_);
    main->addLayout(buttons);
}

void ArchiveWindow::begin(Transfer transfer) {
    // One transfer at a time: the disabled window keeps a second one from being asked for.
    if (contract_.busy())
        return;
    if (archivePath_.isEmpty()) {
        state_.tell(archive_texts::kChooseLocation, archive_texts::kChooseLocationTitle,
                    Prompt::Icon::Information);
        return;
    }
    if (!state_.portOpen()) {
        // The port was closed after the window opened: nothing could reach the drive.
        state_.tell(texts::kPortNotConfigured, texts::kLinkFailureTitle);
        return;
    }
    lock(transfer == Transfer::Save ? archive_texts::kSaving : archive_texts::kWriting);
    // Another window's work may hold the drive: the transfer follows once it has ended.
    contract_.submit([this, transfer] { run(transfer); });
}

void ArchiveWindow::run(Transfer transfer) {
    if (!state_.portOpen()) {
        // Closed while the transfer waited for the link.
        finish(texts::kPortNotConfigured, texts::kLinkFailureTitle, Prompt::Icon::None);
        return;
    }
    if (transfer == Transfer::Save)
        save();
    else
        write();
}

void ArchiveWindow::save() {
    const ArchiveSaveResult result = SaveArchive(state_.link(), archivePath_);
    // A new file shows in the file list when the lists come back.
    file1_->setPath(file1_->path());
    finish(result.outcome == ArchiveSaveResult::Outcome::Saved ? archive_texts::kSaved
                                                               : archive_texts::kSaveFailed);
}

void ArchiveWindow::write() {
    const ArchiveReading reading = ReadArchiveFile(archivePath_);
    if (!reading.ok) {
        finish(archive_texts::refusal(reading.problem));
        return;
    }
    const bool written = WriteArchive(state_.link(), reading.entries);
    finish(written ? archive_texts::kWritten : archive_texts::kWriteFailed);
}

void ArchiveWindow::lock(const QString& caption) {
    const bool hadFocus = isAncestorOf(QApplication::focusWidget());
    label1_->setText(caption);
    label1_->show();
    drive1_->hide();
    dir1_->hide();
    file1_->hide();
    text1_->setEnabled(false);
    command1_->setEnabled(false);
    command2_->setEnabled(false);
    setEnabled(false);
    // The hidden and disabled controls have given the focus up; the frame takes it, so that its
    // keys (Ctrl+F4) still reach the window while it works.
    contract_.keepFocusOnFrame(hadFocus);
}

void ArchiveWindow::unlock() {
    setEnabled(true);
    drive1_->show();
    dir1_->show();
    file1_->show();
    text1_->setEnabled(true);
    command1_->setEnabled(true);
    command2_->setEnabled(true);
}

void ArchiveWindow::finish(const QString& message, const QString& title, Prompt::Icon icon) {
    label1_->hide();
    label1_->clear();
    state_.tell(message, title, icon);
    unlock();
}

} // namespace kiro
