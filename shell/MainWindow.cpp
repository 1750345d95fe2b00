#include "MainWindow.h"

#include "CommWindow.h"
#include "EepromCommit.h"
#include "FrameMouse.h"
#include "InfoWindows.h"
#include "ShellState.h"
#include "StatusLamp.h"
#include "Variant.h"
#include "link/DriveLink.h"
#include "link/DriveWorkQueue.h"
#include "link/SerialPort.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace kiro {

namespace {
const QString kBackgroundFile = QStringLiteral("2.jpg");
constexpr int kBackgroundSettleMs = 10;
// Toolbar buttons that lead to the drive; they follow the port.
constexpr int kFirstDriveButton = 2;
constexpr int kLastDriveButton = 5;

// Ctrl+F4 closes a tool window on every platform, as it does where the drives' engineers come
// from; Qt binds it to the frame's Close entry only under the Windows key scheme (Linux desktops
// have Ctrl+W, which stays). Added to that entry, not as a shortcut of our own, so that no key
// becomes ambiguous and the close goes the way the close button's does.
void closeOnCtrlF4(QMdiSubWindow& frame) {
    const QKeySequence ctrlF4(Qt::CTRL | Qt::Key_F4);
    const QList<QKeySequence> platformClose = QKeySequence::keyBindings(QKeySequence::Close);
    if (!frame.systemMenu() || platformClose.isEmpty() || platformClose.contains(ctrlF4))
        return;
    for (QAction* entry : frame.systemMenu()->actions()) {
        if (entry->shortcuts() == platformClose)
            entry->setShortcuts(platformClose + QList<QKeySequence>{ctrlF4});
    }
}
} // namespace

MainWindow::MainWindow(ShellState& state, QWidget* parent)
    : QMainWindow(parent), state_(state), work_(state.work(), this) {
    setObjectName(QStringLiteral("MDIForm1"));
    setWindowTitle(state_.variant().caption);

    clientArea_ = new QMdiArea(this);
    frameMouse_ = new FrameMouse(this);
    clientArea_->viewport()->installEventFilter(this);
    setCentralWidget(clientArea_);

    buildMenus();
    buildToolbar();
    buildStatusBar();

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setSingleShot(true);
    connect(timer1_, &QTimer::timeout, this, &MainWindow::StretchBackground);

    // Ending the program waits for the work of every window: it goes ahead once the queue has
    // run empty (after the windows' own closes that the work held back).
    const auto goOnEnding = [this] {
        if (closeWaiting_)
            QMetaObject::invokeMethod(this, &MainWindow::close, Qt::QueuedConnection);
    };
    connect(&state_.work(), &DriveWorkQueue::settled, this, goOnEnding);
    // A window whose close its own rule put off (the fault window during a blink) closes later.
    connect(&state_, &ShellState::windowClosed, this, goOnEnding);
    // A command of this window that the link took along when it gave up elsewhere.
    connect(&work_, &DriveWork::linkLost, this, [this] { EepromCommit::tellNotDone(state_); });

    state_.ToolWindowOpen = false;
    state_.WindowOpenFlags.clear();
    setToolbarButtonsEnabled(kFirstDriveButton, kLastDriveButton, false);

    // A missing picture leaves the client area plain; asking first keeps the loader quiet.
    const QString background = state_.picturePath(kBackgroundFile);
    if (QFileInfo::exists(background))
        PicS.load(background);

    connect(&state_, &ShellState::portOpened, this, &MainWindow::followPortOpened);
    connect(&state_, &ShellState::portClosed, this, &MainWindow::followPortClosed);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        resize(screen->availableGeometry().size());
}

MainWindow::~MainWindow() {
    // The link outlives this window: it must not reach the lamp once the status bar is gone.
    if (state_.lamp() == lamp_.get())
        state_.setLamp(nullptr);
}

void MainWindow::setToolWindowFactory(ToolWindow window, ToolWindowFactory factory) {
    factories_[window] = std::move(factory);
}

QAction* MainWindow::addCommand(QWidget* menu, const QString& name, const QString& caption,
                                void (MainWindow::*handler)()) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, handler);
    menu->addAction(action);
    return action;
}

