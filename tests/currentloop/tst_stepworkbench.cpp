// What the current-loop window offers around its plot for comparing runs, against the simulated
// drive on a virtual clock: the figures under the plot, earlier runs with their legend, the readout
// under the mouse, "save…" and the step history in the program's data folder.

#include "CurrentLoopRig.h"
#include "currentloop/RunOverlay.h"
#include "currentloop/StepFiguresLine.h"
#include "currentloop/StepHistory.h"
#include "currentloop/StepMetrics.h"
#include "currentloop/StepSaveDialog.h"
#include "currentloop/StepWorkbench.h"
#include "tests/support/PrivateFoldersWindowMain.h"
#include "tests/support/Unwritable.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <cmath>

using kiro::RunOverlay;
using kiro::StepFiguresLine;
using kiro::StepHistory;
using kiro::test::CurrentLoopRig;

namespace {

const QColor kCurve(28, 249, 105);

QList<int> rowsOf(const QImage& image, int column, const QColor& colour) {
    QList<int> rows;
    for (int row = 0; row < image.height(); ++row) {
        if (image.pixelColor(column, row).rgb() == colour.rgb())
            rows.append(row);
    }
    return rows;
}

bool showsNear(const QImage& image, int column, const QColor& colour, double row) {
    for (const int found : rowsOf(image, column, colour)) {
        if (std::abs(found - row) <= 1.0)
            return true;
    }
    return false;
}

bool showsAnywhere(const QImage& image, const QColor& colour) {
    for (int column = 0; column < image.width(); ++column) {
        if (!rowsOf(image, column, colour).isEmpty())
            return true;
    }
    return false;
}

double rowOf(double amperes, double top, double height) {
    return (amperes - top) * 211.0 / height;
}

QVector<qint16> twoLevels(qint16 before, qint16 after) {
    QVector<qint16> samples(200, before);
    std::fill(samples.begin() + 100, samples.end(), after);
    return samples;
}

// A response of the given form to a step of `amperes`, in Q10 as the drive records it.
QVector<qint16> response(const QString& form, double amperes) {
    QVector<qint16> samples(200);
    for (int k = 0; k < 200; ++k) {
        double value = 0;
        if (form == QLatin1String("first order"))
            value = amperes * (1 - std::exp(-k / 12.0));
        else if (form == QLatin1String("ringing"))
            value = amperes * (1 - std::exp(-k / 25.0) * std::cos(k / 4.0));
        else if (form == QLatin1String("offset"))
            value = 0.1;
        else // still swinging at the end of the record
            value = amperes * (1 + 0.2 * std::sin(k / 3.0));
        samples[k] = qint16(std::lround(value * 1024));
    }
    return samples;
}

QVector<float> amperesOf(const QVector<qint16>& record) {
    QVector<float> samples;
    for (const qint16 raw : record)
        samples.append(raw / 1024.0f);
    return samples;
}

QStringList legendOf(const CurrentLoopRig& rig) {
    QStringList texts;
    const auto* legend = rig.widget(QStringLiteral("RunLegend"));
    for (const QLabel* entry : legend->findChildren<QLabel*>(QStringLiteral("RunLegendEntry")))
        texts << entry->accessibleName();
    return texts;
}

QString textOf(const CurrentLoopRig& rig, const QString& name) {
    return rig.widget<QLabel>(name)->text();
}

kiro::StepWorkbench* workbenchOf(const CurrentLoopRig& rig) {
    return rig.widget<kiro::StepWorkbench>(QStringLiteral("StepWorkbench"));
}

// Answers the save dialog with a path and a file type, and notes what it was offered.
class AnsweringSaveDialog : public kiro::StepSaveDialog {
public:
    QString saveFileName(QWidget*, const QString& suggested, const QString&,
                         QString* chosenFilter) override {
        offered = suggested;
        *chosenFilter = filter;
        return path;
    }
    QString path;
    QString filter;
    QString offered;
};

QStringList historyFiles() {
    return QDir(StepHistory().folder()).entryList({QStringLiteral("*.csv")}, QDir::Files);
}

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class StepWorkbenchTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        // Every case starts with an empty history and the earlier runs kept, as on a first run.
        QDir(StepHistory().folder()).removeRecursively();
        QSettings().clear();
    }

    void figuresEqualTheMetrics_data();
    void figuresEqualTheMetrics();
    void earlierRunsStayOnThePlot();
    void keepingIsRememberedAndSwitchesTheOverlayOff();
    void readoutFollowsTheMouse_data();
    void readoutFollowsTheMouse();
    void saveWritesTheRunOrThePlot_data();
    void saveWritesTheRunOrThePlot();
    void failedSaveLeavesTheFileAsItWas();
    void everyRunIsKeptInTheHistory();
    void unwritableHistoryLeavesTheStepAlone();
};

