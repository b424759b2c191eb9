#include "testdocuments.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>

namespace TestDocuments {

QByteArray pdf(int pages, const QString &title)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    if (!title.isEmpty())
        writer.setTitle(title);
    QPainter painter(&writer);
    for (int page = 1; page <= pages; ++page) {
        if (page > 1)
            writer.newPage();
        painter.drawText(QPointF(100, 100), QStringLiteral("Page %1").arg(page));
    }
    painter.end();
    return buffer.data();
}

QByteArray png(const QSize &size, Qt::GlobalColor color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

} // namespace TestDocuments
