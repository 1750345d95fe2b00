// The installation as a user meets it: installed into a temporary prefix, the programs are found
// on the PATH, answer their version, the tuners find their pictures and start, qzcli reads from
// the installed simulated drive through the port map of a fresh home folder, and the desktop
// entries validate and name programs and icons that the installation holds.

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

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

QTEST_MAIN(InstallTest)
#include "tst_install.moc"
