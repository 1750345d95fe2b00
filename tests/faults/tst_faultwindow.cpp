// The fault query window as a user and the drive see it: the grid of indicators, the blinking of
// column 0, the two clear commands on the wire, the link failures, and closing the window or the
// program in the middle of its work.

#include "FaultRig.h"
#include "faults/FaultWord.h"
#include "shell/Twips.h"
#include "tests/shell/ShellRig.h"

#include <QAccessible>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using kiro::FaultIndicator;
using kiro::sim::FaultInjection;
using kiro::sim::Misbehaviour;
using kiro::test::FaultRig;

namespace {

const QByteArray kReadFaults = QByteArray::fromHex("01030010000ac408");
const QByteArray kClearCurrent = QByteArray::fromHex("010600100000880f");
const QByteArray kClearHistory = QByteArray::fromHex("01060010000149cf");
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
// Bits of a fault word whose indicator rows are visible: overcurrent, overvoltage, phase loss.
const QList<int> kShownBits{0, 1, 3};

struct Darkening {
    int index;
    qint64 from;
    qint64 to = -1;
};

// Watches the visible indicators turn by turn of the clock and notes each stretch in which one
// of them is dark.
class BlinkWatch {
public:
    explicit BlinkWatch(FaultRig& rig) : rig_(rig) {
        for (int index = 0; index < kiro::kIndicatorCount; ++index) {
            FaultIndicator* shape = rig.shape(index);
            if (shape && !shape->isHidden())
                shown_.append({index, shape});
        }
    }

    void look() {
        for (const auto& [index, shape] : shown_) {
            if (!shape)
                continue;
            const bool dark = shape->isHidden();
            auto open = std::find_if(seen.begin(), seen.end(), [index = index](const Darkening& d) {
                return d.index == index && d.to < 0;
            });
            if (dark && open == seen.end())
                seen.append({index, rig_.clock.now});
            else if (!dark && open != seen.end())
                open->to = rig_.clock.now;
        }
        int darkNow = 0;
        for (const Darkening& d : seen)
            darkNow += d.to < 0 ? 1 : 0;
        mostDarkAtOnce = std::max(mostDarkAtOnce, darkNow);
    }

    QList<int> order() const {
        QList<int> indexes;
        for (const Darkening& d : seen)
            indexes << d.index;
        return indexes;
    }

    QList<Darkening> seen;
    int mostDarkAtOnce = 0;

private:
    FaultRig& rig_;
    QList<QPair<int, QPointer<FaultIndicator>>> shown_;
};

bool frameGone(FaultRig& rig) {
    FaultRig::settle();
    return !rig.form();
}

} // namespace

class FaultWindowTest : public QObject {
    Q_OBJECT
private slots:
    void wordsToIndicatorColours_data();
    void wordsToIndicatorColours();
    void gridLayout_data();
    void gridLayout();

    void blinkOrderAndTiming_data();
    void blinkOrderAndTiming();
    void clearOnTheWire_data();
    void clearOnTheWire();
    void givingUp_data();
    void givingUp();

    void closeRightAfterOpeningIsPutOffOnce_data();
    void closeRightAfterOpeningIsPutOffOnce();
    void closeWhileTheWordsAreRead_data();
    void closeWhileTheWordsAreRead();
    void closeOrExitWhileAnIndicatorIsDark_data();
    void closeOrExitWhileAnIndicatorIsDark();
    void otherCommandsRunDuringABlink();
    void clearAskedForDuringABlink();
    void closeDuringAClearInsideABlink();
    void closeDuringAClear_data();
    void closeDuringAClear();
    void workOfAnotherWindow_data();
    void workOfAnotherWindow();
    void exitEndsTheProgramAtTheFirstBlink_data();
    void exitEndsTheProgramAtTheFirstBlink();
    void realEventLoop_data();
    void realEventLoop();
};

void FaultWindowTest::wordsToIndicatorColours_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<int>("column");
    QTest::addColumn<quint16>("word");
    QTest::addColumn<QList<int>>("redBits");

    for (const char* variant : {"x7", "qz318"}) {
        QTest::addRow("%s 0x0B: overcurrent, overvoltage, phase loss", variant)
            << variant << 3 << quint16(0x0B) << QList<int>{0, 1, 3};
        QTest::addRow("%s 0x09 in column 0", variant)
            << variant << 0 << quint16(0x09) << QList<int>{0, 3};
        // Hidden rows are coloured too; no visible indicator turns red.
        QTest::addRow("%s bit 2 only", variant) << variant << 5 << quint16(0x04) << QList<int>{2};
        QTest::addRow("%s bit 4 only", variant) << variant << 5 << quint16(0x10) << QList<int>{4};
        QTest::addRow("%s bit 5 only", variant) << variant << 5 << quint16(0x20) << QList<int>{};
        QTest::addRow("%s bit 6 only", variant) << variant << 5 << quint16(0x40) << QList<int>{6};
        QTest::addRow("%s only bits above the low byte", variant)
            << variant << 9 << quint16(0xFF00) << QList<int>{};
        QTest::addRow("%s every bit", variant)
            << variant << 7 << quint16(0xFFFF) << QList<int>{0, 1, 2, 3, 4, 6};
    }
}

