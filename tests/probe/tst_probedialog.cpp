// The probe dialog through its widgets, talking to a drive on a pseudo-terminal.

#include "PtyDrive.h"
#include "RecordingPrompter.h"
#include "probe/ProbeDialog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <QDir>

#include <termios.h>
#include <unistd.h>

using namespace regprobe;
using probetest::PtyDrive;

namespace {

struct Rig {
    PtyDrive drive;
    probetest::RecordingPrompter prompter;
    ProbeDialog dialog{&prompter};

    Rig() { drive.publishAs(QStringLiteral("COM3")); }

    template <typename T> T* widget(const QString& name) {
        auto* found = dialog.findChild<T*>(name);
        if (!found)
            qFatal("no widget %s", qPrintable(name));
        return found;
    }
    QLineEdit* edit(const char* name, int row) {
        return widget<QLineEdit>(QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(row));
    }
    void open(const QString& port = QStringLiteral("COM3")) {
        widget<QComboBox>("portCombo")->setEditText(port);
        widget<QPushButton>("openButton")->click();
    }
    void send(int row) { widget<QPushButton>(QStringLiteral("sendButton_%1").arg(row))->click(); }
    QStringList results(int row) {
        return {edit("hexEdit", row)->text(), edit("decEdit", row)->text(),
                edit("binEdit", row)->text()};
    }
};

// The descriptor of this process, other than `except`, that is open on the device at path.
int openDescriptorOf(const QString& path, int except) {
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& name : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        const int fd = name.toInt();
        if (fd != except && QFile::symLinkTarget(fds.filePath(name)) == path)
            return fd;
    }
    return -1;
}

} // namespace

class ProbeDialogTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir configHome_;

