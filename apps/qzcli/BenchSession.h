#pragma once

#include "BenchClock.h"
#include "ConsolePrompter.h"
#include "ExitCodes.h"

#include "link/DriveLink.h"
#include "link/LinkVariant.h"
#include "link/QtSerialPort.h"
#include "link/TracingSerialPort.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// What a command works with: the options shared by all commands, and the drive link, opened on
// first use so that a command can refuse its arguments before it touches the port.
class BenchSession {
public:
    // replyMarginMs: extra milliseconds on every wait of the link (0: the tuners' timing).
    BenchSession(const kiro::LinkVariant& variant, const QString& portName, bool trace,
                 int replyMarginMs = 0);
    ~BenchSession();

    const kiro::LinkVariant& variant() const { return variant_; }
    // "x7" or "qz318", as given on the command line.
    QString variantName() const;

    // Opens the port at 38400 baud and returns the link; on failure says why on standard error
    // and returns null (the command then exits with kExitPort).
    kiro::DriveLink* openLink();
    ConsolePrompter& prompter() { return prompter_; }
    BenchClock& clock() { return clock_; }

    // Prints the complaint and the usage text; returns kExitUsage.
    static int usage(const QString& complaint = {});
    // Progress of long commands, on standard error.
    static void progress(const QString& text);

private:
    const kiro::LinkVariant& variant_;
    QString portName_;
    kiro::QtSerialPort port_;
    std::unique_ptr<kiro::TracingSerialPort> tracer_;
    BenchClock clock_;
    ConsolePrompter prompter_;
    std::unique_ptr<kiro::DriveLink> link_;
};

// A decimal number, or hexadecimal with 0x, within [lowest, highest].
std::optional<int> parseNumber(const QString& text, int lowest, int highest);
