#include "ProbeDialog.h"

#include "ProbeAboutBox.h"
#include "ProbeConversions.h"
#include "ProbePrompter.h"
#include "ProbeTexts.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QVBoxLayout>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace regprobe {

namespace {

const QString AboutEntryText = QStringLiteral("关于 RegProbe(&A)...");
#ifdef Q_OS_WIN
constexpr UINT AboutCommandId = 0x0010;
#endif

QComboBox* makeCombo(const char* name, const QStringList& items, const QString& initial) {
    auto* box = new QComboBox;
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    // Typing must not grow the lists: the engine reads the position of the chosen item.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    box->setCurrentIndex(int(items.indexOf(initial)));
    return box;
}

QLineEdit* makeEdit(const QString& name, const QString& text = {}) {
    auto* edit = new QLineEdit(text);
    edit->setObjectName(name);
    return edit;
}

QLabel* makeLabel(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

// The position of the box's text among its items; -1 for a text that is none of them, which the
// engine treats as its default for that setting.
int chosenPosition(const QComboBox* box) {
    return box->findText(box->currentText(), Qt::MatchFixedString | Qt::MatchCaseSensitive);
}

} // namespace

ProbeDialog::ProbeDialog(ProbePrompter* prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter), engine_(prompter) {
    setObjectName(QStringLiteral("ProbeDialog"));
    setWindowTitle(QStringLiteral("Tools"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildCommunicationGroup());
    for (int number = 1; number <= 5; ++number)
        layout->addWidget(buildRow(number));

    for (auto* box : {portCombo_, baudCombo_, dataBitsCombo_, stopBitsCombo_, parityCombo_})
        copyComboToEngine(box);
    focusWatch_ = connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget*) {
        for (auto* box : {portCombo_, baudCombo_, dataBitsCombo_, stopBitsCombo_, parityCombo_}) {
            if (old && (old == box || box->isAncestorOf(old)))
                copyComboToEngine(box);
        }
    });

    engine_.replyHandler = [this](const QString& text) { showReply(text); };
    addAboutEntry();
}

ProbeDialog::~ProbeDialog() {
    // Hiding and destroying the boxes below still moves the focus, and by then the engine the
    // handler writes into is gone: the focus must stop reaching this dialog first.
    disconnect(focusWatch_);
    engine_.replyHandler = nullptr;
    engine_.ClosePort();
}

QWidget* ProbeDialog::buildCommunicationGroup() {
    auto* group = new QGroupBox(QStringLiteral("Communication"));
    auto* layout = new QHBoxLayout(group);

    QStringList ports;
    for (int n = 1; n <= 9; ++n)
        ports << QStringLiteral("COM%1").arg(n);
    portCombo_ = makeCombo("portCombo", ports, QStringLiteral("COM1"));
    baudCombo_ = makeCombo(
        "baudCombo", {"1200", "2400", "4800", "9600", "14400", "19200", "38400", "57600", "115200"},
        QStringLiteral("38400"));
    dataBitsCombo_ = makeCombo("dataBitsCombo", {"7", "8"}, QStringLiteral("8"));
    stopBitsCombo_ = makeCombo("stopBitsCombo", {"1", "1.5", "2"}, QStringLiteral("1"));
    parityCombo_ = makeCombo("parityCombo", {"None", "Odd", "Even"}, QStringLiteral("None"));

    layout->addWidget(makeLabel(QStringLiteral("Port:"), portCombo_));
    layout->addWidget(portCombo_);
    layout->addWidget(makeLabel(QStringLiteral("Baudrate:"), baudCombo_));
    layout->addWidget(baudCombo_);
    layout->addWidget(makeLabel(QStringLiteral("Databit:"), dataBitsCombo_));
    layout->addWidget(dataBitsCombo_);
    layout->addWidget(makeLabel(QStringLiteral("Stopbit:"), stopBitsCombo_));
    layout->addWidget(stopBitsCombo_);
    layout->addWidget(makeLabel(QStringLiteral("Parity:"), parityCombo_));
    layout->addWidget(parityCombo_);

    openButton_ = new QPushButton(QStringLiteral("Open"));
    openButton_->setObjectName(QStringLiteral("openButton"));
    openButton_->setDefault(true);
    connect(openButton_, &QPushButton::clicked, this, &ProbeDialog::toggleOpen);
    layout->addWidget(openButton_);

    stateLabel_ = new QLabel(QStringLiteral("State:Close"));
    stateLabel_->setObjectName(QStringLiteral("stateLabel"));
    layout->addWidget(stateLabel_);
    return group;
}

