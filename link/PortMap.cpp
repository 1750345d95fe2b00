#include "PortMap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace kiro {

QString PortMap::folder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Kirotune/dosdevices");
}

QString PortMap::portName(int number) {
    return QStringLiteral("COM%1").arg(number);
}

QString PortMap::devicePath(const QString& portName) {
#ifdef Q_OS_WIN
    return portName;
#else
    const QFileInfo link(folder() + QLatin1Char('/') + portName);
    if (link.isSymLink())
        return link.symLinkTarget();
    static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]*)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto match = comName.match(portName);
    if (match.hasMatch())
        return QStringLiteral("/dev/ttyS%1").arg(match.captured(1).toInt() - 1);
    return portName;
#endif
}

bool PortMap::publish(const QString& portName, const QString& target, QString* error) {
    if (!QDir().mkpath(folder())) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(folder());
        return false;
    }
    const QString linkPath = folder() + QLatin1Char('/') + portName;
    const QFileInfo existing(linkPath);
    if ((existing.exists() || existing.isSymLink()) && !QFile::remove(linkPath)) {
        if (error)
            *error = QStringLiteral("cannot replace %1").arg(linkPath);
        return false;
    }
    if (!QFile::link(target, linkPath)) {
        if (error)
            *error = QStringLiteral("cannot link %1 to %2").arg(linkPath, target);
        return false;
    }
    return true;
}

void PortMap::withdraw(const QString& portName, const QString& target) {
    const QString linkPath = folder() + QLatin1Char('/') + portName;
    const QFileInfo link(linkPath);
    if (link.isSymLink() && link.symLinkTarget() == QFileInfo(target).absoluteFilePath())
        QFile::remove(linkPath);
}

} // namespace kiro
