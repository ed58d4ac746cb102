// Renders the application icon (resources/icons/movigram.svg) at the sizes
// of the desktop's hicolor theme: OUT/16/movigram.png ... OUT/256/movigram.png.
// Build with `cmake --build build --target movigram-render-icons` and run it
// as `movigram-render-icons resources/icons/movigram.svg resources/icons/hicolor`.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: movigram-render-icons ICON.svg OUTDIR\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "movigram-render-icons: cannot read %s\n", argv[1]);
        return 1;
    }
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
        icon.fill(Qt::transparent);
        QPainter painter(&icon);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        const QString folder = QString::fromLocal8Bit(argv[2]) + QStringLiteral("/%1").arg(size);
        QDir().mkpath(folder);
        if (!icon.save(folder + QStringLiteral("/movigram.png"))) {
            std::fprintf(stderr, "movigram-render-icons: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
