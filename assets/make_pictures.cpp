// Draws the pictures the tuners load from their folder: the background "2.jpg" and the link lamps
// "lamp01.bmp" (idle, green) and "lamp02.bmp" (busy, amber). They are made at build time so that
// the project ships no binary pictures of unknown origin.
//
//     make_pictures <folder>

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QTextStream>

namespace {

QImage background() {
    QImage image(1280, 800, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0.0, QColor(214, 226, 238));
    sky.setColorAt(1.0, QColor(118, 146, 178));
    painter.fillRect(image.rect(), sky);

    // A few quiet arcs, like the path of a rotor.
    painter.setPen(QPen(QColor(255, 255, 255, 60), 3));
    for (int ring = 0; ring < 6; ++ring) {
        const int r = 260 + ring * 90;
        painter.drawEllipse(QPoint(image.width() - 220, image.height() + 80), r, r);
    }

    QFont title(QStringLiteral("DejaVu Sans"), 64, QFont::Bold);
    painter.setFont(title);
    painter.setPen(QColor(255, 255, 255, 170));
    painter.drawText(QRect(80, 220, 1120, 120), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("QZ318"));
    QFont subtitle(QStringLiteral("DejaVu Sans"), 26);
    painter.setFont(subtitle);
    painter.setPen(QColor(255, 255, 255, 150));
    painter.drawText(QRect(84, 340, 1120, 60), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Digital stepper drive  -  Kirotune"));
    return image;
}

QImage lamp(const QColor& light) {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(QColor(212, 208, 200)); // the grey of a status bar
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(6, 6), 8);
    glow.setColorAt(0.0, light.lighter(170));
    glow.setColorAt(1.0, light.darker(130));
    painter.setBrush(glow);
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    return image;
}

bool save(const QImage& image, const QString& folder, const QString& name, const char* format) {
    const QString path = folder + QLatin1Char('/') + name;
    if (image.save(path, format, 90))
        return true;
    QTextStream(stderr) << "make_pictures: cannot write " << path << '\n';
    return false;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv); // fonts need a GUI application, offscreen will do
    if (argc != 2) {
        QTextStream(stderr) << "usage: make_pictures <folder>\n";
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const bool ok = save(background(), folder, QStringLiteral("2.jpg"), "JPG") &&
                    save(lamp(QColor(40, 170, 60)), folder, QStringLiteral("lamp01.bmp"), "BMP") &&
                    save(lamp(QColor(230, 120, 20)), folder, QStringLiteral("lamp02.bmp"), "BMP");
    return ok ? 0 : 1;
}