void MainWindow::buildMenus() {
    const QMap<QString, void (MainWindow::*)()> operations = {
        {QStringLiteral("comConfiguration"), &MainWindow::showCommWindow},
        {QStringLiteral("SaveToEEprogram"), &MainWindow::commitToEeprom},
        {QStringLiteral("ParaDataLib"), &MainWindow::openArchive},
        {QStringLiteral("displaypara"), &MainWindow::openParameterTableByMenu},
        {QStringLiteral("exit"), &MainWindow::exitProgram},
    };
    QMenu* operation = menuBar()->addMenu(QStringLiteral("操作"));
    operation->setObjectName(QStringLiteral("operation"));
    for (const MenuEntry& entry : state_.variant().operationEntries)
        addCommand(operation, entry.name, entry.caption, operations.value(entry.name));

    QMenu* graphic = menuBar()->addMenu(QStringLiteral("调试"));
    graphic->setObjectName(QStringLiteral("graphic"));
    addCommand(graphic, QStringLiteral("I_test"), QStringLiteral("电流环"),
               &MainWindow::openCurrentLoop);
    addCommand(graphic, QStringLiteral("P_test"), QStringLiteral("参数设定"),
               &MainWindow::openParameters);

    addCommand(menuBar(), QStringLiteral("ErrCheck"), QStringLiteral("故障查询"),
               &MainWindow::openFaults);

    QMenu* about = menuBar()->addMenu(QStringLiteral("关于"));
    about->setObjectName(QStringLiteral("about"));
    addCommand(about, QStringLiteral("productInfo"), QStringLiteral("产品信息"),
               &MainWindow::showProductInfo);
    addCommand(about, QStringLiteral("contactUs"), QStringLiteral("联系方式"),
               &MainWindow::showContact);
}

void MainWindow::buildToolbar() {
    const QStringList& captions = state_.variant().toolbarTexts;
    if (captions.isEmpty())
        return;
    using Handler = void (MainWindow::*)();
    const Handler handlers[] = {
        &MainWindow::showCommWindow,  &MainWindow::openParameterTableDirectly,
        &MainWindow::openCurrentLoop, &MainWindow::openParameters,
        &MainWindow::openFaults,      &MainWindow::showContact,
        &MainWindow::showProductInfo, &MainWindow::exitProgram};
    toolbar_ = addToolBar(QStringLiteral("Toolbar1"));
    toolbar_->setObjectName(QStringLiteral("Toolbar1"));
    toolbar_->setMovable(false);
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    for (int index = 0; index < captions.size() && index < int(std::size(handlers)); ++index) {
        const QString name = QStringLiteral("Toolbar1_%1").arg(index + 1);
        QAction* button = addCommand(toolbar_, name, captions[index], handlers[index]);
        if (QWidget* widget = toolbar_->widgetForAction(button))
            widget->setObjectName(name);
        toolbarButtons_.append(button);
    }
}

void MainWindow::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    for (int index = 0; index < 9; ++index) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusBar1_%1").arg(index + 1));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setAlignment(Qt::AlignCenter);
        panel->setContentsMargins(4, 0, 4, 0);
        panels_[index] = panel;
        // The empty panels take up the slack so that the maker and the clock sit on the right.
        bar->addWidget(panel, index == 2 ? 1 : 0);
    }
    panels_[0]->setText(QStringLiteral("通讯状态:"));
    if (state_.variant().lampKind == Variant::LampKind::Pictures)
        panels_[1]->setFixedWidth(36);
    else
        panels_[1]->setMinimumWidth(
            panels_[1]->fontMetrics().horizontalAdvance(state_.variant().lampBusy) + 16);
    panels_[1]->setAccessibleName(QStringLiteral("通讯状态"));
    panels_[4]->setText(texts::kMakerName);
    panels_[5]->setText(QStringLiteral("日期:"));
    panels_[7]->setText(QStringLiteral("时间:"));

    lamp_ = std::make_unique<StatusLamp>(panels_[1], state_);
    state_.setLamp(lamp_.get());
    lamp_->showIdle();

    clock_ = new QTimer(this);
    clock_->setInterval(1000);
    connect(clock_, &QTimer::timeout, this, &MainWindow::showClock);
    clock_->start();
    showClock();
}

void MainWindow::showClock() {
    const QDateTime now = QDateTime::currentDateTime();
    panels_[6]->setText(now.date().toString(QStringLiteral("yyyy-MM-dd")));
    panels_[8]->setText(now.time().toString(QStringLiteral("HH:mm:ss")));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // Redraw once, a moment after the last of a burst of resizes.
    if (watched == clientArea_->viewport() && event->type() == QEvent::Resize)
        timer1_->start(kBackgroundSettleMs);
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::StretchBackground() {
    const QSize size = clientArea_->viewport()->size();
    if (size.width() < 1 || size.height() < 1 || isMinimized())
        return;
    QPixmap PicC(size);
    PicC.fill(palette().color(QPalette::Dark));
    if (!PicS.isNull()) {
        QPainter painter(&PicC);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(QPoint(0, 0), size), PicS);
    }
    clientArea_->setBackground(QBrush(PicC));
    clientArea_->viewport()->update();
    ++backgroundRedraws_;
}

void MainWindow::setToolbarButtonsEnabled(int first, int last, bool enabled) {
    for (int button = first; button <= last && button <= toolbarButtons_.size(); ++button)
        toolbarButtons_[button - 1]->setEnabled(enabled);
}