void FaultWindowTest::wordsToIndicatorColours() {
    QFETCH(QString, variant);
    QFETCH(int, column);
    QFETCH(quint16, word);
    QFETCH(QList<int>, redBits);
    FaultRig rig(variant);
    QVector<quint16> words(10, 0);
    words[column] = word;
    rig.setFaultWords(words);

    QVERIFY(rig.open());
    QVERIFY(rig.frame() && rig.frame()->isVisible());
    QCOMPARE(rig.drive.requests(), QVector<QByteArray>{kReadFaults});
    for (int index = 0; index < kiro::kIndicatorCount; ++index) {
        const int k = index / 16;
        const int bit = index % 16;
        FaultIndicator* shape = rig.shape(index);
        QVERIFY2(shape, qPrintable(QString::number(index)));
        const bool red = k == column && redBits.contains(bit);
        QCOMPARE(shape->fillColor(), red ? kRed : kGreen);
        QCOMPARE(shape->isVisible(), kShownBits.contains(bit));
        // The grid can be read without seeing colours.
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(shape);
        QVERIFY(accessible);
        QCOMPARE(accessible->text(QAccessible::Description),
                 red ? QStringLiteral("故障") : QStringLiteral("正常"));
        if (kShownBits.contains(bit)) {
            const QString name = accessible->text(QAccessible::Name);
            const QString caption = bit == 0 ? "过流" : bit == 1 ? "过压" : "缺相";
            QVERIFY2(name.contains(caption) && name.contains(QString::number(k)), qPrintable(name));
        }
    }
    QVERIFY(rig.prompts.prompts.isEmpty());
    QVERIFY(rig.state.ToolWindowOpen);
    QVERIFY(rig.timer1()->isActive());
    QCOMPARE(rig.timer1()->interval(), 200);
}

void FaultWindowTest::gridLayout_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QPoint>("windowTwips");
    QTest::addColumn<QList<int>>("rowTops"); // overcurrent, overvoltage, phase loss
    QTest::addColumn<int>("numberRowTop");
    QTest::newRow("qztune-x7") << "x7" << QPoint(0, 0) << QList<int>{225, 585, 945} << 1305;
    QTest::newRow("QZ318") << "qz318" << QPoint(4500, 1500) << QList<int>{705, 1065, 1545} << 345;
}

void FaultWindowTest::gridLayout() {
    QFETCH(QString, variant);
    QFETCH(QPoint, windowTwips);
    QFETCH(QList<int>, rowTops);
    QFETCH(int, numberRowTop);
    using kiro::twips::toPixels;
    FaultRig rig(variant);
    QVERIFY(rig.open());

    QCOMPARE(rig.form()->windowTitle(), QStringLiteral("故障查询"));
    QCOMPARE(rig.frame()->pos(), toPixels(windowTwips));
    const QStringList captions{"过  流", "过  压", "欠  压", "缺  相", "编码器", "跟踪误差"};
    for (int index = 0; index < captions.size(); ++index) {
        auto* label = rig.control<QLabel>(QStringLiteral("Label1_%1").arg(index));
        QVERIFY(label);
        QCOMPARE(label->text(), captions[index]);
        QCOMPARE(label->isVisible(), index == 0 || index == 1 || index == 3);
        QCOMPARE(label->palette().color(QPalette::WindowText), kRed);
    }
    for (int column = 0; column < 10; ++column) {
        auto* number = rig.control<QLabel>(QStringLiteral("Label2_%1").arg(column));
        QCOMPARE(number->text(), QString::number(column));
        QCOMPARE(number->palette().color(QPalette::Window), QColor(128, 255, 255));
        QCOMPARE(number->y(), toPixels(numberRowTop));
        for (int row = 0; row < 3; ++row) {
            FaultIndicator* shape = rig.shape(16 * column + kShownBits[row]);
            QCOMPARE(shape->y(), toPixels(rowTops[row]));
            QCOMPARE(shape->x(), rig.shape(0)->x() + toPixels(480 * column));
            QCOMPARE(shape->size(), toPixels(QSize(255, 255)));
        }
    }
    QCOMPARE(rig.control<QLabel>("Label2_10")->text(), QStringLiteral("历史次数:"));
    for (int line = 0; line < 9; ++line)
        QVERIFY(rig.control(QStringLiteral("Line1_%1").arg(line)));
    // The hidden rows never show inside the grid's visible rows but where the variant puts them.
    const int phaseLossTop = rig.shape(3)->y();
    if (variant == QLatin1String("x7")) {
        QCOMPARE(rig.shape(2)->y(), phaseLossTop);
        QCOMPARE(rig.shape(4)->y(), toPixels(numberRowTop));
    } else {
        for (int bit : {2, 4, 6})
            QVERIFY(rig.shape(bit)->y() > phaseLossTop);
    }
    auto* clearCurrent = rig.control<QPushButton>("Command1_0");
    auto* clearHistory = rig.control<QPushButton>("Command1_1");
    QCOMPARE(clearCurrent->text(), QStringLiteral("清除当前故障!"));
    QCOMPARE(clearHistory->text(), QStringLiteral("清除历史故障!"));
    QCOMPARE(clearCurrent->palette().color(QPalette::Button), QColor(255, 255, 128));
    QCOMPARE(clearHistory->palette().color(QPalette::Button), QColor(255, 192, 128));
    QVERIFY(clearCurrent->y() > rig.shape(3)->y() && clearCurrent->y() > rig.shape(0)->y());
    QVERIFY(clearCurrent->y() > rig.control<QLabel>("Label2_0")->y());
}

