#pragma once

#include "ToolWindows.h"
#include "link/DriveWorkQueue.h"

#include <QImage>
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QTimer;
class QToolBar;

namespace kiro {

class CommWindow;
class FrameMouse;
class ShellState;
class StatusLamp;

// The frame window of a tuner (MDIForm1): menus (and in QZ318 the toolbar) from which every other
// window opens inside the client area, the status bar with the link lamp, the stretched
// background, and the rule that keeps the drive tool windows exclusive. It owns no drive logic:
// every transaction goes through the drive link, whose port is this window's serial port.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(ShellState& state, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Builds the window that a tool-window command opens. Until a real window is registered, a
    // placeholder of the right name stands in.
    using ToolWindowFactory = std::function<QWidget*(ShellState&)>;
    void setToolWindowFactory(ToolWindow window, ToolWindowFactory factory);

    // Shows a window inside the client area, at the place the window has moved itself to.
    // Small dialogs keep their size and offer only closing.
    enum class ChildKind { ToolWindow, FixedDialog };
    QMdiSubWindow* showChild(QWidget* content, ChildKind kind = ChildKind::ToolWindow);

    QMdiArea* clientArea() const { return clientArea_; }
    StatusLamp& lamp() const { return *lamp_; }
    // How many times the background has been stretched over the client area.
    int backgroundRedraws() const { return backgroundRedraws_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildStatusBar();
    QAction* addCommand(QWidget* menu, const QString& name, const QString& caption,
                        void (MainWindow::*handler)());
    void showClock();
    void StretchBackground();
    void followPortOpened();
    void followPortClosed();
    void setToolbarButtonsEnabled(int first, int last, bool enabled);

    // Commands
    void showCommWindow();
    void commitToEeprom();
    void openArchive();
    void openCurrentLoop() { openExclusive(ToolWindow::CurrentLoop); }
    void openParameters() { openExclusive(ToolWindow::Parameters); }
    void openFaults() { openExclusive(ToolWindow::Faults); }
    void openParameterTableByMenu() { openExclusive(ToolWindow::ParameterTable); }
    void openParameterTableDirectly();
    void showProductInfo();
    void showContact();
    void exitProgram();

    bool deferWhileDriveInUse(const std::function<void()>& command);
    void openExclusive(ToolWindow window);
    void showToolWindow(ToolWindow window);
    bool raiseIfOpen(QWidget* window);

    ShellState& state_;
    DriveWork work_; // the shell's own drive work: the EEPROM commit, commands given meanwhile
    QMdiArea* clientArea_ = nullptr;
    FrameMouse* frameMouse_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QList<QAction*> toolbarButtons_;
    QLabel* panels_[9] = {};
    std::unique_ptr<StatusLamp> lamp_;
    QTimer* timer1_ = nullptr;
    QTimer* clock_ = nullptr;
    bool closeWaiting_ = false;
    QImage PicS; // the loaded background picture
    int backgroundRedraws_ = 0;

    QMap<ToolWindow, ToolWindowFactory> factories_;
    QMap<ToolWindow, QPointer<QWidget>> toolWindows_;
    QPointer<CommWindow> commWindow_;
    QPointer<QWidget> productInfo_;
    QPointer<QWidget> contact_;
};

} // namespace kiro
