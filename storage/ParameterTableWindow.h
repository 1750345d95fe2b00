#pragma once

#include "ParameterDatabase.h"
#include "ParameterSet.h"
#include "shell/WindowContract.h"

#include <QWidget>

class QAction;
class QLabel;
class QPushButton;
class QSqlQueryModel;
class QStandardItemModel;
class QTableView;
class QToolBar;

namespace kiro {

class ParameterFileDialogs;
class ShellState;

// "QZ318配置参数" (Form5): the drive's fifteen main parameters as a table of name, actual value,
// valid range and default value, moved between the drive, parameter files and the parameter
// database. The table is never edited in place: values change only by reading the drive or
// opening a file. Every drive operation is a job of the drive-work queue and locks the window from
// the click until it has ended (asked for while another window's work holds the drive, it waits
// for its turn); one that gives up on the link leaves the window disabled for the rest of its
// life. A close asked for while an operation runs or waits takes effect once it has ended.
class ParameterTableWindow : public QWidget {
    Q_OBJECT
public:
    ParameterTableWindow(ShellState& state, ParameterFileDialogs& dialogs,
                         const QString& databasePath, QWidget* parent = nullptr);
    ~ParameterTableWindow() override;

    const ParameterSet& heldSet() const { return held_; }
    bool DataLoaded() const { return DataLoaded_; }

private:
    void buildControls();
    QToolBar* buildToolbar();
    void showHeadingsOnly();

    // Operations
    void readClicked();
    void writeClicked();
    void commitClicked();
    void commitFromToolbar();
    void resetClicked();
    void OpenParameterFile();
    void SaveParameterFile();
    void closeWindow();

    void commitAfterConfirmation();
    bool mayStart() const;
    // Locks the window and queues the operation's drive work.
    void start(const QString& progress, WindowContract::Job job);
    void lock(const QString& progress);
    void unlock();
    void hideProgress();

    // The jobs, run by the queue with the link held.
    void readJob();
    void writeJob();
    void commitJob();
    void resetJob();

    void RewriteParameterTable();
    void RefreshTableView();

    ShellState& state_;
    WindowContract contract_;
    ParameterFileDialogs& dialogs_;
    ParameterDatabase database_;
    ParameterSet held_;
    bool DataLoaded_ = false;
    bool tableIsCurrent_ = false; // the database table holds the held set

    QTableView* grid_ = nullptr;
    QSqlQueryModel* tableModel_ = nullptr;
    QStandardItemModel* plainModel_ = nullptr;
    QPushButton* readButton_ = nullptr;
    QPushButton* writeButton_ = nullptr;
    QPushButton* commitButton_ = nullptr;
    QPushButton* resetButton_ = nullptr;
    QLabel* label1_ = nullptr;
};

} // namespace kiro
