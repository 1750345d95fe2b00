#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QString>

// The three lists through which a window lets the user walk the file system: the drives, the
// folders of the chosen drive, the files of the chosen folder. Paths are shown and handed out in
// the platform's own notation ("/" between folders on Linux, "\" on Windows).
namespace kiro {

// The full path of a file in a folder. A root folder already ends with its separator ("/",
// "C:\"), which is not doubled.
QString JoinFolderAndFile(const QString& folder, const QString& fileName);

// The drives of the PC: the mounted file systems, each by its root folder.
class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget* parent = nullptr);

    QString drive() const;
    // Chooses the drive that holds the folder.
    void setDriveOf(const QString& folder);

signals:
    void driveChanged(const QString& root);
};

// A folder and the way to it: every folder from the drive's root down to it, then the folders
// inside it. Activating an entry (double click or Enter) makes it the folder; every change of the
// folder, by the user or by the program, is announced.
class FolderList : public QListWidget {
    Q_OBJECT
public:
    explicit FolderList(QWidget* parent = nullptr);

    QString path() const { return path_; }
    void setPath(const QString& folder);

signals:
    void pathChanged(const QString& folder);

private:
    void addEntry(const QString& text, const QString& folder, int depth, bool open);

    QString path_;
};

// The files of a folder, all of them, by name.
class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);

    QString path() const { return path_; }
    void setPath(const QString& folder);

signals:
    // The user chose a file, with the mouse (also the one already selected) or the keys.
    void fileChosen(const QString& fileName);

private:
    QString path_;
};

} // namespace kiro
