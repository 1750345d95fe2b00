#pragma once

#include "ProbeSerialPort.h"

#include <QDialog>
#include <array>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace regprobe {

class ProbePrompter;

// The whole user interface of RegProbe: a port chooser and five rows that each read or write one
// register of any station and show the reply in hexadecimal, decimal and binary.
class ProbeDialog : public QDialog {
    Q_OBJECT

public:
    explicit ProbeDialog(ProbePrompter* prompter, QWidget* parent = nullptr);
    ~ProbeDialog() override;

    ProbeSerialPort& engine() { return engine_; }
    QAction* aboutAction() const { return aboutAction_; }

    void done(int result) override;

protected:
#ifdef Q_OS_WIN
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

private:
    struct Row {
        QLineEdit* station = nullptr;
        QRadioButton* read = nullptr;
        QLineEdit* readCount = nullptr;
        QRadioButton* write = nullptr;
        QLineEdit* writeValue = nullptr;
        QLineEdit* address = nullptr;
        QLineEdit* hex = nullptr;
        QLineEdit* dec = nullptr;
        QLineEdit* bin = nullptr;
    };

    QWidget* buildCommunicationGroup();
    QWidget* buildRow(int number);
    void addAboutEntry();
    void showAbout();
    void copyComboToEngine(QComboBox* box);
    void toggleOpen();
    void sendRequest(int row);
    bool refuse(const QString& text);
    void showReply(const QString& replyText);

    ProbePrompter* prompter_;
    ProbeSerialPort engine_;
    QMetaObject::Connection focusWatch_;

    QComboBox* portCombo_ = nullptr;
    QComboBox* baudCombo_ = nullptr;
    QComboBox* dataBitsCombo_ = nullptr;
    QComboBox* stopBitsCombo_ = nullptr;
    QComboBox* parityCombo_ = nullptr;
    QPushButton* openButton_ = nullptr;
    QLabel* stateLabel_ = nullptr;
    QAction* aboutAction_ = nullptr;
    std::array<Row, 5> rows_;

    int ActiveRow = 0;
    QString ActiveFunction = QStringLiteral("03");
};

} // namespace regprobe
