#include "app/gui/Icons.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace tambrel {

QIcon ToolIcon(const QString& name)
{
    // Drawn from the bundled SVG at the sizes a tool bar asks for, without an icon plugin.
    QSvgRenderer renderer(QStringLiteral(":/icons/%1.svg").arg(name));
    QIcon icon;
    if (!renderer.isValid()) {
        return icon;
    }
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace tambrel
