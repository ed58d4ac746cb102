#include "TQCXButton.h"

#include <QPainter>

#include "commands/ProgramDocuments.h"
#include "import/PcxImage.h"

namespace movigram {

namespace {

QImage toQImage(const DecodedImage& decoded) {
    if (decoded.indexed) {
        const TDib256& image = *decoded.indexed;
        QImage out(image.width(), image.height(), QImage::Format_Indexed8);
        QList<QRgb> colors;
        for (const RgbQuad& c : image.colors()) colors.append(qRgb(c.red, c.green, c.blue));
        out.setColorTable(colors);
        for (int y = 0; y < image.height(); ++y) std::copy_n(image.row(y), image.width(), out.scanLine(y));
        return out;
    }
    const TrueColorImage& image = *decoded.trueColor;
    QImage out(image.width(), image.height(), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const Rgb8 c = image.rgbAt(x, y);
            line[x] = qRgb(c.red, c.green, c.blue);
        }
    }
    return out;
}

}  // namespace

TQCXButton::TQCXButton(QWidget* parent) : QPushButton(parent) { setObjectName(QStringLiteral("picture")); }

bool TQCXButton::loadPicture(const QString& path) {
    picture_ = QImage();
    PCXImage reader;
    if (reader.read(path.toStdString())) {
        const DecodedImage decoded = reader.takeImage();
        if (decoded) picture_ = toQImage(decoded);
    }
    updateGeometry();
    update();
    return !picture_.isNull();
}

QSize TQCXButton::sizeHint() const { return picture_.isNull() ? QSize(200, 120) : picture_.size() + QSize(8, 8); }

void TQCXButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect face = rect().adjusted(2, 2, -2, -2);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    if (!picture_.isNull()) {
        const TRect r = picturePlace({picture_.width(), picture_.height()}, {face.width(), face.height()});
        const QRect target(face.left() + r.left, face.top() + r.top, r.width(), r.height());
        painter.setRenderHint(QPainter::SmoothPixmapTransform, target.size() != picture_.size());
        painter.drawImage(target, picture_);
    }
    if (hasFocus()) {
        QPen pen(palette().color(QPalette::Highlight), 1, Qt::DotLine);
        painter.setPen(pen);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

}  // namespace movigram
