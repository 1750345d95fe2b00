#include "link/Crc16.h"
#include "link/ReplyAcceptance.h"
#include "link/RequestFrame.h"

#include <QTest>
#include <cmath>
#include <limits>

using namespace kiro;

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray withCrc(const QByteArray& bytes) {
    const Crc16 crc = ComputeCrc16(bytes);
    return bytes + char(crc.low) + char(crc.high);
}

PendingRequest readOf(int count, int address = 0) {
    const auto frame = BuildRequestFrame(1, 3, float(address), float(count));
    return {1, 3, qint16(2 * count + 6), float(count), frame->data};
}

PendingRequest writeOf(int address, int value) {
    const auto frame = BuildRequestFrame(1, 6, float(address), float(value));
    return {1, 6, 8, float(value), frame->data};
}

// A read reply as the given drive sends it.
QByteArray readReply(ReplyLayout layout, const QList<quint16>& words, quint8 station = 1) {
    QByteArray reply;
    reply.append(char(station));
    reply.append(char(3));
    const int byteCount = 2 * int(words.size());
    if (layout == ReplyLayout::WideByteCount)
        reply.append(char(byteCount >> 8));
    reply.append(char(byteCount & 0xFF));
    for (quint16 word : words) {
        reply.append(char(word >> 8));
        reply.append(char(word & 0xFF));
    }
    return withCrc(reply);
}

} // namespace

class FramingTest : public QObject {
    Q_OBJECT

private slots:
    void crcOfCheckString() {
        const Crc16 crc = ComputeCrc16("123456789");
        QCOMPARE(crc.low, quint8(0x37));
        QCOMPARE(crc.high, quint8(0x4B));
        QCOMPARE(ComputeCrc16(QByteArray()).value(), quint16(0xFFFF));
    }

    void requestFrames_data() {
        QTest::addColumn<int>("function");
        QTest::addColumn<float>("address");
        QTest::addColumn<float>("value");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("read one register at 0")
            << 3 << 0.0f << 1.0f << hex("01 03 00 00 00 01 84 0A");
        QTest::newRow("commit to EEPROM") << 6 << 12.0f << 1.0f << hex("01 06 00 0C 00 01 88 09");
        QTest::newRow("peak current 2.5 A")
            << 6 << 31.0f << 2560.0f << withCrc(hex("01 06 00 1F 0A 00"));
        QTest::newRow("step response") << 3 << 5.0f << 200.0f << withCrc(hex("01 03 00 05 00 C8"));
        QTest::newRow("highest word")
            << 6 << 65535.0f << 65535.0f << withCrc(hex("01 06 FF FF FF FF"));
        QTest::newRow("half rounds to even, down")
            << 6 << 2.5f << 0.5f << withCrc(hex("01 06 00 02 00 00"));
        QTest::newRow("half rounds to even, up")
            << 6 << 3.5f << 1.5f << withCrc(hex("01 06 00 04 00 02"));
        QTest::newRow("below half rounds down")
            << 6 << 0.49f << 255.4f << withCrc(hex("01 06 00 00 00 FF"));
    }
    void requestFrames() {
        QFETCH(int, function);
        QFETCH(float, address);
        QFETCH(float, value);
        QFETCH(QByteArray, frame);
        const auto built = BuildRequestFrame(1, quint8(function), address, value);
        QVERIFY(built);
        QCOMPARE(built->bytes().toHex(' '), frame.toHex(' '));
        QCOMPARE(built->data, frame.left(6));
    }

    void wordsThatCannotBeSent_data() {
        QTest::addColumn<float>("address");
        QTest::addColumn<float>("value");
        QTest::newRow("value 65536") << 0.0f << 65536.0f;
        QTest::newRow("value -1") << 0.0f << -1.0f;
        QTest::newRow("address 65536") << 65536.0f << 0.0f;
        QTest::newRow("address -1") << -1.0f << 0.0f;
        QTest::newRow("65535.5 rounds to 65536") << 0.0f << 65535.5f;
        QTest::newRow("not a number") << 0.0f << std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("infinity") << std::numeric_limits<float>::infinity() << 0.0f;
    }
    void wordsThatCannotBeSent() {
        QFETCH(float, address);
        QFETCH(float, value);
        QVERIFY(!BuildRequestFrame(1, 6, address, value));
    }

    void negativeHalfRoundsToZero() { QCOMPARE(WordFromSingle(-0.5f), std::optional<quint16>(0)); }

