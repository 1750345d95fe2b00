// The QZ318 parameter table without its window: the parameter file, the database and the drive
// sequences, against the in-process drive on a virtual clock.

#include "ParameterTableRig.h"
#include "storage/ParameterDatabase.h"
#include "storage/ParameterFile.h"
#include "storage/ParameterTableSequences.h"
#include "tests/support/Unwritable.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

using namespace kiro;
using kiro::test::kvxBytes;
using kiro::test::kvxLines;
using kiro::test::ParameterTableRig;
using kiro::test::sampleValues;

namespace {

const QList<int> kTableRegisters{0, 1, 31, 32, 64, 65, 68, 69, 72, 73, 78, 79, 80, 153, 255};

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QList<QStringList> tableRows(const ParameterDatabase& database) {
    QList<QStringList> rows;
    QSqlQuery query(database.connection());
    if (!query.exec(ParameterDatabase::kSelectAll))
        return rows;
    while (query.next()) {
        QStringList row;
        for (int column = 0; column < query.record().count(); ++column)
            row << query.value(column).toString();
        rows << row;
    }
    return rows;
}

} // namespace

class ParameterTableTest : public QObject {
    Q_OBJECT
private slots:
    void fileNumbers_data();
    void fileNumbers();
    void readingNumbers_data();
    void readingNumbers();
    void openingFiles_data();
    void openingFiles();
    void savedFileBytes();
    void savingKeepsTheOldFileWhenItCannotWrite();

    void databaseHoldsTheLastSet();
    void databaseThatCannotOpen_data();
    void databaseThatCannotOpen();
    void rewriteThatFailsPartWayKeepsTheTable_data();
    void rewriteThatFailsPartWayKeepsTheTable();
    void databasePlacement_data();
    void databasePlacement();

    void readTakesUnsignedValuesAndAmperes();
    void failedAttemptsCountOverTheWholeRead_data();
    void failedAttemptsCountOverTheWholeRead();
    void factoryDefaultsInOrder();
    void writeGoesOnAfterAFailedRegister();
    void commitToEeprom_data();
    void commitToEeprom();
};

void ParameterTableTest::fileNumbers_data() {
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("inFile");
    QTest::addColumn<QString>("inDatabase");
    QTest::newRow("whole") << 16.0f << " 16 "
                           << "16";
    QTest::newRow("zero") << 0.0f << " 0 "
                          << "0";
    QTest::newRow("largest raw") << 65535.0f << " 65535 "
                                 << "65535";
    QTest::newRow("below one") << 0.5f << " .5 "
                               << "0.5";
    QTest::newRow("amperes") << 0.98f << " .98 "
                             << "0.98";
    QTest::newRow("two decimals") << 1.25f << " 1.25 "
                                  << "1.25";
    QTest::newRow("seven digits") << 1234.567f << " 1234.567 "
                                  << "1234.567";
    QTest::newRow("single precision noise") << 0.1f << " .1 "
                                            << "0.1";
    QTest::newRow("negative") << -3.0f << "-3 "
                              << "-3";
}

void ParameterTableTest::fileNumbers() {
    QFETCH(float, value);
    QFETCH(QString, inFile);
    QFETCH(QString, inDatabase);
    QCOMPARE(FormatFileNumber(value), inFile);
    QCOMPARE(ShortestDecimal(value), inDatabase);
    QCOMPARE(ParseFileNumber(inFile), std::optional<float>(value));
}

void ParameterTableTest::readingNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<float>("value");
    QTest::newRow("no leading zero") << " .5 " << true << 0.5f;
    QTest::newRow("leading zero") << "0.5" << true << 0.5f;
    QTest::newRow("tabs and blanks") << "\t 1.25  " << true << 1.25f;
    QTest::newRow("point at the end") << "3." << true << 3.0f;
    QTest::newRow("exponent") << "1E+03" << true << 1000.0f;
    QTest::newRow("plus sign") << "+7" << true << 7.0f;
    QTest::newRow("empty") << "" << false << 0.0f;
    QTest::newRow("blanks only") << "   " << false << 0.0f;
    QTest::newRow("word") << "abc" << false << 0.0f;
    QTest::newRow("trailing text") << "12abc" << false << 0.0f;
    QTest::newRow("two numbers") << "1 2" << false << 0.0f;
    QTest::newRow("hexadecimal") << "0x10" << false << 0.0f;
    QTest::newRow("comma") << "1,5" << false << 0.0f;
    QTest::newRow("not a number") << "nan" << false << 0.0f;
    QTest::newRow("too large for a single") << "1e40" << false << 0.0f;
}