void FaultWindowTest::blinkOrderAndTiming_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QVector<quint16>>("words");
    QTest::addColumn<QList<int>>("darkened");
    QTest::addColumn<int>("redInColumn0"); // hidden rows included

    QTest::newRow("x7 overcurrent and phase loss, column 1 lit")
        << "x7" << QVector<quint16>{0x09, 0x0B} << QList<int>{0, 3} << 2;
    QTest::newRow("QZ318 every fault in column 0")
        << "qz318" << QVector<quint16>{0x5F, 0, 0xFF} << QList<int>{0, 1, 3} << 6;
    QTest::newRow("x7 hidden faults only") << "x7" << QVector<quint16>{0x54} << QList<int>{} << 3;
    QTest::newRow("QZ318 faults only in the history")
        << "qz318" << QVector<quint16>{0, 0x0B, 0x09} << QList<int>{} << 0;
}

void FaultWindowTest::blinkOrderAndTiming() {
    QFETCH(QString, variant);
    QFETCH(QVector<quint16>, words);
    QFETCH(QList<int>, darkened);
    QFETCH(int, redInColumn0);
    FaultRig rig(variant);
    rig.setFaultWords(words);
    QVERIFY(rig.open());
    QVector<bool> hiddenBefore;
    for (int index = 0; index < 16; ++index)
        hiddenBefore << rig.shape(index)->isHidden();

    BlinkWatch watch(rig);
    int nestedTicks = 0;
    rig.clock.onEvents = [&] {
        watch.look();
        // Timer1 runs out again while the tick waits: no second tick may start inside it.
        if (rig.clock.now % 50 == 0) {
            ++nestedTicks;
            rig.tick();
        }
    };
    const qint64 start = rig.clock.now;
    rig.tick();
    const qint64 end = rig.clock.now;
    rig.clock.onEvents = nullptr;
    watch.look();

    QCOMPARE(watch.order(), darkened);
    QVERIFY(watch.mostDarkAtOnce <= 1);
    for (const Darkening& d : watch.seen) {
        QVERIFY2(d.to - d.from >= 200, qPrintable(QString::number(d.to - d.from)));
        QVERIFY(d.to >= 0);
    }
    // Each red indicator of column 0 takes its 200 ms in turn, shown rows or not.
    QVERIFY(end - start >= 200 * redInColumn0);
    QVERIFY(end - start < 200 * redInColumn0 + 20);
    if (redInColumn0 > 1)
        QVERIFY(nestedTicks > 0);
    // Rows that are not shown stay hidden after their turn.
    for (int index = 0; index < 16; ++index)
        QCOMPARE(rig.shape(index)->isHidden(), hiddenBefore[index]);
    QVERIFY(rig.timer1()->isActive());
    QVERIFY(rig.frame()->isVisible());
    QCOMPARE(rig.drive.requests().size(), 1); // blinking never talks to the drive
}

