#include "ProbeAboutBox.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace regprobe {

ProbeAboutBox::ProbeAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ProbeAboutBox"));
    setWindowTitle(QStringLiteral("关于 RegProbe"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("RegProbe Version 1.0")));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

} // namespace regprobe