void ParameterTableTest::readingNumbers() {
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(float, value);
    const auto number = ParseFileNumber(text);
    QCOMPARE(number.has_value(), isNumber);
    if (isNumber)
        QCOMPARE(*number, value);
}

void ParameterTableTest::openingFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("badLine"); // -1: the file opens
    QTest::addColumn<QString>("name2");
    QTest::addColumn<float>("value2");

    const QStringList good = kvxLines(sampleValues());
    QTest::newRow("15 lines, CR LF") << kvxBytes(good) << -1 << "用户设置电流值" << 1.25f;
    QTest::newRow("15 lines, LF") << kvxBytes(good, "\n") << -1 << "用户设置电流值" << 1.25f;
    QTest::newRow("last line without its end")
        << kvxBytes(good).chopped(2) << -1 << "用户设置电流值" << 1.25f;
    QTest::newRow("16 lines: the 16th is ignored")
        << kvxBytes(good + QStringList{"anything at all"}) << -1 << "用户设置电流值" << 1.25f;
    QTest::newRow("14 lines") << kvxBytes(good.mid(0, 14)) << 0 << "" << 0.0f;
    QTest::newRow("empty file") << QByteArray() << 0 << "" << 0.0f;

    QStringList values = sampleValues();
    values[2] = " .5 ";
    QTest::newRow("no leading zero")
        << kvxBytes(kvxLines(values)) << -1 << "用户设置电流值" << 0.5f;
    values[2] = "   1.25\t";
    QTest::newRow("blanks around the number")
        << kvxBytes(kvxLines(values)) << -1 << "用户设置电流值" << 1.25f;
    values[2] = " 2 = the rest";
    QTest::newRow("text after a second =")
        << kvxBytes(kvxLines(values)) << -1 << "用户设置电流值" << 2.0f;
    values[2] = " 63.99 ";
    QTest::newRow("largest current")
        << kvxBytes(kvxLines(values)) << -1 << "用户设置电流值" << 63.99f;
    values[2] = " 64 ";
    QTest::newRow("current too large for its register")
        << kvxBytes(kvxLines(values)) << 3 << "" << 0.0f;
    values[2] = "";
    QTest::newRow("no number") << kvxBytes(kvxLines(values)) << 3 << "" << 0.0f;

    QStringList lines = good;
    lines[2] = QStringLiteral("It's the current= 3");
    QTest::newRow("name with a quote") << kvxBytes(lines) << -1 << "It's the current" << 3.0f;
    lines[2] = QStringLiteral("= 3");
    QTest::newRow("empty name") << kvxBytes(lines) << -1 << "" << 3.0f;
    lines = good;
    lines[6] = QStringLiteral("低速振动抑制幅值2 1800");
    QTest::newRow("line without =") << kvxBytes(lines) << 7 << "" << 0.0f;
    lines = good;
    lines[9] = QString();
    QTest::newRow("blank line among the 15") << kvxBytes(lines) << 10 << "" << 0.0f;
    lines = good;
    lines[14] = QStringLiteral("脉冲输入模式选择= 65536 ");
    QTest::newRow("raw above 65535") << kvxBytes(lines) << 15 << "" << 0.0f;
    lines[14] = QStringLiteral("脉冲输入模式选择= 65535 ");
    QTest::newRow("raw 65535") << kvxBytes(lines) << -1 << "用户设置电流值" << 1.25f;
    lines[14] = QStringLiteral("脉冲输入模式选择=-1 ");
    QTest::newRow("negative raw") << kvxBytes(lines) << 15 << "" << 0.0f;
}

void ParameterTableTest::openingFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, badLine);
    QFETCH(QString, name2);
    QFETCH(float, value2);
    const ParameterFileReading reading = DecodeParameterFile(bytes);
    if (badLine >= 0) {
        QVERIFY(!reading.set);
        QCOMPARE(reading.badLine, badLine);
        QVERIFY(!reading.problem.isEmpty());
        return;
    }
    QVERIFY2(reading.set, qPrintable(reading.problem));
    QCOMPARE(reading.set->ParamNames[2], name2);
    QCOMPARE(reading.set->ParamValues[2], value2);
    QCOMPARE(reading.set->ParamNames[3], QStringLiteral("细分数"));
    QCOMPARE(reading.set->ParamValues[3], 16.0f);
    QCOMPARE(reading.set->ParamNames[14], QStringLiteral("脉冲输入模式选择"));
}