void FaultWindowTest::clearOnTheWire_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("write");
    QTest::addColumn<int>("waitFactor");
    QTest::addColumn<int>("baudKilo");
    QTest::addColumn<QList<int>>("redAfter"); // indicator indexes

    // At 9 kBaud the two factors are 14 ms apart (8 * 10 \ 9 = 8, 8 * 25 \ 9 = 22); at 38 only 3,
    // within what a wait may overrun, so that rate alone cannot tell one from the other.
    const QList<int> currentCleared{16 * 1 + 0, 16 * 2 + 3};
    const QList<int> historyCleared{0, 3};
    for (const char* variant : {"x7", "qz318"}) {
        for (int baudKilo : {9, 38}) {
            QTest::addRow("%s current, %d kBaud", variant, baudKilo)
                << variant << "Command1_0" << kClearCurrent << 10 << baudKilo << currentCleared;
            QTest::addRow("%s history, %d kBaud", variant, baudKilo)
                << variant << "Command1_1" << kClearHistory << 25 << baudKilo << historyCleared;
        }
    }
}

void FaultWindowTest::clearOnTheWire() {
    QFETCH(QString, variant);
    QFETCH(QString, button);
    QFETCH(QByteArray, write);
    QFETCH(int, waitFactor);
    QFETCH(int, baudKilo);
    QFETCH(QList<int>, redAfter);
    FaultRig rig(variant);
    rig.setFaultWords({0x09, 0x01, 0x08});
    QVERIFY(rig.open());
    rig.drive.clearRequests();
    rig.link.setBaudKilo(qint16(baudKilo));

    QList<qint64> sentAt;
    // The window shows nothing of its traffic in the status bar.
    auto* lamp = rig.window->findChild<QLabel*>(QStringLiteral("StatusBar1_2"));
    const QString idleLamp = lamp->text();
    const qint64 idlePicture = lamp->pixmap().cacheKey();
    bool lampChanged = false;
    rig.clock.onEvents = [&] {
        while (sentAt.size() < rig.drive.requests().size())
            sentAt << rig.clock.now - 1;
        lampChanged =
            lampChanged || lamp->text() != idleLamp || lamp->pixmap().cacheKey() != idlePicture;
    };
    QVERIFY(rig.click(button));
    rig.runWork();
    rig.clock.onEvents = nullptr;

    QCOMPARE(rig.drive.requests(), (QVector<QByteArray>{write, kReadFaults}));
    // The reply wait of the command (factor 10 or 25), 120 ms more, then the reply is taken
    // (which waits once more after reading it), and only then the words are read again.
    const qint64 expected = (8 * waitFactor / baudKilo + 30) + 120 + (8 / baudKilo + 30);
    const qint64 gap = sentAt[1] - sentAt[0];
    QVERIFY2(gap >= expected && gap <= expected + 3, qPrintable(QString::number(gap)));
    for (int index = 0; index < kiro::kIndicatorCount; ++index)
        QCOMPARE(rig.shape(index)->fillColor(), redAfter.contains(index) ? kRed : kGreen);
    QVERIFY(rig.prompts.prompts.isEmpty());
    QVERIFY(!lampChanged);
    QVERIFY(rig.form()->isEnabled());
    QVERIFY(rig.timer1()->isActive());
    QVERIFY(rig.state.ToolWindowOpen);
}

void FaultWindowTest::givingUp_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<bool>("atClear");
    QTest::addColumn<int>("failures"); // replies the drive keeps back; -1 = all
    QTest::addColumn<bool>("givesUp");

    for (const char* variant : {"x7", "qz318"}) {
        QTest::addRow("%s load, silent drive", variant) << variant << false << -1 << true;
        QTest::addRow("%s load, answers at the fifth attempt", variant)
            << variant << false << 4 << false;
        QTest::addRow("%s clear, silent drive", variant) << variant << true << -1 << true;
        QTest::addRow("%s clear, answers at the fifth attempt", variant)
            << variant << true << 4 << false;
    }
}