void StepWorkbenchTest::figuresEqualTheMetrics_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QStringList>("empty"); // the figures that have no value for the run
    QTest::newRow("first order") << "first order"
                                 << "1.5" << QStringList{};
    QTest::newRow("ringing") << "ringing"
                             << "2" << QStringList{};
    QTest::newRow("0 A") << "offset"
                         << "0" << QStringList{"riseValue", "overshootValue", "settlingValue"};
    QTest::newRow("never settles") << "swinging"
                                   << "1" << QStringList{"settlingValue"};
}

void StepWorkbenchTest::figuresEqualTheMetrics() {
    QFETCH(QString, form);
    QFETCH(QString, current);
    QFETCH(QStringList, empty);
    CurrentLoopRig rig(QStringLiteral("x7"));
    const QVector<qint16> record = response(form, current.toDouble());
    rig.drive.setStepResponse(record);
    QVERIFY(rig.openWindow());
    for (const char* name : {"riseValue", "overshootValue", "settlingValue", "errorValue"})
        QVERIFY(textOf(rig, name).isEmpty());
    QVERIFY(rig.start("1000", "300", current.toUtf8().constData()));

    // The numbers qzcli step --metrics prints for the same record.
    const kiro::StepMetrics figures =
        kiro::ComputeStepMetrics(amperesOf(record), current.toDouble());
    const QMap<QString, QString> expected{
        {"riseValue", StepFiguresLine::riseText(figures)},
        {"overshootValue", StepFiguresLine::overshootText(figures)},
        {"settlingValue", StepFiguresLine::settlingText(figures)},
        {"errorValue", StepFiguresLine::errorText(figures)}};
    for (auto figure = expected.begin(); figure != expected.end(); ++figure) {
        QCOMPARE(textOf(rig, figure.key()), figure.value());
        QCOMPARE(textOf(rig, figure.key()).isEmpty(), empty.contains(figure.key()));
    }
    if (form == QLatin1String("first order")) {
        // 10 % at sample 2 (1 - e^(-2/12) = 0.15), 90 % at sample 28; no overshoot.
        QCOMPARE(textOf(rig, "riseValue"), QStringLiteral("26"));
        QCOMPARE(textOf(rig, "overshootValue"), QStringLiteral("0.00 %"));
    }
    if (form == QLatin1String("offset"))
        QCOMPARE(textOf(rig, "errorValue"), QStringLiteral("-0.0996 A"));
}