QWidget* ProbeDialog::buildRow(int number) {
    auto* group = new QGroupBox(QStringLiteral("Test %1").arg(number));
    auto* layout = new QGridLayout(group);
    const QString n = QString::number(number);
    Row& row = rows_[std::size_t(number - 1)];

    row.station = makeEdit(QStringLiteral("stationEdit_") + n, QStringLiteral("01"));
    row.read = new QRadioButton(QStringLiteral("Read:"));
    row.read->setObjectName(QStringLiteral("readRadio_") + n);
    row.read->setChecked(true);
    row.readCount = makeEdit(QStringLiteral("readCountEdit_") + n, QStringLiteral("01"));
    row.write = new QRadioButton(QStringLiteral("Write:"));
    row.write->setObjectName(QStringLiteral("writeRadio_") + n);
    row.writeValue = makeEdit(QStringLiteral("writeValueEdit_") + n, QStringLiteral("01"));
    row.address = makeEdit(QStringLiteral("addressEdit_") + n);
    row.hex = makeEdit(QStringLiteral("hexEdit_") + n);
    row.dec = makeEdit(QStringLiteral("decEdit_") + n);
    row.bin = makeEdit(QStringLiteral("binEdit_") + n);
    auto* send = new QPushButton(QStringLiteral("Send"));
    send->setObjectName(QStringLiteral("sendButton_") + n);
    send->setAutoDefault(false);
    connect(send, &QPushButton::clicked, this, [this, number] { sendRequest(number); });

    // The radio buttons of one row are one group; each group box keeps its row apart from the
    // others.
    layout->addWidget(makeLabel(QStringLiteral("NO.:"), row.station), 0, 0);
    layout->addWidget(row.station, 0, 1);
    layout->addWidget(row.read, 0, 2);
    layout->addWidget(row.readCount, 0, 3);
    layout->addWidget(row.write, 0, 4);
    layout->addWidget(row.writeValue, 0, 5);
    layout->addWidget(makeLabel(QStringLiteral("Address:"), row.address), 0, 6);
    layout->addWidget(row.address, 0, 7);
    layout->addWidget(send, 0, 8);
    layout->addWidget(makeLabel(QStringLiteral("Return HEX:"), row.hex), 1, 0);
    layout->addWidget(row.hex, 1, 1, 1, 2);
    layout->addWidget(makeLabel(QStringLiteral("DEC:"), row.dec), 1, 3);
    layout->addWidget(row.dec, 1, 4, 1, 2);
    layout->addWidget(makeLabel(QStringLiteral("BIN:"), row.bin), 1, 6);
    layout->addWidget(row.bin, 1, 7, 1, 2);
    return group;
}

void ProbeDialog::addAboutEntry() {
    aboutAction_ = new QAction(AboutEntryText, this);
    aboutAction_->setObjectName(QStringLiteral("aboutAction"));
    connect(aboutAction_, &QAction::triggered, this, &ProbeDialog::showAbout);
#ifdef Q_OS_WIN
    HMENU menu = ::GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE);
    if (menu) {
        ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(menu, MF_STRING, AboutCommandId,
                      reinterpret_cast<const wchar_t*>(AboutEntryText.utf16()));
    }
#else
    // Other platforms give a dialog no system menu of its own to extend; its context menu carries
    // the same entry.
    setContextMenuPolicy(Qt::ActionsContextMenu);
    addAction(aboutAction_);
#endif
}

#ifdef Q_OS_WIN
bool ProbeDialog::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    const auto* msg = static_cast<const MSG*>(message);
    if (msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == AboutCommandId) {
        aboutAction_->trigger();
        *result = 0;
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}
#endif