void FaultWindowTest::givingUp() {
    QFETCH(QString, variant);
    QFETCH(bool, atClear);
    QFETCH(int, failures);
    QFETCH(bool, givesUp);
    FaultRig rig(variant);
    rig.setFaultWords({0x01, 0x02});
    if (!atClear)
        rig.drive.injectFault(FaultInjection{Misbehaviour::Silent, 0, failures});
    QVERIFY(rig.open());
    if (atClear) {
        rig.drive.clearRequests();
        rig.drive.injectFault(FaultInjection{Misbehaviour::Silent, 0, failures});
        QVERIFY(rig.click("Command1_0"));
        rig.runWork();
    }

    const QByteArray attempt = atClear ? kClearCurrent : kReadFaults;
    QVector<QByteArray> expected(5, attempt);
    if (atClear && !givesUp)
        expected << kReadFaults;
    QCOMPARE(rig.drive.requests(), expected);
    QVERIFY(rig.frame() && rig.frame()->isVisible());
    QCOMPARE(rig.form()->isEnabled(), !givesUp);
    QCOMPARE(rig.timer1()->isActive(), !givesUp);
    QVERIFY(rig.state.ToolWindowOpen);
    if (!givesUp) {
        QVERIFY(rig.prompts.prompts.isEmpty());
        return;
    }
    QCOMPARE(rig.prompts.texts(), QStringList{rig.variant.link->failureMessage});
    QCOMPARE(rig.prompts.titles(), QStringList{rig.variant.link->failureTitle});
    QCOMPARE(rig.prompts.texts().first(),
             variant == QLatin1String("x7")
                 ? QStringLiteral("请检查连接后重新开启软件！")
                 : QStringLiteral("Communication Error. Please check the RS232 cable connection "
                                  "and restart Kirotune."));
    // A failed clear leaves the grid as the last reading showed it.
    if (atClear) {
        QCOMPARE(rig.shape(0)->fillColor(), kRed);
        QCOMPARE(rig.shape(17)->fillColor(), kRed);
    }
    // Nothing in the window answers any more, and it no longer blinks.
    QVERIFY(!rig.click("Command1_1"));
    QCOMPARE(rig.drive.requests().size(), expected.size());
}

void FaultWindowTest::closeRightAfterOpeningIsPutOffOnce_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<bool>("tickBetween");
    QTest::newRow("x7, closed twice") << "x7" << false;
    QTest::newRow("QZ318, closed twice") << "qz318" << false;
    QTest::newRow("x7, a blink between the requests") << "x7" << true;
}

void FaultWindowTest::closeRightAfterOpeningIsPutOffOnce() {
    QFETCH(QString, variant);
    QFETCH(bool, tickBetween);
    FaultRig rig(variant);
    rig.setFaultWords({0x01});
    QVERIFY(rig.open());

    QVERIFY(!rig.frame()->close());
    QVERIFY(rig.frame()->isVisible());
    QVERIFY(rig.state.ToolWindowOpen);
    QVERIFY(rig.timer1()->isActive());
    // A second 故障查询 meanwhile is refused like any other tool window.
    QVERIFY(rig.trigger("ErrCheck"));
    QCOMPARE(rig.prompts.texts(), QStringList{QStringLiteral("请先关闭其他窗口！")});
    QCOMPARE(rig.prompts.titles(), QStringList{rig.variant.noticeTitle});
    rig.prompts.clear();
    if (tickBetween)
        rig.tick(); // the blink carries out the close it put off
    else
        QVERIFY(rig.frame()->close()); // asked again, the close goes through
    QVERIFY(frameGone(rig));
    QVERIFY(!rig.state.ToolWindowOpen);

    // The window opens again as before.
    rig.drive.clearRequests();
    QVERIFY(rig.open());
    QCOMPARE(rig.drive.requests(), QVector<QByteArray>{kReadFaults});
    QVERIFY(rig.prompts.prompts.isEmpty());
}

void FaultWindowTest::closeWhileTheWordsAreRead_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<bool>("silentDrive");
    QTest::newRow("x7") << "x7" << false;
    QTest::newRow("QZ318, the reading given up") << "qz318" << true;
}

// The window shows before its words are read; a close meanwhile waits for the reading and is
// then carried out.
void FaultWindowTest::closeWhileTheWordsAreRead() {
    QFETCH(QString, variant);
    QFETCH(bool, silentDrive);
    FaultRig rig(variant);
    rig.setFaultWords({0x09});
    if (silentDrive)
        rig.drive.injectFault(FaultInjection{Misbehaviour::Silent, 0, -1});
    QVERIFY(rig.trigger("ErrCheck"));
    QVERIFY(rig.drive.requests().isEmpty()); // never inside the menu's handler

    QVERIFY(!rig.frame()->close());
    QVERIFY(rig.frame()->isVisible());
    QVERIFY(rig.state.ToolWindowOpen);
    rig.runWork();

    QCOMPARE(rig.drive.requests(), QVector<QByteArray>(silentDrive ? 5 : 1, kReadFaults));
    QCOMPARE(rig.prompts.texts(),
             silentDrive ? QStringList{rig.variant.link->failureMessage} : QStringList{});
    QVERIFY(frameGone(rig));
    QVERIFY(!rig.state.ToolWindowOpen);
}

void FaultWindowTest::closeOrExitWhileAnIndicatorIsDark_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("command"); // empty: the window's own close button
    QTest::addColumn<bool>("againWhileDark");
    QTest::newRow("x7, window closed") << "x7" << QString() << false;
    QTest::newRow("QZ318, window closed") << "qz318" << QString() << false;
    QTest::newRow("x7, window closed twice") << "x7" << QString() << true;
    QTest::newRow("x7, program exited") << "x7"
                                        << "exit" << false;
    QTest::newRow("QZ318, program exited twice") << "qz318"
                                                 << "Toolbar1_8" << true;
}

