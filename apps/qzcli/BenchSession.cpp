#include "BenchSession.h"

#include <cstdio>

namespace {

const char* const kUsage =
    "usage: qzcli [--trace] --variant x7|qz318 --port COMn COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands (station 1, 38400 baud; numbers are decimal, or hexadecimal with 0x):\n"
    "  read ADDR [COUNT]       read COUNT registers (default 1); one line per register:\n"
    "                          address, unsigned value, signed value\n"
    "  write ADDR VALUE        write VALUE (0..65535) to ADDR\n"
    "  step CURRENT [--kp N[,N...]] [--ki N[,N...]] [--metrics]\n"
    "                          current step test; CSV of the captured response, or with\n"
    "                          --metrics its figures; lists run every pair, Kp outer and\n"
    "                          Ki inner (1000,300 1000,600 2000,300 ...); Ctrl+C stops\n"
    "                          after the running step, ends the test mode, exits with 130\n"
    "  faults [--clear current|history]\n"
    "                          the ten fault words, or clear faults\n"
    "  archive save|restore FILE         (x7) parameter archive file\n"
    "  archive verify FILE               (x7) compare the drive with FILE: CSV of the\n"
    "                                    registers that differ (register,name,file,drive)\n"
    "  archive restore --verify FILE     (x7) restore, then compare as verify does\n"
    "  params save|load FILE.kvx         (qz318) parameter file\n"
    "  params verify FILE.kvx            (qz318) compare, as archive verify\n"
    "  params load --verify FILE.kvx     (qz318) load, then compare as verify does\n"
    "  params reset                      (qz318) factory parameters\n"
    "  commit                  commit the drive's parameters to EEPROM\n"
    "  tune [--current A] [--max-overshoot PCT] [--max-steps N] [--kp N] [--ki N]\n"
    "                          search Kp and Ki with step tests (default: half the peak\n"
    "                          current, 5 %, 40 steps, from the drive's gains); CSV of\n"
    "                          every step, then the best pair is written; Ctrl+C puts\n"
    "                          the drive's gains back and exits with 130\n"
    "\n"
    "Exit codes: 0 done, 1 the drive failed, 2 usage or a file that cannot be used,\n"
    "3 port, 4 the drive differs from the file, 5 tune found no pair within the limits.\n";

} // namespace

BenchSession::BenchSession(const kiro::LinkVariant& variant, const QString& portName, bool trace)
    : variant_(variant), portName_(portName) {
    if (trace)
        tracer_ = std::make_unique<kiro::TracingSerialPort>(port_);
}

BenchSession::~BenchSession() {
    if (port_.isOpen())
        port_.close();
}

QString BenchSession::variantName() const {
    return &variant_ == &kiro::LinkVariant::x7() ? QStringLiteral("x7") : QStringLiteral("qz318");
}

kiro::DriveLink* BenchSession::openLink() {
    if (link_)
        return link_.get();
    // Opened through the trace, so that its clock starts with the port.
    kiro::SerialPort& line = tracer_ ? static_cast<kiro::SerialPort&>(*tracer_) : port_;
    port_.setPortName(portName_);
    port_.setSettings(QStringLiteral("38400,n,8,1"));
    port_.setBinaryInput(true);
    if (!line.open()) {
        std::fprintf(stderr, "qzcli: %s\n", qPrintable(port_.errorString()));
        return nullptr;
    }
    link_ = std::make_unique<kiro::DriveLink>(line, clock_, prompter_, variant_);
    link_->setBaudKilo(38);
    return link_.get();
}

int BenchSession::usage(const QString& complaint) {
    if (!complaint.isEmpty())
        std::fprintf(stderr, "qzcli: %s\n", qPrintable(complaint));
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

void BenchSession::progress(const QString& text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
}

std::optional<int> parseNumber(const QString& text, int lowest, int highest) {
    bool ok = false;
    const int value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                          ? text.mid(2).toInt(&ok, 16)
                          : text.toInt(&ok, 10);
    if (!ok || value < lowest || value > highest)
        return std::nullopt;
    return value;
}
