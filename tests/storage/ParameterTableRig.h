#pragma once

#include "link/DriveLink.h"
#include "link/LinkVariant.h"
#include "sim/DriveModel.h"
#include "sim/SimulatedSerialPort.h"
#include "storage/ParameterSet.h"
#include "tests/support/PromptRecorder.h"
#include "tests/support/VirtualClock.h"

#include <QByteArray>
#include <QSet>
#include <QStringEncoder>
#include <QStringList>

namespace kiro::test {

// A QZ318 drive on the link with the port open at 38400 baud, on a virtual clock so that long
// sequences and silent drives cost no real time.
struct ParameterTableRig {
    ParameterTableRig() {
        port.open();
        link.setBaudKilo(38);
        clock.onEvents = [this] { armSilence(); };
    }

    // Requests (counted from 1 over the rig's life) that the drive leaves unanswered.
    void silence(const QList<int>& requests) {
        silentRequests_ = QSet<int>(requests.begin(), requests.end());
        armSilence();
    }

    // Function-6 requests the drive received, as (register, value).
    QList<QPair<int, int>> writes() const {
        QList<QPair<int, int>> seen;
        for (const QByteArray& frame : drive.requests())
            if (quint8(frame[1]) == 6)
                seen.append({word(frame, 2), word(frame, 4)});
        return seen;
    }
    // Registers of the function-3 requests the drive received.
    QList<int> reads() const {
        QList<int> seen;
        for (const QByteArray& frame : drive.requests())
            if (quint8(frame[1]) == 3)
                seen.append(word(frame, 2));
        return seen;
    }

    VirtualClock clock;
    sim::DriveModel drive{ReplyLayout::NarrowByteCount};
    sim::SimulatedSerialPort port{drive, clock};
    PromptRecorder prompts;
    DriveLink link{port, clock, prompts, LinkVariant::qz318()};

private:
    QSet<int> silentRequests_;

    static int word(const QByteArray& frame, int at) {
        return quint8(frame[at]) << 8 | quint8(frame[at + 1]);
    }
    // The next request is answered or not, decided while the link waits before sending it.
    void armSilence() {
        const int next = int(drive.requests().size()) + 1;
        drive.injectFault(
            {silentRequests_.contains(next) ? sim::Misbehaviour::Silent : sim::Misbehaviour::None,
             0, -1});
    }
};

// Parameter file bytes in code page 936, each line followed by lineEnd.
inline QByteArray kvxBytes(const QStringList& lines, const QByteArray& lineEnd = "\r\n") {
    QStringEncoder gbk("GBK");
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += gbk.encode(line) + lineEnd;
    return bytes;
}

// The 15 lines of a file holding the built-in names with the given values (as file text).
inline QStringList kvxLines(const QStringList& values) {
    const kiro::ParameterNames& names = kiro::BuiltInParamNames();
    QStringList lines;
    for (int i = 0; i < int(names.size()) && i < values.size(); ++i)
        lines << names[size_t(i)] + QLatin1Char('=') + values[i];
    return lines;
}

inline QStringList sampleValues() {
    return {" 1200 ", " 300 ", " 1.25 ", " 16 ",   " 2600 ", " 800 ",  " 1800 ", " 640 ",
            " 64 ",   " 128 ", " 50 ",   " 1000 ", " 1 ",    " 1500 ", " 6 "};
}

} // namespace kiro::test