void FaultWindowTest::closeOrExitWhileAnIndicatorIsDark() {
    QFETCH(QString, variant);
    QFETCH(QString, command);
    QFETCH(bool, againWhileDark);
    FaultRig rig(variant);
    rig.setFaultWords({0x09});
    QVERIFY(rig.open());
    rig.tick(); // the first tick ends the time in which a close is refused outright

    auto request = [&] {
        if (command.isEmpty())
            rig.frame()->close();
        else
            QVERIFY(rig.trigger(command));
    };
    BlinkWatch watch(rig);
    const qint64 start = rig.clock.now;
    bool refusedWhileDark = false;
    bool goneAtOnce = false;
    rig.clock.onEvents = [&] {
        watch.look();
        const qint64 into = rig.clock.now - start;
        if (into == 50) {
            QVERIFY(rig.shape(0)->isHidden());
            request();
            refusedWhileDark = rig.frame()->isVisible() && rig.window->isVisible();
        } else if (into == 100 && againWhileDark) {
            request();
            goneAtOnce = !rig.frame()->isVisible();
        }
    };
    rig.tick();
    rig.clock.onEvents = nullptr;
    watch.look();

    QVERIFY(refusedWhileDark);
    // The next indicator never went dark: the tick closed the window, or found it gone.
    QCOMPARE(watch.order(), QList<int>{0});
    QVERIFY(frameGone(rig));
    QVERIFY(!rig.state.ToolWindowOpen);
    QVERIFY(rig.prompts.prompts.isEmpty());
    if (againWhileDark) {
        QVERIFY(goneAtOnce);
    } else {
        QVERIFY(watch.seen.first().to >= 0); // lit again before the window closed
        QVERIFY(rig.window->isVisible());    // only the window closed; the program runs on
        QVERIFY(rig.port.isOpen());
        if (!command.isEmpty())
            QVERIFY(rig.trigger(command));
    }
    QCOMPARE(rig.window->isVisible(), command.isEmpty());
    QCOMPARE(rig.port.isOpen(), command.isEmpty());
}

void FaultWindowTest::otherCommandsRunDuringABlink() {
    FaultRig rig(QStringLiteral("x7"));
    rig.setFaultWords({0x09});
    QVERIFY(rig.open());
    rig.drive.clearRequests();

    BlinkWatch watch(rig);
    const qint64 start = rig.clock.now;
    rig.clock.onEvents = [&] {
        QCoreApplication::sendPostedEvents(); // the event loop that a wait lets run
        watch.look();
        if (rig.clock.now - start == 50)
            QVERIFY(rig.trigger("SaveToEEprogram"));
    };
    rig.tick();
    rig.clock.onEvents = nullptr;
    watch.look();

    // Blinking holds the link for nobody: the commit ran at once, and the blink went on after it.
    QCOMPARE(rig.drive.eepromCommits(), 1);
    QCOMPARE(rig.drive.requests(), QVector<QByteArray>{QByteArray::fromHex("0106000c00018809")});
    QCOMPARE(rig.prompts.texts(), QStringList{QStringLiteral("写入EEprom动作完成!")});
    QCOMPARE(watch.order(), (QList<int>{0, 3}));
    QVERIFY(rig.frame()->isVisible());
    QVERIFY(rig.timer1()->isActive());
}

void FaultWindowTest::clearAskedForDuringABlink() {
    FaultRig rig(QStringLiteral("x7"));
    rig.setFaultWords({0x09, 0x02});
    QVERIFY(rig.open());
    rig.drive.clearRequests();

    BlinkWatch watch(rig);
    const qint64 start = rig.clock.now;
    qint64 firstRequestAt = -1;
    rig.clock.onEvents = [&] {
        QCoreApplication::sendPostedEvents(); // the event loop that a wait lets run
        watch.look();
        if (firstRequestAt < 0 && !rig.drive.requests().isEmpty())
            firstRequestAt = rig.clock.now;
        if (rig.clock.now - start == 100)
            QVERIFY(rig.click("Command1_0"));
    };
    rig.tick();
    rig.clock.onEvents = nullptr;
    watch.look();

    // The click was not held off: the clear went out while the first indicator was dark, once,
    // whole, and succeeded. The blink then lit that indicator again, green now, and found no
    // other fault in column 0; no indicator was left dark.
    QCOMPARE(rig.drive.requests(), (QVector<QByteArray>{kClearCurrent, kReadFaults}));
    QCOMPARE(watch.order(), QList<int>{0});
    QVERIFY(firstRequestAt > start && firstRequestAt < watch.seen.first().to);
    QVERIFY(watch.mostDarkAtOnce <= 1);
    for (int bit : kShownBits)
        QVERIFY(!rig.shape(bit)->isHidden());
    QVERIFY(rig.prompts.prompts.isEmpty());
    QCOMPARE(rig.shape(0)->fillColor(), kGreen);
    QCOMPARE(rig.shape(3)->fillColor(), kGreen);
    QCOMPARE(rig.shape(17)->fillColor(), kRed);
    QVERIFY(rig.form()->isEnabled());
    QVERIFY(rig.timer1()->isActive());
}

