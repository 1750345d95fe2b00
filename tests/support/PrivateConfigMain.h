#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The main() of a test that publishes ports in the port map: the configuration folder is a
// temporary one for the whole run, so that nothing lands in the user's own.
#define KIRO_TEST_MAIN_WITH_PRIVATE_CONFIG(TestClass)                                              \
    int main(int argc, char* argv[]) {                                                             \
        QTemporaryDir config;                                                                      \
        if (!config.isValid())                                                                     \
            return 1;                                                                              \
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));                              \
        QCoreApplication app(argc, argv);                                                          \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