void ParameterTableTest::savedFileBytes() {
    QTemporaryDir folder;
    const QString path = folder.filePath("set.kvx");
    ParameterSet set;
    set.ParamValues = {1200, 300, 0.5f, 16, 2600, 800, 1800, 640, 64, 128, 50, 1000, 1, 1500, 6};
    set.ParamNames[0] = QStringLiteral("Kp 'quoted'");
    QVERIFY(WriteParameterFile(path, set));

    const QByteArray bytes = fileBytes(path);
    QVERIFY(bytes.startsWith("Kp 'quoted'= 1200 \r\n"));
    // 细分数= 16 in code page 936
    QVERIFY(bytes.contains(QByteArray::fromHex("cfb8b7d6cafd3d20313620") + "\r\n"));
    QVERIFY(bytes.contains("= .5 \r\n"));
    QCOMPARE(bytes.count("\r\n"), 15);
    QVERIFY(bytes.endsWith("= 6 \r\n"));

    const ParameterFileReading reading = ReadParameterFile(path);
    QVERIFY(reading.set);
    QCOMPARE(*reading.set, set);
}

void ParameterTableTest::savingKeepsTheOldFileWhenItCannotWrite() {
    QTemporaryDir folder;
    const QString path = folder.filePath("set.kvx");
    writeFile(path, "the old file");
    ParameterSet set;
    set.ParamNames[5] = QStringLiteral("相位 \U0001F600"); // not in code page 936
    QString problem;
    QVERIFY(!WriteParameterFile(path, set, &problem));
    QVERIFY(!problem.isEmpty());
    QCOMPARE(fileBytes(path), QByteArray("the old file"));

    QVERIFY(!WriteParameterFile(folder.filePath("missing/set.kvx"), ParameterSet(), &problem));
    QVERIFY(!ReadParameterFile(folder.filePath("missing.kvx")).set);
}

void ParameterTableTest::databaseHoldsTheLastSet() {
    QTemporaryDir folder;
    const QString path = folder.filePath(ParameterDatabase::kFileName);
    ParameterDatabase database;
    QVERIFY(database.open(path));
    QCOMPARE(tableRows(database).size(), 0);
    {
        QSqlQuery columns(database.connection());
        QVERIFY(columns.exec(ParameterDatabase::kSelectAll));
        const QSqlRecord record = columns.record();
        QCOMPARE(record.count(), 4);
        QCOMPARE(record.fieldName(0), QStringLiteral("参数名称"));
        QCOMPARE(record.fieldName(1), QStringLiteral("实际参数值"));
        QCOMPARE(record.fieldName(2), QStringLiteral("参数有效范围"));
        QCOMPARE(record.fieldName(3), QStringLiteral("默认参数值"));
    }

    ParameterSet set;
    set.ParamNames[0] = QStringLiteral("O'Brien's gain'); DROP TABLE QZ318; --");
    set.ParamValues[2] = 2.5f;
    set.ParamValues[3] = 1000;
    QVERIFY(database.rewrite(set));
    QVERIFY(database.rewrite(set)); // replaces, never adds
    const QList<QStringList> rows = tableRows(database);
    QCOMPARE(rows.size(), 15);
    QCOMPARE(rows[0][0], set.ParamNames[0]);
    QCOMPARE(rows[2], QStringList({"用户设置电流值", "2.5", "0.1--5.6 单位0.1A", "1"}));
    QCOMPARE(rows[3], QStringList({"细分数", "1000", "1--512", "1"}));
    QCOMPARE(rows[14], QStringList({"脉冲输入模式选择", "0", "0--7", "0"}));

    // The file keeps the set for the next start.
    database.close();
    ParameterDatabase again;
    QVERIFY(again.open(path));
    QCOMPARE(tableRows(again), rows);
}

void ParameterTableTest::databaseThatCannotOpen_data() {
    QTest::addColumn<QByteArray>("content"); // of the file at the path; empty: a missing folder
    QTest::newRow("not a database") << QByteArray(4096, 'x');
    QTest::newRow("folder missing") << QByteArray();
}

void ParameterTableTest::databaseThatCannotOpen() {
    QFETCH(QByteArray, content);
    QTemporaryDir folder;
    QString path = folder.filePath("missing/QZ318.db");
    if (!content.isEmpty()) {
        path = folder.filePath("QZ318.db");
        writeFile(path, content);
    }
    ParameterDatabase database;
    QVERIFY(!database.open(path));
    QVERIFY(!database.isOpen());
    QVERIFY(!database.rewrite(ParameterSet()));
    if (!content.isEmpty())
        QCOMPARE(fileBytes(path), content);
}

