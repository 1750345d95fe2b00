#include "ProbeAboutBox.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace regprobe {

ProbeAboutBox::ProbeAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ProbeAboutBox"));
    setWindowTitle(QStringLiteral("关于 RegProbe"));
    auto* layout = new QVBoxLayout(this);
    if (!windowIcon().isNull()) { // the program's icon, set by the program
        auto* picture = new QLabel;
        picture->setPixmap(windowIcon().pixmap(48));
        layout->addWidget(picture, 0, Qt::AlignHCenter);
    }
    layout->addWidget(new QLabel(QStringLiteral("RegProbe Version " KIROTUNE_VERSION)));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

} // namespace regprobe