// The same clear, and a close asked for while it runs inside the blink: the close waits for the
// clear and its reading, is carried out then, inside the blink's dark time, and the blink ends
// quietly on a closed window.
void FaultWindowTest::closeDuringAClearInsideABlink() {
    FaultRig rig(QStringLiteral("qz318"));
    rig.setFaultWords({0x09});
    QVERIFY(rig.open());
    rig.tick();
    rig.drive.clearRequests();

    const QPointer<QWidget> form = rig.form();
    const qint64 start = rig.clock.now;
    bool postponed = false;
    bool closedBeforeTheBlinkEnded = false;
    rig.clock.onEvents = [&] {
        QCoreApplication::sendPostedEvents(); // the event loop that a wait lets run
        if (rig.clock.now - start == 100)
            QVERIFY(rig.click("Command1_1"));
        if (rig.drive.requests().size() == 1 && !postponed) {
            rig.frame()->close();
            postponed = rig.frame()->isVisible();
        }
        if (rig.drive.requests().size() == 2 && (!form || !form->isVisible()))
            closedBeforeTheBlinkEnded = true;
    };
    rig.tick();
    rig.clock.onEvents = nullptr;

    QVERIFY(postponed);
    QVERIFY(closedBeforeTheBlinkEnded);
    QCOMPARE(rig.drive.requests(), (QVector<QByteArray>{kClearHistory, kReadFaults}));
    QVERIFY(rig.prompts.prompts.isEmpty());
    QVERIFY(frameGone(rig));
    QVERIFY(!rig.state.ToolWindowOpen);
    QVERIFY(rig.state.work().idle());
}

void FaultWindowTest::closeDuringAClear_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<bool>("clickedAgain");
    QTest::newRow("x7") << "x7" << false;
    QTest::newRow("QZ318, the button clicked again during the clear") << "qz318" << true;
}

void FaultWindowTest::closeDuringAClear() {
    QFETCH(QString, variant);
    QFETCH(bool, clickedAgain);
    FaultRig rig(variant);
    rig.setFaultWords({0x09});
    QVERIFY(rig.open());
    rig.tick();
    rig.drive.clearRequests();

    bool postponed = false;
    rig.clock.onEvents = [&] {
        if (rig.drive.requests().size() == 1 && !postponed) {
            rig.frame()->close();
            postponed = rig.frame()->isVisible() && rig.state.ToolWindowOpen;
        }
        // Clicked again and again: one more clear, after this one.
        if (clickedAgain && rig.drive.requests().size() < 3)
            rig.click("Command1_1");
    };
    QVERIFY(rig.click("Command1_1"));
    rig.runWork();
    rig.clock.onEvents = nullptr;

    // The clear and the reading after it ran whole; then the window closed, without a second
    // request: the reading came after the close was asked for.
    QVERIFY(postponed);
    QVector<QByteArray> expected{kClearHistory, kReadFaults};
    if (clickedAgain)
        expected << kClearHistory << kReadFaults;
    QCOMPARE(rig.drive.requests(), expected);
    QVERIFY(rig.prompts.prompts.isEmpty());
    QVERIFY(frameGone(rig));
    QVERIFY(!rig.state.ToolWindowOpen);
}

void FaultWindowTest::workOfAnotherWindow_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<bool>("clearFirst");
    QTest::newRow("x7, a clear asked for while another window reads") << "x7" << false;
    QTest::newRow("QZ318, another window asks during a clear") << "qz318" << true;
}