void ParameterTableTest::rewriteThatFailsPartWayKeepsTheTable_data() {
    QTest::addColumn<int>("failingInsert");
    QTest::newRow("first row") << 1;
    QTest::newRow("eighth row") << 8;
    QTest::newRow("last row") << 15;
}

void ParameterTableTest::rewriteThatFailsPartWayKeepsTheTable() {
    QFETCH(int, failingInsert);
    QTemporaryDir folder;
    const QString path = folder.filePath(ParameterDatabase::kFileName);
    ParameterDatabase database;
    QVERIFY(database.open(path));
    ParameterSet before;
    before.ParamValues[3] = 16;
    QVERIFY(database.rewrite(before));
    const QList<QStringList> rows = tableRows(database);
    QCOMPARE(rows.size(), 15);

    // The store refuses the n-th row of the next rewrite, as a full disk or a locked file would.
    const QString refuseRow = QStringLiteral("CREATE TRIGGER refuse_row BEFORE INSERT ON QZ318 "
                                             "WHEN (SELECT count(*) FROM QZ318) >= %1 "
                                             "BEGIN SELECT RAISE(ABORT, 'refused'); END")
                                  .arg(failingInsert - 1);
    QVERIFY(QSqlQuery(database.connection()).exec(refuseRow));
    ParameterSet after = before;
    after.ParamNames[0] = QStringLiteral("changed");
    after.ParamValues[3] = 256;
    QVERIFY(!database.rewrite(after));
    QCOMPARE(tableRows(database), rows);
    {
        ParameterDatabase other; // nothing half-done reached the file either
        QVERIFY(other.open(path));
        QCOMPARE(tableRows(other), rows);
    }

    // Nothing of the failed rewrite hangs over the next one.
    QVERIFY(QSqlQuery(database.connection()).exec(QStringLiteral("DROP TRIGGER refuse_row")));
    QVERIFY(database.rewrite(after));
    QCOMPARE(tableRows(database).size(), 15);
    QCOMPARE(tableRows(database)[3][1], QStringLiteral("256"));
}

void ParameterTableTest::databasePlacement_data() {
    QTest::addColumn<bool>("fileThere");
    QTest::addColumn<QString>("unwritable"); // nothing, the program's folder, or the file in it
    QTest::addColumn<bool>("beside");
    QTest::newRow("folder writable, no file yet") << false << "" << true;
    QTest::newRow("folder and file writable") << true << "" << true;
    QTest::newRow("folder unwritable, no file") << false << "folder" << false;
    // SQLite makes its journal beside the file: a writable file is not enough.
    QTest::newRow("folder unwritable, file writable") << true << "folder" << false;
    QTest::newRow("file unwritable") << true << "file" << false;
}

void ParameterTableTest::databasePlacement() {
    QFETCH(bool, fileThere);
    QFETCH(QString, unwritable);
    QFETCH(bool, beside);
    QTemporaryDir root;
    const QString program = root.filePath(QStringLiteral("program"));
    const QString data = root.filePath(QStringLiteral("data/Kirotune")); // made when needed
    QVERIFY(QDir().mkpath(program));
    const QString besidePath = QDir(program).filePath(ParameterDatabase::kFileName);
    if (fileThere) {
        ParameterDatabase earlier;
        QVERIFY(earlier.open(besidePath));
    }
    std::optional<test::Unwritable> locked;
    if (!unwritable.isEmpty()) {
        locked.emplace(unwritable == QLatin1String("folder") ? program : besidePath);
        if (!locked->ok())
            QSKIP("this file system lets every write through");
    }

    const QString placed = ParameterDatabase::placeIn(program, data);
    QCOMPARE(placed, beside ? besidePath : QDir(data).filePath(ParameterDatabase::kFileName));
    // Wherever it is placed, a set can be stored there, journal and all.
    ParameterDatabase database;
    QVERIFY(database.open(placed));
    QVERIFY(database.rewrite(ParameterSet()));
    QCOMPARE(tableRows(database).size(), 15);
}

void ParameterTableTest::readTakesUnsignedValuesAndAmperes() {
    ParameterTableRig rig;
    rig.drive.setReg(31, 1000); // 0.9765625 A
    rig.drive.setReg(32, 40000);
    rig.drive.setReg(255, 65535);
    const auto values = ReadAllParameters(rig.link);
    QVERIFY(values);
    QCOMPARE(rig.reads(), kTableRegisters);
    QCOMPARE((*values)[0], float(rig.drive.reg(0)));
    QCOMPARE((*values)[2], 0.98f);
    QCOMPARE((*values)[3], 40000.0f);
    QCOMPARE((*values)[14], 65535.0f);
    QVERIFY(rig.prompts.prompts.isEmpty());

    rig.drive.setReg(31, 128); // 0.125 A: halves go to even
    QCOMPARE((*ReadAllParameters(rig.link))[2], 0.12f);
    rig.drive.setReg(31, 1024);
    QCOMPARE((*ReadAllParameters(rig.link))[2], 1.0f);
}

