#include "InfoWindows.h"

#include "ShellState.h"
#include "Twips.h"
#include "Variant.h"

#include <QGroupBox>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>

namespace kiro {

namespace {
QLabel* line(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

void placeInClientArea(QWidget* window) {
    window->move(twips::toPixels(QPoint(kInfoWindowLeftTwips, kInfoWindowTopTwips)));
}
} // namespace

ProductInfoWindow::ProductInfoWindow(const ShellState& state, QWidget* parent) : QWidget(parent) {
    const Variant& variant = state.variant();
    setObjectName(QStringLiteral("Dialog"));
    setWindowTitle(texts::kMakerShortName + QStringLiteral("步进"));

    auto* outer = new QVBoxLayout(this);
    QWidget* holder = this;
    QVBoxLayout* lines = outer;
    if (variant.infoHasOkButton) {
        // QZ318 shows its lines and the OK button together inside one frame.
        auto* frame = new QGroupBox(this);
        frame->setObjectName(QStringLiteral("Frame1"));
        lines = new QVBoxLayout(frame);
        holder = frame;
        outer->addWidget(frame);
    }
    if (!variant.infoThanks.isEmpty())
        lines->addWidget(line(variant.infoThanks, holder));
    lines->addWidget(line(variant.infoModel, holder));
    lines->addWidget(line(variant.infoDate, holder));
    if (variant.infoHasOkButton) {
        auto* ok = new QPushButton(QStringLiteral("OK"), holder);
        ok->setObjectName(QStringLiteral("cmdOK"));
        ok->setDefault(true);
        lines->addWidget(ok, 0, Qt::AlignRight);
        connect(ok, &QPushButton::clicked, this, [this] {
            if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
                frame->close();
            else
                close();
        });
    }
    placeInClientArea(this);
}

ContactWindow::ContactWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Info"));
    setWindowTitle(QStringLiteral("联系我们"));
    const QStringList lines = {texts::kMakerName,
                               QStringLiteral("电话：") + texts::kMakerPhone,
                               QStringLiteral("传真：") + texts::kMakerFax,
                               QStringLiteral("网址：") + texts::kMakerWeb,
                               QStringLiteral("地址：") + texts::kMakerAddress1,
                               texts::kMakerAddress2,
                               QStringLiteral("邮编：") + texts::kMakerPostcode};
    auto* layout = new QVBoxLayout(this);
    for (int index = 0; index < lines.size(); ++index) {
        QLabel* label = line(lines[index], this);
        label->setObjectName(QStringLiteral("Label1_%1").arg(index));
        layout->addWidget(label);
    }
    placeInClientArea(this);
}

} // namespace kiro
