#pragma once

#include "WindowContract.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;

namespace kiro {

class ShellState;

// "通讯配置" (Form2): the user picks the port, and "打开端口" opens it and proves the link with one
// read of register 0 before the port counts as open. Every drive window is locked until then.
class CommWindow : public QWidget {
    Q_OBJECT
public:
    explicit CommWindow(ShellState& state, QWidget* parent = nullptr);

    // The settings string always ends like this: no parity, 8 data bits, 1 stop bit.
    static QString settingsFor(const QString& baud);

signals:
    // After a successful opening qztune-x7 unloads the window; the main window forgets it then.
    void unloaded();

private:
    void buildLists();
    void layOut();
    void portChosen();
    void baudChosen();
    void openPortClicked();
    void closePort();
    void togglePort();
    void openAndTest();
    void showPortState(bool open);
    void hideFrame();
    void unload();

    ShellState& state_;
    QComboBox* portList_ = nullptr;
    QComboBox* baudList_ = nullptr;
    QLabel* portLabel_ = nullptr;
    QLabel* baudLabel_ = nullptr;
    QPushButton* openPort_ = nullptr;
    WindowContract contract_;
    bool unloadDue_ = false;
};

} // namespace kiro
