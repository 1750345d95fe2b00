#pragma once

#include "ConsolePrompter.h"

#include "link/DriveLink.h"
#include "link/EventPumpClock.h"
#include "link/LinkVariant.h"
#include "link/QtSerialPort.h"
#include "link/TracingSerialPort.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// Exit codes of every qzcli command, as scripts rely on them.
enum ExitCode {
    kExitDone = 0,
    kExitDriveFailed = 1,
    kExitUsage = 2,
    kExitPort = 3,
    kExitDiffers = 4,   // the drive holds something other than the file it was compared with
    kExitNoPairMet = 5, // tune: no pair met the limits; the drive keeps its gains
    // What a shell reports for a program ended by Ctrl+C: a gain sweep that left pairs out.
    kExitInterrupted = 130,
};

// What a command works with: the options shared by all commands, and the drive link, opened on
// first use so that a command can refuse its arguments before it touches the port.
class BenchSession {
public:
    BenchSession(const kiro::LinkVariant& variant, const QString& portName, bool trace);
    ~BenchSession();

    const kiro::LinkVariant& variant() const { return variant_; }
    // "x7" or "qz318", as given on the command line.
    QString variantName() const;

    // Opens the port at 38400 baud and returns the link; on failure says why on standard error
    // and returns null (the command then exits with kExitPort).
    kiro::DriveLink* openLink();
    ConsolePrompter& prompter() { return prompter_; }

    // Prints the complaint and the usage text; returns kExitUsage.
    static int usage(const QString& complaint = {});
    // Progress of long commands, on standard error.
    static void progress(const QString& text);

private:
    const kiro::LinkVariant& variant_;
    QString portName_;
    kiro::QtSerialPort port_;
    std::unique_ptr<kiro::TracingSerialPort> tracer_;
    kiro::EventPumpClock clock_;
    ConsolePrompter prompter_;
    std::unique_ptr<kiro::DriveLink> link_;
};

// A decimal number, or hexadecimal with 0x, within [lowest, highest].
std::optional<int> parseNumber(const QString& text, int lowest, int highest);
