#include "ProbePortName.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace regprobe {

QString ProbeDevicePath(const QString& portName) {
#ifdef Q_OS_WIN
    return portName;
#else
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           QStringLiteral("/Kirotune/dosdevices");
    const QFileInfo link(folder + QLatin1Char('/') + portName);
    if (!portName.isEmpty() && !portName.contains(QLatin1Char('/')) && link.isSymLink())
        return link.symLinkTarget();
    static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]{0,2})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto match = comName.match(portName);
    if (match.hasMatch())
        return QStringLiteral("/dev/ttyS%1").arg(match.captured(1).toInt() - 1);
    return portName;
#endif
}

} // namespace regprobe