void StepWorkbenchTest::earlierRunsStayOnThePlot() {
    CurrentLoopRig rig(QStringLiteral("x7"));
    QVERIFY(rig.openWindow());
    rig.drive.setStepResponse(twoLevels(0, 1024)); // 1 A
    QVERIFY(rig.start("1000", "300", "1.5"));
    rig.drive.setStepResponse(twoLevels(0, -1024)); // -1 A
    QVERIFY(rig.start("2000", "100", "1.5"));

    const QColor earlier = RunOverlay::palette().first();
    QImage image = rig.tick();
    const int late = int(150 * 455 / 199.0);
    QVERIFY(showsNear(image, late, earlier, rowOf(1, 4.5, -9)));
    QVERIFY(showsNear(image, late, kCurve, rowOf(-1, 4.5, -9)));
    QVERIFY(!showsNear(image, late, kCurve, rowOf(1, 4.5, -9)));
    QCOMPARE(legendOf(rig), (QStringList{"2000/100, 1.5 A", "1000/300, 1.5 A"}));

    // A zoom shows every run in the new view: samples 44 to 131, 2.37 A down to -1.90 A.
    QWidget* plot = rig.widget(QStringLiteral("Picture1"));
    QTest::mousePress(plot, Qt::LeftButton, {}, QPoint(100, 50));
    QTest::mouseRelease(plot, Qt::LeftButton, {}, QPoint(300, 150));
    const double top = 4.5 - 50 * 9 / 211.0;
    const double height = -100 * 9 / 211.0;
    image = rig.tick();
    const int afterStep = int((120 - 44) * 455 / 87.0);
    QVERIFY(showsNear(image, afterStep, earlier, rowOf(1, top, height)));
    QVERIFY(showsNear(image, afterStep, kCurve, rowOf(-1, top, height)));

    // "clear" leaves the current run alone.
    QVERIFY(rig.click(QStringLiteral("clearRuns")));
    image = rig.tick();
    QVERIFY(!showsAnywhere(image, earlier));
    QVERIFY(showsNear(image, afterStep, kCurve, rowOf(-1, top, height)));
    QCOMPARE(legendOf(rig), QStringList{"2000/100, 1.5 A"});
    QVERIFY(!rig.widget(QStringLiteral("clearRuns"))->isEnabled());

    // Five earlier runs at most, each keeping its colour while it stays.
    for (int kp = 1; kp <= 6; ++kp)
        QVERIFY(rig.start(QByteArray::number(kp).constData(), "0", "1"));
    QCOMPARE(legendOf(rig),
             (QStringList{"6/0, 1 A", "5/0, 1 A", "4/0, 1 A", "3/0, 1 A", "2/0, 1 A", "1/0, 1 A"}));
    const auto* workbench = workbenchOf(rig);
    QList<QColor> colours;
    for (const kiro::OverlaidRun& run : workbench->runs().earlier())
        colours.prepend(run.colour);
    QCOMPARE(colours.size(), RunOverlay::kEarlierRuns);
    QVERIFY(rig.start("7", "0", "1"));
    QVERIFY(workbench->runs().earlier().last().run.kp == 2);
    QCOMPARE(workbench->runs().earlier().last().colour, colours[1]);
}

void StepWorkbenchTest::keepingIsRememberedAndSwitchesTheOverlayOff() {
    {
        CurrentLoopRig rig(QStringLiteral("qz318"));
        QVERIFY(rig.openWindow());
        auto* keep = rig.widget<QCheckBox>(QStringLiteral("keepRuns"));
        QVERIFY(keep->isChecked());
        rig.drive.setStepResponse(twoLevels(0, 1024));
        QVERIFY(rig.start("1000", "300", "1.5"));
        QVERIFY(rig.start("2000", "300", "1.5"));
        QCOMPARE(legendOf(rig).size(), 2);
        keep->click();
        QVERIFY(!showsAnywhere(rig.tick(), RunOverlay::palette().first()));
        QVERIFY(rig.start("3000", "300", "1.5"));
        QCOMPARE(legendOf(rig), QStringList{"3000/300, 1.5 A"});
        rig.closeForm();
    }
    CurrentLoopRig rig(QStringLiteral("qz318"));
    QVERIFY(rig.openWindow());
    QVERIFY(!rig.widget<QCheckBox>(QStringLiteral("keepRuns"))->isChecked());
}