void ParameterTableTest::failedAttemptsCountOverTheWholeRead_data() {
    QTest::addColumn<QList<int>>("silent"); // requests left unanswered, counted from 1
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<int>("requests");
    // Two repeats for the second register and nine for the eleventh: eleven in all.
    QList<int> twoAndNine{2, 3};
    for (int request = 13; request < 13 + 9; ++request)
        twoAndNine << request;
    QTest::newRow("2 + 9 repeats") << twoAndNine << true << 15 + 11;
    QTest::newRow("a 12th failure ends the read") << (QList<int>(twoAndNine) << 23) << false << 23;
    QList<int> firstTwelve;
    for (int request = 1; request <= 12; ++request)
        firstTwelve << request;
    QTest::newRow("silent from the start") << firstTwelve << false << 12;
}

void ParameterTableTest::failedAttemptsCountOverTheWholeRead() {
    QFETCH(QList<int>, silent);
    QFETCH(bool, succeeds);
    QFETCH(int, requests);
    ParameterTableRig rig;
    rig.silence(silent);
    const auto values = ReadAllParameters(rig.link);
    QCOMPARE(values.has_value(), succeeds);
    QCOMPARE(rig.drive.requests().size(), requests);
    QCOMPARE(rig.link.TuningIdle(), !succeeds);
    if (succeeds)
        QCOMPARE((*values)[10], float(rig.drive.reg(78)));
}

void ParameterTableTest::factoryDefaultsInOrder() {
    ParameterTableRig rig;
    const qint64 start = rig.clock.now;
    QVERIFY(WriteFactoryDefaults(rig.link));
    const QList<int> values{1000, 200, 1024, 1, 0, 0, 0, 0, 128, 128, 50, 2000, 0, 1000, 0};
    QList<QPair<int, int>> expected;
    for (int i = 0; i < 15; ++i)
        expected.append({kTableRegisters[i], values[i]});
    QCOMPARE(rig.writes(), expected);
    QCOMPARE(rig.drive.reg(31), quint16(1024));
    QVERIFY(rig.clock.now - start >= 14 * 50); // 50 ms between the writes
    QCOMPARE(rig.drive.eepromCommits(), 0);
}

void ParameterTableTest::writeGoesOnAfterAFailedRegister() {
    ParameterTableRig rig;
    ParameterValues values = ParamDefaults();
    values[2] = 1.25f;
    // The fourth register fails all four attempts of WriteRegister.
    rig.silence({4, 5, 6, 7});
    QVERIFY(!WriteAllParameters(rig.link, values));
    QCOMPARE(rig.writes().size(), 15 + 3);
    QCOMPARE(rig.writes().last(), qMakePair(255, 0));
    QCOMPARE(rig.drive.reg(31), quint16(1280));
    QCOMPARE(rig.prompts.texts(),
             QStringList{QStringLiteral("Communication Error. Please check the RS232 cable "
                                        "connection and restart Kirotune.")});
}

void ParameterTableTest::commitToEeprom_data() {
    QTest::addColumn<int>("silentRequests");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<int>("requests");
    QTest::newRow("drive answers") << 0 << true << 1;
    QTest::newRow("eleven repeats") << 11 << true << 12;
    QTest::newRow("silent drive") << 12 << false << 12;
}

void ParameterTableTest::commitToEeprom() {
    QFETCH(int, silentRequests);
    QFETCH(bool, succeeds);
    QFETCH(int, requests);
    ParameterTableRig rig;
    QList<int> silent;
    for (int request = 1; request <= silentRequests; ++request)
        silent << request;
    rig.silence(silent);
    const qint64 start = rig.clock.now;
    QCOMPARE(CommitToEeprom(rig.link), succeeds);
    const QList<QPair<int, int>> commits(requests, qMakePair(12, 1));
    QCOMPARE(rig.writes(), commits);
    QCOMPARE(rig.drive.eepromCommits(), requests); // a silent drive may still have stored
    QCOMPARE(rig.link.TuningIdle(), !succeeds);
    QVERIFY(rig.clock.now - start >= requests * (1000 + 500));
    QVERIFY(rig.prompts.prompts.isEmpty());
}

QTEST_GUILESS_MAIN(ParameterTableTest)
#include "tst_parametertable.moc"
