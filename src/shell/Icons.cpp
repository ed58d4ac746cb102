#include "Icons.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include "commands/CommandTable.h"

static void initShellResources() { Q_INIT_RESOURCE(shell); }

namespace movigram {

namespace {

QIcon renderSvg(const QString& path) {
    initShellResources();
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) return {};
    QIcon icon;
    for (int size : {16, 20, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(pixmap);
        // A disabled button shows the same drawing in gray, faded.
        QImage gray = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < gray.height(); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(gray.scanLine(y));
            for (int x = 0; x < gray.width(); ++x) {
                const int v = qGray(line[x]);
                line[x] = qRgba(v, v, v, qAlpha(line[x]) * 2 / 5);
            }
        }
        icon.addPixmap(QPixmap::fromImage(gray), QIcon::Disabled);
    }
    return icon;
}

}  // namespace

QIcon iconForCommand(CommandId id) {
    const CommandInfo* info = findCommand(id);
    const char* name = info ? info->icon : nullptr;
    return name ? renderSvg(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name))) : QIcon();
}

QIcon applicationIcon() { return renderSvg(QStringLiteral(":/icons/movigram.svg")); }

QCursor pickCursor() {
    initShellResources();
    QSvgRenderer renderer(QStringLiteral(":/icons/pick-cursor.svg"));
    if (!renderer.isValid()) return QCursor(Qt::CrossCursor);
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(0, 0, 32, 32));
    painter.end();
    return QCursor(pixmap, 2, 29);
}

}  // namespace movigram