    void expectedReplyLengths_data() {
        QTest::addColumn<int>("function");
        QTest::addColumn<float>("value");
        QTest::addColumn<int>("previous");
        QTest::addColumn<int>("expected"); // -1: cannot be expressed
        QTest::newRow("read 1") << 3 << 1.0f << 0 << 8;
        QTest::newRow("read 10") << 3 << 10.0f << 0 << 26;
        QTest::newRow("read 200") << 3 << 200.0f << 0 << 406;
        QTest::newRow("write") << 6 << 1000.0f << 406 << 8;
        QTest::newRow("function 10 keeps") << 10 << 3.0f << 26 << 26;
        QTest::newRow("function 4 keeps") << 4 << 3.0f << 406 << 406;
        QTest::newRow("longest read") << 3 << 16380.0f << 0 << 32766;
        QTest::newRow("read too long for 16 bits") << 3 << 16381.0f << 0 << -1;
    }
    void expectedReplyLengths() {
        QFETCH(int, function);
        QFETCH(float, value);
        QFETCH(int, previous);
        QFETCH(int, expected);
        const auto length = ExpectedReplyLengthFor(quint8(function), value, qint16(previous));
        if (expected < 0)
            QVERIFY(!length);
        else
            QCOMPARE(int(length.value_or(-1)), expected);
    }

    void acceptance_data() {
        QTest::addColumn<int>("layout");
        QTest::addColumn<bool>("isRead");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("failedChecks");
        QTest::addColumn<int>("complaint");
        QTest::addColumn<bool>("decoded");

        const int wide = int(ReplyLayout::WideByteCount);
        const int narrow = int(ReplyLayout::NarrowByteCount);
        const int none = int(ReplyVerdict::Complaint::None);
        const int station = int(ReplyVerdict::Complaint::StationOrFunction);
        const int crc = int(ReplyVerdict::Complaint::Crc);

        const QByteArray wideGood = readReply(ReplyLayout::WideByteCount, {0x1234});
        const QByteArray narrowGood = readReply(ReplyLayout::NarrowByteCount, {0x1234});
        QByteArray wideBadCrc = wideGood;
        wideBadCrc[7] = char(wideBadCrc[7] ^ 0x01);
        QByteArray narrowBadCrc = narrowGood;
        narrowBadCrc[6] = char(narrowBadCrc[6] ^ 0x01);
        QByteArray wideOtherStation = readReply(ReplyLayout::WideByteCount, {0x1234}, 2);
        QByteArray narrowOtherStation = readReply(ReplyLayout::NarrowByteCount, {0x1234}, 2);
        const QByteArray wideWrongCount = withCrc(hex("01 03 00 04 12 34"));
        const QByteArray narrowWrongCount = withCrc(hex("01 03 04 12 34"));
        QByteArray narrowWrongCountAndStation = withCrc(hex("02 03 04 12 34"));
        QByteArray narrowWrongCountAndCrc = narrowWrongCount;
        narrowWrongCountAndCrc[6] = char(narrowWrongCountAndCrc[6] ^ 0x01);
        const QByteArray echo = hex("01 06 00 0C 00 01 88 09");
        const QByteArray badEcho = withCrc(hex("01 06 00 0C 00 02"));
        QByteArray badEchoOtherStation = withCrc(hex("02 06 00 0C 00 02"));

        QTest::newRow("x7 read accepted") << wide << true << wideGood << 0 << none << true;
        QTest::newRow("x7 read from another station")
            << wide << true << wideOtherStation << 1 << station << false;
        QTest::newRow("x7 read with bad CRC") << wide << true << wideBadCrc << 1 << crc << false;
        QTest::newRow("x7 read with wrong byte count")
            << wide << true << wideWrongCount << 1 << none << false;
        QTest::newRow("x7 read in the QZ318 layout")
            << wide << true << narrowGood << 1 << crc << false;
        QTest::newRow("x7 echo accepted") << wide << false << echo << 0 << none << false;
        QTest::newRow("x7 echo of another value") << wide << false << badEcho << 1 << none << false;
        QTest::newRow("x7 empty reply") << wide << true << QByteArray() << 1 << station << false;
        QTest::newRow("qz318 read accepted") << narrow << true << narrowGood << 0 << none << true;
        QTest::newRow("qz318 read from another station")
            << narrow << true << narrowOtherStation << 1 << station << false;
        QTest::newRow("qz318 read with bad CRC")
            << narrow << true << narrowBadCrc << 1 << crc << false;
        QTest::newRow("qz318 wrong byte count counted, checks go on")
            << narrow << true << narrowWrongCount << 1 << none << false;
        QTest::newRow("qz318 wrong byte count and station")
            << narrow << true << narrowWrongCountAndStation << 2 << station << false;
        QTest::newRow("qz318 wrong byte count and CRC")
            << narrow << true << narrowWrongCountAndCrc << 2 << crc << false;
        QTest::newRow("qz318 echo accepted") << narrow << false << echo << 0 << none << false;
        QTest::newRow("qz318 echo of another value")
            << narrow << false << badEcho << 1 << none << false;
        QTest::newRow("qz318 bad echo from another station")
            << narrow << false << badEchoOtherStation << 2 << station << false;
        QTest::newRow("qz318 single byte") << narrow << true << hex("01") << 2 << station << false;
    }
    void acceptance() {
        QFETCH(int, layout);
        QFETCH(bool, isRead);
        QFETCH(QByteArray, reply);
        QFETCH(int, failedChecks);
        QFETCH(int, complaint);
        QFETCH(bool, decoded);
        const PendingRequest request = isRead ? readOf(1) : writeOf(12, 1);
        const ReplyVerdict verdict = CheckReply(ReplyLayout(layout), request, reply);
        QCOMPARE(verdict.failedChecks, failedChecks);
        QCOMPARE(int(verdict.complaint), complaint);
        QCOMPARE(verdict.values.has_value(), decoded);
        if (decoded)
            QCOMPARE(verdict.values->value(0), 4660.0f);
    }

