// The installation as a user meets it: installed into a temporary prefix, the programs are found
// on the PATH, answer their version, the tuners find their pictures and start, qzcli reads from
// the installed simulated drive through the port map of a fresh home folder, and the desktop
// entries validate and name programs and icons that the installation holds.

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

namespace {

const QStringList kIconSizes{"16x16", "22x22", "24x24",   "32x32",
                             "48x48", "64x64", "128x128", "256x256"};

// What Qt and the programs print when a file they want is not there.
const QRegularExpression kMissingFile(
    QStringLiteral("no such file|no file name|cannot (open|load|find|read)|"
                   "could not (open|load|find|read)|failed to (open|load)|not found|missing"),
    QRegularExpression::CaseInsensitiveOption);

void stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

// An X server of our own on a free display, for as long as the test needs it.
class XServer {
public:
    bool start() {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (program.isEmpty())
            return false;
        // -displayfd: the server chooses a free display and tells its number.
        server_.start(program,
                      {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
        QByteArray number;
        while (!number.contains('\n') && server_.waitForReadyRead(10000))
            number += server_.readAllStandardOutput();
        display_ = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
        return number.contains('\n');
    }
    ~XServer() { stop(server_); }
    const QString& display() const { return display_; }

private:
    QProcess server_;
    QString display_;
};

constexpr char kGrabScreen[] = "--grab-screen";

// The picture in the middle of the left half of the screen, where a tuner that found its
// background shows the bluish sky of "2.jpg" and one that did not shows the plain grey of an
// empty client area.
bool showsBackgroundPicture(const QImage& screen) {
    if (screen.isNull())
        return false;
    const QColor pixel = screen.pixelColor(screen.width() / 4, screen.height() * 3 / 5);
    return pixel.blue() > pixel.red() + 25;
}

} // namespace

class InstallTest : public QObject {
    Q_OBJECT

    QTemporaryDir scratch_;

    QString prefix() const { return scratch_.filePath(QStringLiteral("prefix")); }
    QString home() const { return scratch_.filePath(QStringLiteral("home")); }
    QString bin() const { return prefix() + QStringLiteral("/bin"); }

