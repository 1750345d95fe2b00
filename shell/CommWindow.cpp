#include "CommWindow.h"

#include "ShellState.h"
#include "Twips.h"
#include "Variant.h"
#include "link/DriveLink.h"
#include "link/LinkTest.h"
#include "link/SerialPort.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

namespace kiro {

namespace {
const QString kTitle = QStringLiteral("通讯配置");
const QString kOpen = QStringLiteral("打开端口");
const QString kClose = QStringLiteral("关闭端口");
const QString kPortProblem =
    QStringLiteral("该串口尚未找到或已被占用，请确认设备连接情况尝试重新连接！");
const QString kPortProblemTitle = QStringLiteral("串口问题！");
constexpr int kPortCount = 12;
const int kBauds[] = {9600, 19200, 38400};
constexpr int kDefaultBaudIndex = 2; // 38400: the drives talk at no other rate
constexpr int kUnloadDelayMs = 200;

// A small serial plug, drawn here rather than shipped as a file.
QPixmap connectorPicture() {
    QPixmap picture(48, 48);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(40, 60, 90), 2));
    painter.setBrush(QColor(170, 190, 215));
    const QPolygonF shell({QPointF(6, 14), QPointF(42, 14), QPointF(37, 34), QPointF(11, 34)});
    painter.drawPolygon(shell);
    painter.setBrush(QColor(40, 60, 90));
    for (int pin = 0; pin < 5; ++pin)
        painter.drawEllipse(QPointF(13 + pin * 5.5, 21), 1.5, 1.5);
    for (int pin = 0; pin < 4; ++pin)
        painter.drawEllipse(QPointF(16 + pin * 5.5, 27), 1.5, 1.5);
    painter.setPen(QPen(QColor(40, 60, 90), 3));
    painter.drawLine(QPointF(24, 34), QPointF(24, 46));
    return picture;
}
} // namespace

CommWindow::CommWindow(ShellState& state, QWidget* parent)
    : QWidget(parent), state_(state), contract_(state, *this) {
    setObjectName(QStringLiteral("Form2"));
    connect(&contract_.work(), &DriveWork::settled, this, [this] {
        if (std::exchange(unloadDue_, false))
            unload();
    });
    // The port is opened again from here: a link that gave up elsewhere leaves this window as it
    // is, ready for that.
    contract_.setLinkLossHandler([this] { openPort_->setEnabled(true); });
    setWindowTitle(kTitle);
    buildLists();
    layOut();
    // The frame that hosts this window takes over this place in the main window's client area.
    move(twips::toPixels(state_.variant().commWindowTwips));

    // Preselect COM1 and 38400 through the same handling as a user's choice.
    portList_->setCurrentIndex(0);
    baudList_->setCurrentIndex(kDefaultBaudIndex);
    portChosen();
    baudChosen();
    baudList_->setEnabled(false);
    showPortState(state_.portOpen());
}

QString CommWindow::settingsFor(const QString& baud) {
    return baud + QStringLiteral(",n,8,1");
}

void CommWindow::buildLists() {
    portList_ = new QComboBox(this);
    portList_->setObjectName(QStringLiteral("combo1_0"));
    for (int number = 1; number <= kPortCount; ++number)
        portList_->addItem(QStringLiteral("COM%1").arg(number), number);
    baudList_ = new QComboBox(this);
    baudList_->setObjectName(QStringLiteral("combo1_1"));
    for (const int baud : kBauds)
        baudList_->addItem(QString::number(baud), baud);
    connect(portList_, &QComboBox::currentIndexChanged, this, &CommWindow::portChosen);
    connect(baudList_, &QComboBox::currentIndexChanged, this, &CommWindow::baudChosen);

    const Variant& variant = state_.variant();
    portLabel_ = new QLabel(variant.portLabel, this);
    portLabel_->setObjectName(QStringLiteral("Label1_0"));
    portLabel_->setBuddy(portList_);
    baudLabel_ = new QLabel(variant.baudLabel, this);
    baudLabel_->setObjectName(QStringLiteral("Label1_1"));
    baudLabel_->setBuddy(baudList_);

    openPort_ = new QPushButton(kOpen, this);
    openPort_->setObjectName(QStringLiteral("openPort"));
    connect(openPort_, &QPushButton::clicked, this, &CommWindow::openPortClicked);
}

void CommWindow::layOut() {
    const Variant& variant = state_.variant();
    auto* lists = new QGridLayout;
    lists->addWidget(portLabel_, 0, 0);
    lists->addWidget(portList_, 0, 1);
    lists->addWidget(baudLabel_, 1, 0);
    lists->addWidget(baudList_, 1, 1);
    lists->setColumnStretch(1, 1);

    auto* main = new QVBoxLayout(this);
    if (variant.commFrameTitle.isEmpty()) {
        main->addLayout(lists);
    } else {
        auto* row = new QHBoxLayout;
        auto* picture = new QLabel(this);
        picture->setObjectName(QStringLiteral("Image1"));
        picture->setPixmap(connectorPicture());
        picture->setAlignment(Qt::AlignCenter);
        row->addWidget(picture);
        auto* frame = new QGroupBox(variant.commFrameTitle, this);
        frame->setObjectName(QStringLiteral("Frame1"));
        frame->setLayout(lists);
        row->addWidget(frame, 1);
        main->addLayout(row);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(openPort_);
    buttons->addStretch(1);
    main->addLayout(buttons);
}

void CommWindow::portChosen() {
    state_.link().setPortNumber(portList_->currentData().toInt());
}

void CommWindow::baudChosen() {
    state_.link().setPortSettings(settingsFor(baudList_->currentText()));
}

void CommWindow::showPortState(bool open) {
    openPort_->setText(open ? kClose : kOpen);
    portList_->setEnabled(!open);
}

void CommWindow::openPortClicked() {
    // Carried out in turn, after any work of another window; the button waits meanwhile, so that
    // one click is one change of the port.
    if (!state_.portOpen())
        state_.work().startAfresh(); // the user opens the port again: the link starts afresh
    openPort_->setEnabled(false);
    contract_.submit(QStringLiteral("port"), [this] { togglePort(); });
}

void CommWindow::togglePort() {
    if (state_.portOpen())
        closePort();
    else
        openAndTest();
    openPort_->setEnabled(true);
}

void CommWindow::closePort() {
    state_.link().port().close();
    showPortState(false);
    state_.announcePortClosed();
}

void CommWindow::openAndTest() {
    DriveLink& link = state_.link();
    if (LinkTest::run(link) != LinkTest::Outcome::Open) {
        state_.tell(kPortProblem, kPortProblemTitle, Prompt::Icon::Warning);
        return;
    }
    showPortState(true);
    if (link.port().isOpen())
        state_.announcePortOpened();
    hideFrame();
    if (state_.variant().commUnloadsAfterOpening) {
        QCoreApplication::processEvents();
        link.WaitMs(kUnloadDelayMs);
        unloadDue_ = true; // once the work has ended: the window cannot close from inside it
    }
}

void CommWindow::hideFrame() {
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
        frame->hide();
    else
        hide();
}

void CommWindow::unload() {
    emit unloaded();
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        frame->setAttribute(Qt::WA_DeleteOnClose);
        frame->close();
    } else {
        setAttribute(Qt::WA_DeleteOnClose);
        close();
    }
}

} // namespace kiro