void ProbeDialog::showAbout() {
    auto* box = new ProbeAboutBox(this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void ProbeDialog::copyComboToEngine(QComboBox* box) {
    if (box == portCombo_)
        engine_.portName = box->currentText();
    else if (box == baudCombo_)
        engine_.baudPosition = chosenPosition(box);
    else if (box == dataBitsCombo_)
        engine_.dataBitsPosition = chosenPosition(box);
    else if (box == stopBitsCombo_)
        engine_.stopBitsPosition = chosenPosition(box);
    else if (box == parityCombo_)
        engine_.parityPosition = chosenPosition(box);
}

void ProbeDialog::toggleOpen() {
    if (engine_.isOpen()) {
        if (engine_.ClosePort()) {
            openButton_->setText(QStringLiteral("Open"));
            stateLabel_->setText(QStringLiteral("State:Close"));
        } else {
            stateLabel_->setText(QStringLiteral("State:Close Fault"));
        }
        return;
    }
    // Enter in a box presses Open without the box losing the focus; the port opened must still be
    // the one the boxes show.
    for (auto* box : {portCombo_, baudCombo_, dataBitsCombo_, stopBitsCombo_, parityCombo_})
        copyComboToEngine(box);
    if (engine_.OpenPort()) {
        openButton_->setText(QStringLiteral("Close"));
        stateLabel_->setText(QStringLiteral("State:Open"));
    } else {
        stateLabel_->setText(QStringLiteral("State:Betiedup"));
    }
}

bool ProbeDialog::refuse(const QString& text) {
    if (prompter_)
        prompter_->show({text, ProbeProgramName, ProbeMessage::Icon::None});
    return false;
}

void ProbeDialog::sendRequest(int number) {
    ActiveRow = number;
    const Row& row = rows_[std::size_t(number - 1)];
    const RowMessages& messages = MessagesOfRow(number);
    QString station = row.station->text().trimmed();
    // Blanks around the address would split its digit pairs and shift every byte after them.
    QString address = row.address->text().trimmed();

    if (!engine_.isOpen())
        return void(refuse(messages.portClosed));
    if (station.isEmpty())
        return void(refuse(messages.stationEmpty));
    if (address.isEmpty())
        return void(refuse(messages.addressEmpty));
    if (station.size() > 2)
        return void(refuse(messages.stationIllegal));
    // A station without digits would read as 0, the broadcast address that every drive obeys.
    bool stationHasDigits = false;
    const auto stationNumber = int(LeadingDecimal(station, &stationHasDigits));
    if (!stationHasDigits)
        return void(refuse(messages.stationIllegal));
    // A blank inside would shift every digit pair after it and send a shorter, garbled request.
    if (address.size() > 4 || address.contains(QLatin1Char(' ')))
        return void(refuse(messages.addressIllegal));

    if (station.size() == 1)
        station.prepend(QLatin1Char('0'));
    address = address.rightJustified(4, QLatin1Char('0'));

    const bool read = row.read->isChecked();
    const QString function = read ? QStringLiteral("03") : QStringLiteral("06");
    const int expectedLength = read ? 7 : 8;
    QString value = (read ? row.readCount : row.writeValue)->text();
    while (value.endsWith(QLatin1Char(' ')))
        value.chop(1);
    // More than four hex digits would add a byte to the frame and garble the request.
    if (LeadingDecimal(value) > 0xFFFF)
        return void(refuse(read ? ReadCountTooLarge : WriteValueTooLarge));
    ActiveFunction = function;

    const QString stationHex = DecimalToHexText(station).rightJustified(2, QLatin1Char('0'));
    const QString valueHex = DecimalToHexText(value).rightJustified(4, QLatin1Char('0'));
    const QString request = stationHex + function + address + valueHex;

    // When nothing went out, whatever waits in the port is no answer to this row.
    if (engine_.SendHexFrame(request) == 0)
        return;
    QThread::msleep(100);
    engine_.ReadProbeReply(stationNumber, read ? 3 : 6, expectedLength);
}

void ProbeDialog::showReply(const QString& replyText) {
    if (ActiveRow < 1 || ActiveRow > 5)
        return;
    const QString hex =
        ActiveFunction == QLatin1String("03") ? replyText.mid(9, 5) : replyText.mid(12, 5);
    const Row& row = rows_[std::size_t(ActiveRow - 1)];
    row.hex->setText(hex);
    row.dec->setText(HexTextToDecimal(hex));
    row.bin->setText(HexTextToBinary(hex));
}

void ProbeDialog::done(int result) {
    engine_.ClosePort();
    QDialog::done(result);
}

} // namespace regprobe