    void replyLengthsAwaited() {
        QCOMPARE(AwaitedReplyLength(ReplyLayout::WideByteCount, readOf(1)), 8);
        QCOMPARE(AwaitedReplyLength(ReplyLayout::NarrowByteCount, readOf(1)), 7);
        QCOMPARE(AwaitedReplyLength(ReplyLayout::NarrowByteCount, readOf(200)), 405);
        QCOMPARE(AwaitedReplyLength(ReplyLayout::NarrowByteCount, writeOf(12, 1)), 8);
    }

    void signedDecoding() {
        const QList<quint16> words{0xFFFF, 0x8000, 0x7FFF, 0x0000, 1024};
        for (auto layout : {ReplyLayout::WideByteCount, ReplyLayout::NarrowByteCount}) {
            const ReplyVerdict verdict = CheckReply(layout, readOf(5), readReply(layout, words));
            QVERIFY(verdict.accepted());
            QCOMPARE(*verdict.values, (QVector<float>{-1, -32768, 32767, 0, 1024}));
        }
    }

    void stepResponseOfTwoHundredRegisters() {
        QList<quint16> words;
        for (int k = 0; k < 200; ++k)
            words << quint16(k * 300);
        const QByteArray narrow = readReply(ReplyLayout::NarrowByteCount, words);
        QCOMPARE(narrow.size(), 405);
        QCOMPARE(quint8(narrow.at(2)), quint8(144)); // low 8 bits of 400
        const ReplyVerdict narrowVerdict =
            CheckReply(ReplyLayout::NarrowByteCount, readOf(200, 5), narrow);
        QVERIFY(narrowVerdict.accepted());
        QCOMPARE(narrowVerdict.values->size(), 200);
        QCOMPARE(narrowVerdict.values->at(199), float(qint16(199 * 300)));

        const QByteArray wide = readReply(ReplyLayout::WideByteCount, words);
        QCOMPARE(wide.size(), 406);
        const ReplyVerdict wideVerdict =
            CheckReply(ReplyLayout::WideByteCount, readOf(200, 5), wide);
        QVERIFY(wideVerdict.accepted());
        QCOMPARE(wideVerdict.values->at(1), 300.0f);
    }

    void crcOfTheReplyIsKept() {
        const QByteArray reply = readReply(ReplyLayout::WideByteCount, {7});
        const ReplyVerdict verdict = CheckReply(ReplyLayout::WideByteCount, readOf(1), reply);
        QVERIFY(verdict.crc);
        QCOMPARE(verdict.crc->low, quint8(reply.at(6)));
        QCOMPARE(verdict.crc->high, quint8(reply.at(7)));
    }
};

QTEST_APPLESS_MAIN(FramingTest)
#include "tst_framing.moc"
