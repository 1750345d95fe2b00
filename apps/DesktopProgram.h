#pragma once
// What each windowed program answers on its command line, and the icon its windows carry.

#include <QDir>
#include <QIcon>

#include <cstdio>
#include <cstring>

namespace desktop {

// Answers --version and --help before the program reaches the window system, so that both work
// without a display. Returns true when it printed an answer and the program should end.
inline bool answerCommandLine(int argc, char** argv, const char* program, const char* summary) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", program, KIROTUNE_VERSION);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("usage: %s [--help | --version]\n\n%s\n", program, summary);
            return true;
        }
    }
    return false;
}

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
