#include "ProbeTexts.h"

#include <array>

namespace regprobe {

const RowMessages& MessagesOfRow(int row) {
    const QString closed = QStringLiteral("COM is closed,open frist!");
    const QString noDrive = QStringLiteral("Please input drive No. !");
    const QString badDrive = QStringLiteral("Illegal drive No.,try again!");
    const QString noAddress = QStringLiteral("Please input address !");
    const QString badAddress = QStringLiteral("Illegal address,try again!");
    const QString badAddressWide = QStringLiteral("Illegal address，try again!");
    static const std::array<RowMessages, 5> rows = {{
        {QStringLiteral("COM is closed ,open frist!"),
         QStringLiteral("Please input drive number !"), noAddress, badDrive, badAddressWide},
        {closed, noDrive, badAddress, badDrive, badAddressWide},
        {closed, noDrive, noAddress, badDrive, badAddress},
        {closed, badDrive, badAddress, badDrive, badAddress},
        {closed, noDrive, noAddress, badDrive, badAddress},
    }};
    return rows.at(std::size_t(row - 1));
}

} // namespace regprobe
