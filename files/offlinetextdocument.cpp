#include "offlinetextdocument.h"

#include <QAbstractTextDocumentLayout>
#include <QDebug>
#include <QPainter>
#include <QTextObjectInterface>
#include <QUrl>

namespace {

// Qt's own image handler reads a picture the document could not provide straight from a local
// file; this one draws an empty frame instead.
class RefusedImageHandler : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    static constexpr int Side = 16;

    using QObject::QObject;

    QSizeF intrinsicSize(QTextDocument *, int, const QTextFormat &) override { return QSizeF(Side, Side); }

    void drawObject(QPainter *painter, const QRectF &rect, QTextDocument *, int, const QTextFormat &) override
    {
        painter->save();
        painter->setPen(Qt::gray);
        painter->drawRect(rect.adjusted(0.5, 0.5, -0.5, -0.5));
        painter->restore();
    }
};

} // namespace

OfflineTextDocument::OfflineTextDocument(QObject *parent)
    : QTextDocument(parent)
{
    documentLayout()->registerHandler(QTextFormat::ImageObject, new RefusedImageHandler(this));
}

QVariant OfflineTextDocument::loadResource(int type, const QUrl &name)
{
    qDebug() << "Document resource not loaded:" << type << name.toString().left(200);
    return QVariant();
}

#include "offlinetextdocument.moc"