void MainWindow::followPortOpened() {
    setToolbarButtonsEnabled(1, kLastDriveButton, true);
}

void MainWindow::followPortClosed() {
    setToolbarButtonsEnabled(kFirstDriveButton, kLastDriveButton, false);
}

QMdiSubWindow* MainWindow::showChild(QWidget* content, ChildKind kind) {
    // Each window moves itself to its place when it is made, as it would on the screen.
    const QPoint place = content->pos();
    auto* frame = new QMdiSubWindow;
    frame->setWidget(content);
    frame->installEventFilter(frameMouse_);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    QPixmap noIcon(16, 16);
    noIcon.fill(Qt::transparent);
    frame->setWindowIcon(QIcon(noIcon));
    if (kind == ChildKind::FixedDialog) {
        frame->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    }
    clientArea_->addSubWindow(frame);
    closeOnCtrlF4(*frame);
    frame->adjustSize();
    if (kind == ChildKind::FixedDialog)
        frame->setFixedSize(frame->size());
    frame->move(place);
    frame->show();
    clientArea_->setActiveSubWindow(frame);
    return frame;
}

bool MainWindow::raiseIfOpen(QWidget* window) {
    if (!window)
        return false;
    if (auto* frame = qobject_cast<QMdiSubWindow*>(window->parentWidget())) {
        frame->show();
        clientArea_->setActiveSubWindow(frame);
    }
    return true;
}

bool MainWindow::deferWhileDriveInUse(const std::function<void()>& command) {
    // A command given while the drive is in use is carried out in its turn, as a job of this
    // window: a qztune-x7 communication window about to unload after opening is gone by then,
    // and a tool window opens after the work that holds the drive.
    if (!state_.linkBusy() || work_.running())
        return false;
    work_.submit([command] { command(); });
    return true;
}

void MainWindow::showCommWindow() {
    if (deferWhileDriveInUse([this] { showCommWindow(); }) || raiseIfOpen(commWindow_))
        return;
    auto* window = new CommWindow(state_);
    commWindow_ = window;
    connect(window, &CommWindow::unloaded, this, [this] { commWindow_ = nullptr; });
    showChild(window, ChildKind::FixedDialog);
}

void MainWindow::commitToEeprom() {
    EepromCommit::run(state_, work_);
}

void MainWindow::openArchive() {
    if (deferWhileDriveInUse([this] { openArchive(); }))
        return;
    if (!state_.portOpen()) {
        state_.tell(texts::kPortNotConfigured, texts::kLinkFailureTitle);
        return;
    }
    showToolWindow(ToolWindow::Archive);
}

void MainWindow::openParameterTableDirectly() {
    if (deferWhileDriveInUse([this] { openParameterTableDirectly(); }))
        return;
    showToolWindow(ToolWindow::ParameterTable);
}

void MainWindow::openExclusive(ToolWindow window) {
    if (deferWhileDriveInUse([this, window] { openExclusive(window); }))
        return;
    if (!state_.portOpen()) {
        state_.tell(texts::kPortNotConfigured, texts::kLinkFailureTitle);
        return;
    }
    if (state_.ToolWindowOpen) {
        // The window that is already open stays as it is; any other one is refused.
        if (!state_.WindowOpenFlags(RoleOf(window).menuIndex))
            state_.tell(texts::kCloseOtherWindows, state_.variant().noticeTitle);
        return;
    }
    showToolWindow(window);
}

void MainWindow::showToolWindow(ToolWindow window) {
    if (raiseIfOpen(toolWindows_.value(window)))
        return;
    const ToolWindowFactory factory = factories_.value(window);
    if (!factory)
        return; // not part of this tuner
    QWidget* content = factory(state_);
    toolWindows_[window] = content;
    showChild(content);
}

void MainWindow::showProductInfo() {
    if (raiseIfOpen(productInfo_))
        return;
    productInfo_ = new ProductInfoWindow(state_);
    showChild(productInfo_, ChildKind::FixedDialog);
}

void MainWindow::showContact() {
    if (raiseIfOpen(contact_))
        return;
    contact_ = new ContactWindow;
    showChild(contact_, ChildKind::FixedDialog);
}

void MainWindow::exitProgram() {
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Every window is asked at once, under its contract: one whose work runs or waits closes when
    // that work has ended (a long job, such as a gain search, stops at its next step), one whose
    // own rule puts the close off closes later. The program ends once every window has gone and
    // the queue has run empty.
    closeWaiting_ = false;
    bool allClosed = true;
    for (QMdiSubWindow* frame : clientArea_->subWindowList())
        allClosed = frame->close() && allClosed;
    if (!allClosed || !state_.work().idle()) {
        closeWaiting_ = true;
        event->ignore();
        return;
    }
    if (state_.portOpen())
        state_.link().port().close();
    event->accept();
}

} // namespace kiro