    // A user's session: the installation's bin/ first on the PATH, a home folder of its own (so
    // the port map lies under home/.config), and no display unless a test gives one.
    QProcessEnvironment session() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PATH"),
                           bin() + QLatin1Char(':') + environment.value(QStringLiteral("PATH")));
        environment.insert(QStringLiteral("HOME"), home());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), scratch_.path());
        for (const char* name :
             {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        return environment;
    }

    // The program of that name as the PATH of the session finds it.
    QString onPath(const QString& name) const {
        return QStandardPaths::findExecutable(name, {bin()});
    }

private slots:
    void initTestCase() {
        QVERIFY(scratch_.isValid());
        QVERIFY(QDir().mkpath(home()));
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(QStringLiteral(KIROTUNE_CMAKE),
                      {"--install", KIROTUNE_BUILD_DIR, "--prefix", prefix()});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
                 install.readAll().constData());
    }

    void everyProgramAnswersItsVersion_data() {
        QTest::addColumn<QString>("program");
        for (const char* program : {"qztune-x7", "QZ318", "RegProbe", "qzcli", "qzdrive-sim"})
            QTest::newRow(program) << QString::fromLatin1(program);
    }

    // Without a display: --version must not need the window system.
    void everyProgramAnswersItsVersion() {
        QFETCH(QString, program);
        const QString path = onPath(program);
        QVERIFY2(!path.isEmpty(), "not on the PATH");
        QProcess process;
        process.setProcessEnvironment(session());
        process.start(path, {QStringLiteral("--version")});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(process.readAllStandardOutput()),
                 program + QStringLiteral(" " KIROTUNE_VERSION "\n"));
    }

    void tunersFindTheirPicturesAndStart_data() {
        QTest::addColumn<QString>("program");
        QTest::newRow("qztune-x7") << "qztune-x7";
        QTest::newRow("QZ318") << "QZ318";
    }

    void tunersFindTheirPicturesAndStart() {
        QFETCH(QString, program);
        // The launcher on the PATH leads to the program in its own folder, where the pictures
        // that it loads from beside itself lie, readable.
        const QFileInfo launcher(onPath(program));
        QVERIFY2(launcher.exists(), "not on the PATH");
        const QFileInfo real(launcher.canonicalFilePath());
        QCOMPARE(real.absolutePath(),
                 QFileInfo(prefix() + QStringLiteral("/" KIROTUNE_INSTALL_PROGRAMDIR))
                     .canonicalFilePath());
        for (const char* picture : {"2.jpg", "lamp01.bmp", "lamp02.bmp"})
            QVERIFY2(!QImage(real.absoluteDir().filePath(QString::fromLatin1(picture))).isNull(),
                     picture);

        QProcessEnvironment environment = session();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess tuner;
        tuner.setProcessEnvironment(environment);
        tuner.setProcessChannelMode(QProcess::MergedChannels);
        tuner.start(launcher.absoluteFilePath(), {});
        QVERIFY2(tuner.waitForStarted(5000), qPrintable(tuner.errorString()));
        QVERIFY2(!tuner.waitForFinished(2000),
                 qPrintable(QStringLiteral("ended early: ") + tuner.readAll()));
        stop(tuner);
        const QString output = QString::fromLocal8Bit(tuner.readAll());
        QVERIFY2(!kMissingFile.match(output).hasMatch(), qPrintable(output));
    }

    // On a real display, started from the PATH, the tuner shows its background picture.
    void tunersShowTheirBackgroundOnADisplay_data() { tunersFindTheirPicturesAndStart_data(); }

    void tunersShowTheirBackgroundOnADisplay() {
        QFETCH(QString, program);
        XServer x;
        if (!x.start())
            QSKIP("no X server program (Xvfb) on this machine");
        QProcessEnvironment environment = session();
        environment.insert(QStringLiteral("DISPLAY"), x.display());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        QProcess tuner;
        tuner.setProcessEnvironment(environment);
        tuner.setProcessChannelMode(QProcess::ForwardedChannels);
        tuner.start(onPath(program), {});
        QVERIFY(tuner.waitForStarted(5000));
        auto stopTuner = qScopeGuard([&] { stop(tuner); });

        // This test program, started once more on the display, takes the picture of the screen.
        const QString shot = scratch_.filePath(program + QStringLiteral(".png"));
        // The picture file tells whether it worked: a sanitizer's leak report at the grabber's
        // exit must not count as a failed grab.
        const auto grab = [&] {
            QFile::remove(shot);
            QProcess grabber;
            grabber.setProcessEnvironment(environment);
            grabber.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            grabber.start(QCoreApplication::applicationFilePath(),
                          {QString::fromLatin1(kGrabScreen), shot});
            grabber.waitForFinished(10000);
            return QImage(shot);
        };
        QElapsedTimer waited; // until the window is up and has drawn, or long past that
        waited.start();
        bool shown = false;
        while (!shown && waited.elapsed() < 10000) {
            shown = showsBackgroundPicture(grab());
            if (!shown)
                QTest::qWait(200);
        }
        QVERIFY2(shown, "the screen shows no background picture");
    }

    // A bench script's view: both programs from the PATH, the port published in the port map of
    // the user's home folder.
    void qzcliTalksToTheInstalledDrive() {
        QProcess drive;
        drive.setProcessEnvironment(session());
        drive.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        drive.start(onPath(QStringLiteral("qzdrive-sim")), {"--variant", "x7", "--port", "COM4"});
        QVERIFY(drive.waitForStarted(5000));
        auto stopDrive = qScopeGuard([&] { stop(drive); });
        const QString link = home() + QStringLiteral("/.config/Kirotune/dosdevices/COM4");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 10000);

        const auto qzcli = [&](const QStringList& command) {
            QProcess process;
            process.setProcessEnvironment(session());
            process.start(onPath(QStringLiteral("qzcli")),
                          QStringList{"--variant", "x7", "--port", "COM4"} + command);
            process.waitForFinished(30000);
            return QString::fromLocal8Bit(process.readAllStandardOutput()) +
                   QString::number(process.exitCode());
        };
        QCOMPARE(qzcli({"write", "31", "2560"}), QStringLiteral("31 := 2560\n0"));
        QCOMPARE(qzcli({"read", "31"}), QStringLiteral("31 2560 2560\n0"));
    }

    void desktopEntriesValidate_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("program");
        QTest::newRow("qztune-x7") << "kirotune-qztune-x7"
                                   << "qztune-x7";
        QTest::newRow("QZ318") << "kirotune-qz318"
                               << "QZ318";
        QTest::newRow("RegProbe") << "kirotune-regprobe"
                                  << "RegProbe";
    }

    void desktopEntriesValidate() {
        QFETCH(QString, entry);
        QFETCH(QString, program);
        const QString share = prefix() + QStringLiteral("/share");
        const QString path =
            share + QStringLiteral("/applications/") + entry + QStringLiteral(".desktop");
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(path));
        const QString text = QString::fromUtf8(file.readAll());

        // The menu starts the program from the PATH and shows the icon we install.
        QVERIFY(text.contains(QStringLiteral("\nExec=") + program + QLatin1Char('\n')));
        QVERIFY(!onPath(program).isEmpty());
        QVERIFY(text.contains(QStringLiteral("\nIcon=") + entry + QLatin1Char('\n')));
        QVERIFY(QFile::exists(share + QStringLiteral("/icons/hicolor/scalable/apps/") + entry +
                              QStringLiteral(".svg")));
        for (const QString& size : kIconSizes) {
            const QImage icon(share + QStringLiteral("/icons/hicolor/") + size +
                              QStringLiteral("/apps/") + entry + QStringLiteral(".png"));
            QCOMPARE(QStringLiteral("%1x%2").arg(icon.width()).arg(icon.height()), size);
        }
        // Names and comments in both languages.
        for (const char* key : {"\nName=", "\nName[zh_CN]=", "\nComment=", "\nComment[zh_CN]="})
            QVERIFY2(text.contains(QString::fromLatin1(key)), key);

        const QString validator =
            QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (validator.isEmpty())
            QSKIP("desktop-file-validate is not installed (Debian package desktop-file-utils)");
        QProcess validate;
        validate.setProcessChannelMode(QProcess::MergedChannels);
        validate.start(validator, {path});
        QVERIFY(validate.waitForFinished(10000));
        const QString report = QString::fromLocal8Bit(validate.readAll());
        QVERIFY2(validate.exitCode() == 0 && report.isEmpty(), qPrintable(report));
    }
};

int main(int argc, char* argv[]) {
    if (argc == 3 && std::strcmp(argv[1], kGrabScreen) == 0) {
        QGuiApplication app(argc, argv);
        const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
        return screen.save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    QGuiApplication app(argc, argv);
    InstallTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_install.moc"