// Two windows' work meet on the one link: whichever asks second waits for the other, nothing is
// dropped, and every request reaches the drive whole and in order.
void FaultWindowTest::workOfAnotherWindow() {
    QFETCH(QString, variant);
    QFETCH(bool, clearFirst);
    FaultRig rig(variant);
    rig.setFaultWords({0x09});
    QVERIFY(rig.open());
    rig.tick();
    rig.drive.clearRequests();

    const QByteArray readRegister0 = QByteArray::fromHex("010300000001840a");
    kiro::DriveWork other(rig.state.work());
    auto readOnce = [&] { rig.link.ReadRegisters(1, 0, 1); };
    bool askedMeanwhile = false;
    rig.clock.onEvents = [&] {
        if (askedMeanwhile)
            return;
        askedMeanwhile = true;
        if (clearFirst)
            other.submit(readOnce);
        else
            QVERIFY(rig.click("Command1_0"));
    };
    if (clearFirst)
        QVERIFY(rig.click("Command1_0"));
    else
        other.submit(readOnce);
    rig.runWork();
    rig.clock.onEvents = nullptr;

    QVERIFY(askedMeanwhile);
    const QVector<QByteArray> clear{kClearCurrent, kReadFaults};
    QCOMPARE(rig.drive.requests(), clearFirst ? clear + QVector<QByteArray>{readRegister0}
                                              : QVector<QByteArray>{readRegister0} + clear);
    QCOMPARE(rig.shape(0)->fillColor(), kGreen);
    QVERIFY(rig.prompts.prompts.isEmpty());
    QVERIFY(rig.state.work().idle());
}

void FaultWindowTest::exitEndsTheProgramAtTheFirstBlink_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("exit");
    QTest::addColumn<bool>("silentDrive");
    QTest::newRow("x7, right after opening") << "x7"
                                             << "exit" << false;
    QTest::newRow("QZ318 toolbar, right after opening") << "qz318"
                                                        << "Toolbar1_8" << false;
    QTest::newRow("x7, window given up at its load") << "x7"
                                                     << "exit" << true;
}

// Right after a reading the window puts a close off until its first blink; the program's end
// waits for it and is never forgotten. A window that gave up blinks no more and goes at once.
void FaultWindowTest::exitEndsTheProgramAtTheFirstBlink() {
    QFETCH(QString, variant);
    QFETCH(QString, exit);
    QFETCH(bool, silentDrive);
    FaultRig rig(variant);
    rig.setFaultWords({0x09});
    if (silentDrive)
        rig.drive.injectFault(FaultInjection{Misbehaviour::Silent, 0, 5});
    QVERIFY(rig.open());

    QVERIFY(rig.trigger(exit));
    if (!silentDrive) {
        QVERIFY(rig.window->isVisible());
        QVERIFY(rig.frame() && rig.frame()->isVisible());
        QVERIFY(rig.port.isOpen());
        rig.tick();
    }
    QVERIFY(QTest::qWaitFor([&] { return !rig.window->isVisible(); }, 2000));
    QVERIFY(!rig.port.isOpen());
    QVERIFY(frameGone(rig));
    QVERIFY(!rig.state.ToolWindowOpen);
}

void FaultWindowTest::realEventLoop_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<bool>("exitProgram");
    QTest::newRow("x7, window closed while dark") << "x7" << false;
    QTest::newRow("QZ318, program exited while dark") << "qz318" << true;
}

// The same with the program's own clock and event loop: Timer1 starts the blinks by itself, and
// a close or an exit arriving from the event loop while an indicator is dark is refused once,
// after which the blink closes the window.
void FaultWindowTest::realEventLoop() {
    QFETCH(QString, variant);
    QFETCH(bool, exitProgram);
    kiro::test::ShellRig rig(variant);
    kiro::installFaultWindow(*rig.window);
    rig.drive.faults().setWords({0x09});
    QVERIFY(rig.openLink());
    QVERIFY(rig.trigger("ErrCheck"));
    const QPointer<FaultIndicator> shape0 = rig.widget<FaultIndicator>("Shape1_0");
    QVERIFY(shape0);

    // Looks at the grid from inside the blink's own waits, as a user would.
    bool sawDark = false;
    QTimer watch;
    watch.setInterval(5);
    connect(&watch, &QTimer::timeout, &watch, [&] {
        if (sawDark || !shape0 || !shape0->isHidden())
            return;
        sawDark = true;
        if (exitProgram)
            rig.trigger("exit");
        else
            rig.frameOf("Form4")->close();
    });
    watch.start();
    QTRY_VERIFY_WITH_TIMEOUT(sawDark, 10000);
    // Refused once; the blink closes the window after that indicator, the program runs on.
    QTRY_VERIFY_WITH_TIMEOUT(!rig.widget("Form4"), 10000);
    QVERIFY(!rig.state.ToolWindowOpen);
    QVERIFY(rig.window->isVisible());
    QVERIFY(rig.port.isOpen());
    QVERIFY(rig.prompts.prompts.isEmpty());
    if (exitProgram) {
        QVERIFY(rig.trigger("exit"));
        QTRY_VERIFY(!rig.window->isVisible());
        QVERIFY(!rig.port.isOpen());
    }
}

QTEST_MAIN(FaultWindowTest)
#include "tst_faultwindow.moc"