void StepWorkbenchTest::readoutFollowsTheMouse_data() {
    QTest::addColumn<int>("pixel");
    QTest::addColumn<QString>("shown");
    // 455 pixels for 199 sample steps: pixel 226 lies at 98.8, pixel 228 at 99.7.
    QTest::newRow("before the step") << 226 << "sample: 99  I: -0.5000 A";
    QTest::newRow("after the step") << 228 << "sample: 100  I: 3.0000 A";
    QTest::newRow("left edge") << 0 << "sample: 0  I: -0.5000 A";
    QTest::newRow("right edge") << 454 << "sample: 199  I: 3.0000 A";
}

void StepWorkbenchTest::readoutFollowsTheMouse() {
    QFETCH(int, pixel);
    QFETCH(QString, shown);
    CurrentLoopRig rig(QStringLiteral("x7"));
    rig.drive.setStepResponse(twoLevels(-512, 3072));
    QVERIFY(rig.openWindow());
    QVERIFY(rig.start("1000", "300", "1.5"));
    QWidget* plot = rig.widget(QStringLiteral("Picture1"));
    QTest::mouseMove(plot, QPoint(pixel, 100));
    QCOMPARE(textOf(rig, "StepReadout"), shown);

    // Nothing follows the mouse while the window is in a transfer.
    rig.state.setTuningIdle(false);
    QTest::mouseMove(plot, QPoint(pixel < 200 ? 400 : 10, 100));
    QCOMPARE(textOf(rig, "StepReadout"), shown);
}

void StepWorkbenchTest::saveWritesTheRunOrThePlot_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("written");
    QTest::newRow("csv") << "run.csv"
                         << "PNG (*.png)"
                         << "run.csv";
    QTest::newRow("png") << "plot.PNG"
                         << "CSV (*.csv)"
                         << "plot.PNG";
    QTest::newRow("png by type") << "plot"
                                 << "PNG (*.png)"
                                 << "plot.png";
    QTest::newRow("csv by type") << "run"
                                 << "CSV (*.csv)"
                                 << "run.csv";
}

void StepWorkbenchTest::saveWritesTheRunOrThePlot() {
    QFETCH(QString, name);
    QFETCH(QString, filter);
    QFETCH(QString, written);
    QTemporaryDir folder;
    CurrentLoopRig rig(QStringLiteral("x7"));
    rig.drive.setStepResponse(twoLevels(-512, 3072));
    QVERIFY(rig.openWindow());
    QVERIFY(!rig.widget(QStringLiteral("saveRun"))->isEnabled());
    AnsweringSaveDialog dialog;
    dialog.path = folder.filePath(name);
    dialog.filter = filter;
    workbenchOf(rig)->setSaveDialog(dialog);
    QVERIFY(rig.start("1000", "300.4", "1.5"));
    rig.tick();
    const QImage shown = rig.tick(); // from the second redraw on, every redraw looks the same
    QVERIFY(rig.click(QStringLiteral("saveRun")));
    QVERIFY(rig.prompts.prompts.isEmpty());
    QVERIFY(dialog.offered.endsWith(QStringLiteral("_x7_kp1000_ki300.csv")));

    const QString path = folder.filePath(written);
    if (written.endsWith(QLatin1String(".csv"))) {
        const QList<QByteArray> lines = contentsOf(path).split('\n');
        QCOMPARE(lines.size(), 5 + 1 + 200 + 1);
        QCOMPARE(lines[0], QByteArray("# kp=1000"));
        QCOMPARE(lines[1], QByteArray("# ki=300")); // as the drive received it
        QCOMPARE(lines[2], QByteArray("# i_test=1.5"));
        QCOMPARE(lines[3], QByteArray("# variant=x7"));
        QVERIFY(lines[4].startsWith("# time="));
        const QDateTime time =
            QDateTime::fromString(QString::fromUtf8(lines[4].mid(7)), Qt::ISODateWithMs);
        QVERIFY(time.isValid());
        QVERIFY(std::abs(time.secsTo(QDateTime::currentDateTime())) < 60);
        QCOMPARE(lines[5], QByteArray("sample,amperes"));
        QCOMPARE(lines[6], QByteArray("0,-0.5"));
        QCOMPARE(lines[205], QByteArray("199,3"));
    } else {
        QImage saved;
        QVERIFY(saved.load(path, "PNG"));
        QCOMPARE(saved.convertToFormat(QImage::Format_RGB32),
                 shown.convertToFormat(QImage::Format_RGB32));
    }
}