private slots:
    void initTestCase() {
        QVERIFY(configHome_.isValid());
        qputenv("XDG_CONFIG_HOME", configHome_.path().toLocal8Bit());
    }

    void opensAsTheUserKnowsIt() {
        Rig rig;
        QCOMPARE(rig.dialog.objectName(), QString("ProbeDialog"));
        QCOMPARE(rig.dialog.windowTitle(), QString("Tools"));
        QCOMPARE(rig.widget<QComboBox>("portCombo")->currentText(), QString("COM1"));
        QCOMPARE(rig.widget<QComboBox>("portCombo")->count(), 9);
        QCOMPARE(rig.widget<QComboBox>("baudCombo")->currentText(), QString("38400"));
        QCOMPARE(rig.widget<QComboBox>("dataBitsCombo")->currentText(), QString("8"));
        QCOMPARE(rig.widget<QComboBox>("stopBitsCombo")->currentText(), QString("1"));
        QCOMPARE(rig.widget<QComboBox>("parityCombo")->currentText(), QString("None"));
        QCOMPARE(rig.widget<QPushButton>("openButton")->text(), QString("Open"));
        QVERIFY(rig.widget<QPushButton>("openButton")->isDefault());
        QCOMPARE(rig.widget<QLabel>("stateLabel")->text(), QString("State:Close"));
        for (int row = 1; row <= 5; ++row) {
            QCOMPARE(rig.edit("stationEdit", row)->text(), QString("01"));
            QCOMPARE(rig.edit("readCountEdit", row)->text(), QString("01"));
            QCOMPARE(rig.edit("writeValueEdit", row)->text(), QString("01"));
            QVERIFY(rig.edit("addressEdit", row)->text().isEmpty());
            QVERIFY(rig.widget<QRadioButton>(QStringLiteral("readRadio_%1").arg(row))->isChecked());
            auto* group = qobject_cast<QGroupBox*>(rig.edit("stationEdit", row)->parentWidget());
            QVERIFY(group);
            QCOMPARE(group->title(), QStringLiteral("Test %1").arg(row));
        }
    }

    void openAndClose() {
        Rig rig;
        auto* button = rig.widget<QPushButton>("openButton");
        auto* state = rig.widget<QLabel>("stateLabel");
        // A baud rate typed rather than picked is the one the port gets.
        rig.widget<QComboBox>("baudCombo")->setEditText("9600");
        rig.open();
        QCOMPARE(button->text(), QString("Close"));
        QCOMPARE(state->text(), QString("State:Open"));
        termios tio{};
        QCOMPARE(::tcgetattr(rig.drive.slaveFd(), &tio), 0);
        QCOMPARE(::cfgetospeed(&tio), speed_t(B9600));

        button->click();
        QCOMPARE(button->text(), QString("Open"));
        QCOMPARE(state->text(), QString("State:Close"));

        QFile::link(configHome_.filePath("no-such-device"),
                    configHome_.filePath("Kirotune/dosdevices/COM8"));
        rig.open("COM8");
        QCOMPARE(button->text(), QString("Open"));
        QCOMPARE(state->text(), QString("State:Betiedup"));
        QVERIFY(rig.prompter.messages.isEmpty());
    }

    void comboChoiceReachesTheEngineWhenFocusLeaves() {
        Rig rig;
        rig.dialog.show();
        QApplication::setActiveWindow(&rig.dialog);
        QVERIFY(QTest::qWaitForWindowActive(&rig.dialog));
        auto* parity = rig.widget<QComboBox>("parityCombo");
        parity->setFocus();
        parity->setEditText("Even");
        QCOMPARE(rig.dialog.engine().parityPosition, 0);
        rig.edit("addressEdit", 1)->setFocus();
        QCOMPARE(rig.dialog.engine().parityPosition, 2);

        auto* port = rig.widget<QComboBox>("portCombo");
        port->setFocus();
        port->setCurrentIndex(4);
        rig.widget<QComboBox>("baudCombo")->setFocus();
        QCOMPARE(rig.dialog.engine().portName, QString("COM5"));
    }

    void refusals_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("message");

        const QString closed = "COM is closed,open frist!";
        const QString noDrive = "Please input drive No. !";
        const QString badDrive = "Illegal drive No.,try again!";
        const QString noAddress = "Please input address !";
        const QString badAddress = "Illegal address,try again!";
        const QString badAddressWide = "Illegal address，try again!";
        const QStringList conditions = {
            "port closed",           "station empty",        "address empty",
            "station too long",      "address too long",     "station without digits",
            "write value too large", "read count too large", "blank inside the address"};
        const QList<QStringList> messages = {
            {"COM is closed ,open frist!", closed, closed, closed, closed},
            {"Please input drive number !", noDrive, noDrive, badDrive, noDrive},
            {noAddress, badAddress, noAddress, badAddress, noAddress},
            {badDrive, badDrive, badDrive, badDrive, badDrive},
            {badAddressWide, badAddressWide, badAddress, badAddress, badAddress},
            {badDrive, badDrive, badDrive, badDrive, badDrive},
            QStringList(5, "Illegal write value,use 0 to 65535 and try again!"),
            QStringList(5, "Illegal read count,use 0 to 65535 and try again!"),
            {badAddressWide, badAddressWide, badAddress, badAddress, badAddress},
        };
        for (int c = 0; c < conditions.size(); ++c) {
            for (int row = 1; row <= 5; ++row) {
                QTest::addRow("%s, row %d", qPrintable(conditions[c]), row)
                    << row << conditions[c] << messages[c][row - 1];
            }
        }
    }
    void refusals() {
        QFETCH(int, row);
        QFETCH(QString, condition);
        QFETCH(QString, message);
        Rig rig;
        if (condition != "port closed")
            rig.open();
        rig.edit("addressEdit", row)->setText("A");
        if (condition == "station empty")
            rig.edit("stationEdit", row)->setText("  ");
        else if (condition == "address empty")
            rig.edit("addressEdit", row)->setText("  ");
        else if (condition == "station too long")
            rig.edit("stationEdit", row)->setText("001");
        else if (condition == "address too long")
            rig.edit("addressEdit", row)->setText("0000A");
        else if (condition == "station without digits")
            rig.edit("stationEdit", row)->setText("x");
        else if (condition == "write value too large") {
            rig.widget<QRadioButton>(QStringLiteral("writeRadio_%1").arg(row))->click();
            rig.edit("writeValueEdit", row)->setText("65536");
        } else if (condition == "read count too large")
            rig.edit("readCountEdit", row)->setText("4294967297");
        else if (condition == "blank inside the address")
            rig.edit("addressEdit", row)->setText(" 1 2 ");

        rig.send(row);
        QCOMPARE(rig.prompter.texts(), QStringList{message});
        QCOMPARE(rig.prompter.messages[0].title, QString("RegProbe"));
        QVERIFY(rig.drive.received().isEmpty());
    }

    void requests_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("station");
        QTest::addColumn<bool>("write");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("registerValue");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QStringList>("results");

        const auto frame = [](const char* hex) {
            return probetest::withCrc(QByteArray::fromHex(hex));
        };
        QTest::newRow("read") << 1 << "1" << false << "1"
                              << "A" << 0x1234 << QByteArray::fromHex("0103000A0001A408")
                              << QStringList{"12 34", "4660", "0001 0010 0011 0100 "};
        QTest::newRow("station 10") << 3 << "10" << false << "01"
                                    << "a" << 0x1234 << frame("0A03000A0001")
                                    << QStringList{"12 34", "4660", "0001 0010 0011 0100 "};
        QTest::newRow("write") << 2 << "01" << true << "1000"
                               << "000C" << 0 << frame("0106000C03E8")
                               << QStringList{"03 E8", "1000", "0011 1110 1000 "};
        QTest::newRow("write with blanks after the value")
            << 4 << "1" << true << "65535  "
            << "C" << 0 << frame("0106000CFFFF")
            << QStringList{"FF FF", "65535", "1111 1111 1111 1111 "};
        QTest::newRow("value 5") << 5 << "1" << false << "1"
                                 << "7" << 5 << frame("010300070001")
                                 << QStringList{"00 05", "5", "0101 "};
        QTest::newRow("value 0") << 5 << " 1 " << false << "1"
                                 << " 7 " << 0 << frame("010300070001")
                                 << QStringList{"00 00", "0", "0000"};
    }
    void requests() {
        QFETCH(int, row);
        QFETCH(QString, station);
        QFETCH(bool, write);
        QFETCH(QString, value);
        QFETCH(QString, address);
        QFETCH(int, registerValue);
        QFETCH(QByteArray, wire);
        QFETCH(QStringList, results);

        Rig rig;
        const auto byte = [&](int i) { return int(std::uint8_t(wire[i])); };
        rig.drive.setStation(byte(0));
        rig.drive.setRegister(byte(2) * 256 + byte(3), registerValue);
        rig.open();
        rig.edit("stationEdit", row)->setText(station);
        rig.edit("addressEdit", row)->setText(address);
        if (write) {
            rig.widget<QRadioButton>(QStringLiteral("writeRadio_%1").arg(row))->click();
            rig.edit("writeValueEdit", row)->setText(value);
        } else {
            rig.edit("readCountEdit", row)->setText(value);
        }
        rig.send(row);

        QCOMPARE(rig.drive.received().toHex(' '), wire.toHex(' '));
        QCOMPARE(rig.results(row), results);
        QVERIFY(rig.prompter.messages.isEmpty());
        for (int other = 1; other <= 5; ++other) {
            if (other != row)
                QCOMPARE(rig.results(other), QStringList(3, QString()));
        }
    }

    void repliesThatDoNotFitKeepTheResults_data() {
        QTest::addColumn<PtyDrive::Behaviour>("behaviour");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("station");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("sent");
        using B = PtyDrive::Behaviour;
        const QString notHex = "输入字符超出16进制范围，无法按16进制正常发送";
        QTest::newRow("no reply") << B::Silent << 2 << 1 << "A" << QStringList() << true;
        QTest::newRow("another station")
            << B::OtherStation << 4 << 7 << "A" << QStringList() << true;
        QTest::newRow("exception") << B::Exception << 5 << 1 << "A" << QStringList() << true;
        QTest::newRow("one register too many")
            << B::ExtraRegister << 2 << 1 << "A" << QStringList{"CRC CHECK ERROR!"} << true;
        QTest::newRow("bad CRC") << B::BadCrc << 3 << 1 << "A" << QStringList{"CRC CHECK ERROR!"}
                                 << true;
        QTest::newRow("address not hexadecimal")
            << B::Normal << 2 << 1 << "G1" << QStringList{notHex} << false;
        QTest::newRow("letter inside the address")
            << B::Normal << 1 << 1 << "1G2" << QStringList{notHex} << false;
    }
    void repliesThatDoNotFitKeepTheResults() {
        QFETCH(PtyDrive::Behaviour, behaviour);
        QFETCH(int, row);
        QFETCH(int, station);
        QFETCH(QString, address);
        QFETCH(QStringList, messages);
        QFETCH(bool, sent);
        Rig rig;
        rig.drive.setStation(station);
        rig.drive.setRegister(0x0A, 0x1234);
        rig.open();
        rig.edit("stationEdit", row)->setText(QString::number(station));
        rig.edit("addressEdit", row)->setText("A");
        rig.send(row);
        const QStringList shown = {"12 34", "4660", "0001 0010 0011 0100 "};
        QCOMPARE(rig.results(row), shown);

        rig.drive.clearReceived();
        rig.drive.setBehaviour(behaviour);
        rig.drive.setRegister(0x0A, 0x4321);
        rig.edit("addressEdit", row)->setText(address);
        rig.send(row);
        QCOMPARE(rig.results(row), shown);
        QCOMPARE(rig.prompter.texts(), messages);
        QCOMPARE(rig.drive.received().isEmpty(), !sent);
    }

    void closeThatFails() {
        Rig rig;
        rig.open();
        auto* button = rig.widget<QPushButton>("openButton");
        auto* state = rig.widget<QLabel>("stateLabel");
        QCOMPARE(state->text(), QString("State:Open"));
        // The descriptor is closed behind the engine's back, so closing it once more fails.
        const int engineFd = openDescriptorOf(rig.drive.path(), rig.drive.slaveFd());
        QVERIFY(engineFd >= 0);
        QCOMPARE(::close(engineFd), 0);
        button->click();
        QCOMPARE(state->text(), QString("State:Close Fault"));
        QVERIFY(!rig.dialog.engine().isOpen());

        // The port counts as closed: the next press opens it again.
        button->click();
        QCOMPARE(state->text(), QString("State:Open"));
        QCOMPARE(button->text(), QString("Close"));
        rig.drive.setRegister(0x0A, 0x0102);
        rig.edit("addressEdit", 1)->setText("A");
        rig.send(1);
        QCOMPARE(rig.results(1), (QStringList{"01 02", "258", "0001 0000 0010 "}));
        QVERIFY(rig.prompter.messages.isEmpty());
    }

    void closingTheDialogClosesThePort() {
        Rig rig;
        rig.dialog.show();
        rig.open();
        QVERIFY(rig.dialog.engine().isOpen());
        rig.dialog.close();
        QVERIFY(!rig.dialog.engine().isOpen());
        ProbeSerialPort other(&rig.prompter);
        other.portName = QStringLiteral("COM3");
        QVERIFY(other.OpenPort());
    }

    void aboutEntry() {
        Rig rig;
        rig.dialog.show();
        QVERIFY(rig.dialog.actions().contains(rig.dialog.aboutAction()));
        QCOMPARE(rig.dialog.aboutAction()->text(), QString("关于 RegProbe(&A)..."));
        QCOMPARE(rig.dialog.contextMenuPolicy(), Qt::ActionsContextMenu);
        rig.dialog.aboutAction()->trigger();
        auto* about = rig.dialog.findChild<QDialog*>("ProbeAboutBox");
        QVERIFY(about);
        QVERIFY(about->isVisible());
        about->accept();
    }
};

QTEST_MAIN(ProbeDialogTest)
#include "tst_probedialog.moc"
