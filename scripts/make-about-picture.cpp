// Draws the about box's picture, resources/movigram.pcx: three frames of a
// bouncing ball on a strip of film beside the program's name.  The drawing
// is made in true colour, brought to 256 colours by the program's own
// median-cut quantiser and written as an 8-bit run-length PCX file.  Build
// with `cmake --build build --target movigram-make-about-picture` and run it
// with the output path.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <vector>

#include "import/TrueColorImage.h"

using namespace movigram;

namespace {

constexpr int width = 400, height = 150;

void drawFilm(QPainter& p) {
    const QRectF strip(18, 22, 150, 106);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x23, 0x28, 0x33));
    p.drawRoundedRect(strip, 6, 6);
    // Sprocket holes along both edges.
    p.setBrush(QColor(0xf4, 0xf1, 0xe8));
    for (int i = 0; i < 9; ++i) {
        p.drawRoundedRect(QRectF(strip.left() + 8 + i * 15.5, strip.top() + 5, 8, 7), 1.5, 1.5);
        p.drawRoundedRect(QRectF(strip.left() + 8 + i * 15.5, strip.bottom() - 12, 8, 7), 1.5, 1.5);
    }
    // Three frames of the ball falling, landing squashed, and rising.
    const double ballY[3] = {0.22, 0.78, 0.40};
    const double squash[3] = {1.0, 0.72, 1.0};
    for (int f = 0; f < 3; ++f) {
        const QRectF frame(strip.left() + 8 + f * 46, strip.top() + 18, 42, 70);
        QLinearGradient sky(frame.topLeft(), frame.bottomLeft());
        sky.setColorAt(0, QColor(0x7c, 0xc4, 0xff));
        sky.setColorAt(1, QColor(0xd6, 0xee, 0xff));
        p.setBrush(sky);
        p.drawRect(frame);
        p.setBrush(QColor(0x3d, 0xa8, 0x55));
        p.drawRect(QRectF(frame.left(), frame.bottom() - 10, frame.width(), 10));
        const double r = 9;
        const double h = 2 * r * squash[f];
        const double w = 2 * r * (2 - squash[f]);
        const double cy = frame.top() + 6 + ballY[f] * (frame.height() - 16 - 12) + r;
        const double bottom = std::min(cy + h / 2, frame.bottom() - 10);
        QRadialGradient ball(QPointF(frame.center().x() - 3, bottom - h + 5), r * 1.6);
        ball.setColorAt(0, QColor(0xff, 0xb0, 0x8c));
        ball.setColorAt(1, QColor(0xd8, 0x32, 0x32));
        p.setBrush(ball);
        p.drawEllipse(QRectF(frame.center().x() - w / 2, bottom - h, w, h));
    }
}

void drawName(QPainter& p) {
    QFont title(QStringLiteral("DejaVu Sans"), 30, QFont::Bold);
    title.setPixelSize(38);
    p.setFont(title);
    p.setPen(QColor(0x17, 0x45, 0x7f));
    p.drawText(QRectF(184, 30, 210, 50), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Movigram"));
    QFont sub(QStringLiteral("DejaVu Sans"), 12);
    sub.setPixelSize(17);
    p.setFont(sub);
    p.setPen(QColor(0x44, 0x4a, 0x55));
    p.drawText(QRectF(186, 80, 210, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("GIF Animator"));
    p.setPen(QPen(QColor(0xe8, 0x54, 0x54), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(188, 110), QPointF(320, 110));
}

QImage drawPicture() {
    QImage picture(width, height, QImage::Format_RGB32);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient back(0, 0, 0, height);
    back.setColorAt(0, QColor(0xff, 0xff, 0xff));
    back.setColorAt(1, QColor(0xe4, 0xec, 0xf7));
    p.fillRect(picture.rect(), back);
    drawFilm(p);
    drawName(p);
    return picture;
}

void putLe16(std::vector<uint8_t>& out, size_t at, unsigned v) {
    out[at] = uint8_t(v & 0xFF);
    out[at + 1] = uint8_t(v >> 8);
}

// Version 5 PCX: one 8-bit plane, run-length coded by rows, the 256-colour
// palette after a 0x0C marker at the end.
std::vector<uint8_t> encodePcx(const TDib256& image) {
    const int w = image.width(), h = image.height();
    const int bytesPerLine = (w + 1) / 2 * 2;
    std::vector<uint8_t> out(128, 0);
    out[0] = 10;  // manufacturer
    out[1] = 5;   // version
    out[2] = 1;   // run-length coding
    out[3] = 8;   // bits per pixel and plane
    putLe16(out, 8, unsigned(w - 1));
    putLe16(out, 10, unsigned(h - 1));
    putLe16(out, 12, 72);
    putLe16(out, 14, 72);
    out[65] = 1;  // planes
    putLe16(out, 66, unsigned(bytesPerLine));
    putLe16(out, 68, 1);  // colour palette
    std::vector<uint8_t> line(size_t(bytesPerLine), 0);
    for (int y = 0; y < h; ++y) {
        std::copy_n(image.row(y), w, line.begin());
        for (size_t x = 0; x < line.size();) {
            size_t run = 1;
            while (x + run < line.size() && run < 63 && line[x + run] == line[x]) ++run;
            if (run > 1 || line[x] >= 0xC0) out.push_back(uint8_t(0xC0 | run));
            out.push_back(line[x]);
            x += run;
        }
    }
    out.push_back(0x0C);
    for (const RgbQuad& c : image.colors()) {
        out.push_back(c.red);
        out.push_back(c.green);
        out.push_back(c.blue);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: movigram-make-about-picture OUT.pcx\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QImage picture = drawPicture();

    auto deep = TrueColorImage::create(width, height, 24, DecodeLimits::defaults());
    if (!deep) return 1;
    for (int y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        uint8_t* out = deep->row(y);
        for (int x = 0; x < width; ++x) {
            out[3 * x] = uint8_t(qBlue(in[x]));
            out[3 * x + 1] = uint8_t(qGreen(in[x]));
            out[3 * x + 2] = uint8_t(qRed(in[x]));
        }
    }
    const std::unique_ptr<TDib256> image = reduceTo256(*deep);
    if (!image) {
        std::fprintf(stderr, "movigram-make-about-picture: colour reduction failed\n");
        return 1;
    }
    const std::vector<uint8_t> pcx = encodePcx(*image);
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file || std::fwrite(pcx.data(), 1, pcx.size(), file) != pcx.size() || std::fclose(file) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