void StepWorkbenchTest::failedSaveLeavesTheFileAsItWas() {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("run.csv"));
    {
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("an earlier file\n");
    }
    CurrentLoopRig rig(QStringLiteral("qz318"));
    QVERIFY(rig.openWindow());
    AnsweringSaveDialog dialog;
    dialog.path = path;
    workbenchOf(rig)->setSaveDialog(dialog);
    QVERIFY(rig.start("1000", "300", "1.5"));
    kiro::test::Unwritable readOnly(folder.path());
    if (!readOnly.ok())
        QSKIP("the folder cannot be made read-only here");
    QVERIFY(rig.click(QStringLiteral("saveRun")));
    QCOMPARE(rig.prompts.titles(), QStringList{"Prompt！"});
    QVERIFY2(rig.prompts.texts().first().startsWith(path + QStringLiteral(" was not saved: ")),
             qPrintable(rig.prompts.texts().first()));
    QCOMPARE(contentsOf(path), QByteArray("an earlier file\n"));
}

void StepWorkbenchTest::everyRunIsKeptInTheHistory() {
    CurrentLoopRig rig(QStringLiteral("qz318"));
    rig.drive.setStepResponse(twoLevels(0, 1024));
    QVERIFY(rig.openWindow());
    QVERIFY(rig.start("1000", "300", "1.5"));
    QVERIFY(rig.start("2000", "0", "0.5"));
    const QStringList files = historyFiles();
    QCOMPARE(files.size(), 2);
    QVERIFY(files[0].endsWith(QStringLiteral("_qz318_kp1000_ki300.csv")));
    QVERIFY(files[1].endsWith(QStringLiteral("_qz318_kp2000_ki0.csv")));
    const QByteArray kept = contentsOf(QDir(StepHistory().folder()).filePath(files[1]));
    QVERIFY(kept.startsWith("# kp=2000\n# ki=0\n# i_test=0.5\n# variant=qz318\n# time="));
    QVERIFY(kept.contains("\nsample,amperes\n0,0\n"));
    QVERIFY(kept.endsWith("\n199,1\n"));
}

void StepWorkbenchTest::unwritableHistoryLeavesTheStepAlone() {
    const QString folder = StepHistory().folder();
    QVERIFY(QDir().mkpath(folder));
    kiro::test::Unwritable readOnly(folder);
    if (!readOnly.ok())
        QSKIP("the folder cannot be made read-only here");
    CurrentLoopRig rig(QStringLiteral("x7"));
    rig.drive.setStepResponse(twoLevels(0, 1024));
    QVERIFY(rig.openWindow());
    QVERIFY(rig.start("1000", "300", "1.5"));
    // The step ran and shows as ever; the note beside the plot says why it is not in the history.
    QVERIFY(rig.prompts.prompts.isEmpty());
    QVERIFY(rig.widget(QStringLiteral("Command1"))->isEnabled());
    QVERIFY(showsNear(rig.tick(), 300, kCurve, rowOf(1, 4.5, -9)));
    QCOMPARE(textOf(rig, "errorValue"), QStringLiteral("0.5000 A"));
    QVERIFY(textOf(rig, "historyNote").startsWith(QStringLiteral("not kept in the history: ")));
    QVERIFY(historyFiles().isEmpty());
}

KIRO_WINDOW_TEST_MAIN_WITH_PRIVATE_FOLDERS(StepWorkbenchTest)
#include "tst_stepworkbench.moc"
