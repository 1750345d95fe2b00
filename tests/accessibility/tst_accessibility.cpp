// Every input of every tool window can be found by a screen reader: an entry, slider, list or
// combo box carries the text of the label beside it (as the label's buddy) or an accessible name
// of its own; buttons and check boxes speak their caption.

#include "currentloop/CurrentLoopWindowInstall.h"
#include "faults/FaultWindowInstall.h"
#include "params/ParameterWindowInstall.h"
#include "storage/StorageWindowInstall.h"
#include "tests/support/TunerOnVirtualClock.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QTest>

namespace {

void installAll(kiro::MainWindow& window) {
    kiro::installParameterWindow(window);
    kiro::installCurrentLoopWindow(window);
    kiro::installFaultWindow(window);
    kiro::installStorageWindow(window);
}

// The inputs of the window that no screen reader could name.
QStringList unnamedInputs(const QWidget& form) {
    QSet<const QWidget*> labelled;
    for (const QLabel* label : form.findChildren<QLabel*>())
        if (label->buddy() && !label->text().trimmed().isEmpty())
            labelled.insert(label->buddy());
    QStringList unnamed;
    for (QWidget* input : form.findChildren<QWidget*>()) {
        const bool needsName =
            qobject_cast<QLineEdit*>(input) || qobject_cast<QAbstractSlider*>(input) ||
            qobject_cast<QComboBox*>(input) || qobject_cast<QAbstractItemView*>(input);
        // Scroll bars, headers and the line edit of a combo box speak through their owner.
        if (!needsName || !input->isVisibleTo(&form) || qobject_cast<QScrollBar*>(input) ||
            qobject_cast<QHeaderView*>(input) || qobject_cast<QComboBox*>(input->parentWidget()))
            continue;
        if (!labelled.contains(input) && input->accessibleName().trimmed().isEmpty())
            unnamed << input->objectName() + QLatin1Char('(') + input->metaObject()->className() +
                           QLatin1Char(')');
    }
    for (QAbstractButton* button : form.findChildren<QAbstractButton*>())
        if (button->isVisibleTo(&form) && button->text().trimmed().isEmpty() &&
            button->accessibleName().trimmed().isEmpty() &&
            !qobject_cast<QMdiSubWindow*>(button->parentWidget()))
            unnamed << button->objectName() + QStringLiteral("(button)");
    return unnamed;
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void everyInputHasAName_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("form");
        QTest::newRow("parameter settings") << "P_test"
                                            << "Form3";
        QTest::newRow("current loop") << "I_test"
                                      << "Form1";
        QTest::newRow("fault query") << "ErrCheck"
                                     << "Form4";
        QTest::newRow("parameter storage")
            << QString(KIROTUNE_STORAGE_COMMAND) << QString(KIROTUNE_STORAGE_FORM);
    }
    void everyInputHasAName() {
        QFETCH(QString, command);
        QFETCH(QString, form);
        kiro::test::TunerOnVirtualClock tuner(QStringLiteral(KIROTUNE_VARIANT), installAll,
                                              QSize(1200, 900));
        tuner.window->findChild<QAction*>(command)->trigger();
        const QWidget* window = tuner.window->findChild<QWidget*>(form);
        QVERIFY2(window, qPrintable(tuner.prompts.texts().join(QLatin1Char('|'))));
        const QStringList unnamed = unnamedInputs(*window);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
    }
};

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
