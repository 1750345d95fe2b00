#pragma once

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The main() of a window test whose windows keep settings or files of their own (the current-loop
// window's step history): the configuration and data folders are temporary ones for the whole
// run, so that nothing lands in the user's own.
#define KIRO_WINDOW_TEST_MAIN_WITH_PRIVATE_FOLDERS(TestClass)                                      \
    int main(int argc, char* argv[]) {                                                             \
        QTemporaryDir config;                                                                      \
        QTemporaryDir data;                                                                        \
        if (!config.isValid() || !data.isValid())                                                  \
            return 1;                                                                              \
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));                              \
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));                                  \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true); /* as QTEST_MAIN has it */                        \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
