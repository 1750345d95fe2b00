#pragma once
// What each windowed program answers on its command line, and the icon its windows carry.

#include <QCommandLineParser>
#include <QDir>
#include <QIcon>

#include <cstdio>

namespace desktop {

// The command line of a windowed program. --help and --version are answered before the program
// reaches the window system, so that both work without a display; the program's own options are
// read once QApplication has taken out the options of Qt itself (-platform, -style, ...).
class CommandLine {
public:
    CommandLine(const QString& program, const char* summary)
        : program_(program), summary_(QString::fromUtf8(summary)) {
        // -platformtheme is one word of Qt's, not -p -l -a ... -h.
        parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser_.addOption(help_);
        parser_.addOption(version_);
    }

    void addOption(const QCommandLineOption& option) { parser_.addOption(option); }

    // Prints the answer to --help or --version; true when one was asked for and the program
    // should end. Anything else on the command line waits for parse().
    bool answered(int argc, char** argv) {
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments.append(QString::fromLocal8Bit(argv[i]));
        parser_.parse(arguments);
        if (parser_.isSet(version_)) {
            std::printf("%s %s\n", qPrintable(program_), KIROTUNE_VERSION);
            return true;
        }
        if (parser_.isSet(help_)) {
            std::fputs(qPrintable(helpText()), stdout);
            return true;
        }
        return false;
    }

    // The arguments that QApplication left; false, after the complaint and the usage on standard
    // error, when they are not the program's.
    bool parse(const QStringList& arguments) {
        QString complaint;
        if (!parser_.parse(arguments))
            complaint = parser_.errorText();
        else if (!parser_.positionalArguments().isEmpty())
            complaint =
                QStringLiteral("unexpected '%1'").arg(parser_.positionalArguments().first());
        if (complaint.isEmpty())
            return true;
        std::fprintf(stderr, "%s: %s\n%s", qPrintable(program_), qPrintable(complaint),
                     qPrintable(helpText()));
        return false;
    }

    bool isSet(const QCommandLineOption& option) const { return parser_.isSet(option); }
    QString value(const QCommandLineOption& option) const { return parser_.value(option); }

private:
    QString helpText() const {
        // The parser's own text names the program only once an application object exists.
        const QString options = parser_.helpText();
        return QStringLiteral("usage: %1 [options]\n\n%2\n\n").arg(program_, summary_) +
               options.mid(options.indexOf(QLatin1String("Options:")));
    }

    QString program_;
    QString summary_;
    QCommandLineParser parser_;
    const QCommandLineOption help_{{QStringLiteral("h"), QStringLiteral("help")},
                                   QStringLiteral("Print this help and exit.")};
    const QCommandLineOption version_{QStringLiteral("version"),
                                      QStringLiteral("Print the version and exit.")};
};

// The sizes of the program's icon that the build put under :/icon/, the same picture that its
// desktop entry shows.
inline QIcon programIcon() {
    QIcon icon;
    const QDir sizes(QStringLiteral(":/icon"));
    for (const QString& file : sizes.entryList(QDir::Files))
        icon.addFile(sizes.filePath(file));
    return icon;
}

} // namespace desktop
