#include "idpicture.h"

#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>

#include <iterator>

namespace {

const QColor Backgrounds[] = { QColor(176, 196, 222), QColor(190, 214, 206), QColor(222, 210, 190),
                               QColor(206, 196, 224), QColor(200, 206, 212) };
const QColor SkinTones[] = { QColor(255, 224, 196), QColor(241, 194, 155), QColor(224, 172, 128),
                             QColor(198, 134, 90),  QColor(141, 85, 54),   QColor(96, 60, 38) };
const QColor HairColours[] = { QColor(30, 26, 24),  QColor(74, 50, 32),    QColor(120, 80, 46),
                               QColor(165, 84, 42), QColor(214, 180, 112), QColor(168, 168, 168) };
const QColor Clothes[] = { QColor(46, 64, 104), QColor(90, 40, 50),   QColor(50, 90, 70),
                           QColor(70, 70, 78),  QColor(150, 110, 60), QColor(40, 110, 140) };

enum class Hair { Short, Long, Bun, Cropped };

template<class T, std::size_t N>
const T &pick(QRandomGenerator &random, const T (&values)[N])
{
    return values[random.bounded(int(N))];
}

void drawHairBehind(QPainter &p, Hair hair, const QRectF &head)
{
    if (hair != Hair::Long)
        return;
    QPainterPath path;
    path.moveTo(head.left() - 6, head.center().y());
    path.cubicTo(head.left() - 10, head.top() - 8, head.right() + 10, head.top() - 8, head.right() + 6,
                 head.center().y());
    path.lineTo(head.right() + 10, head.bottom() + 30);
    path.lineTo(head.left() - 10, head.bottom() + 30);
    path.closeSubpath();
    p.drawPath(path);
}

void drawHairOnTop(QPainter &p, Hair hair, const QRectF &head)
{
    QPainterPath cap;
    const qreal crown = hair == Hair::Cropped ? 0.30 : 0.42;
    cap.moveTo(head.left() - 2, head.top() + head.height() * crown);
    cap.cubicTo(head.left() - 4, head.top() - 10, head.right() + 4, head.top() - 10, head.right() + 2,
                head.top() + head.height() * crown);
    cap.quadTo(head.center().x() + 8, head.top() + head.height() * 0.18, head.left() - 2,
               head.top() + head.height() * crown);
    p.drawPath(cap);
    if (hair == Hair::Bun)
        p.drawEllipse(QPointF(head.center().x(), head.top() - 6), 14, 11);
}

} // namespace

QByteArray IdPicture::portrait(quint32 seed)
{
    QRandomGenerator random(seed);
    const QColor background = pick(random, Backgrounds);
    const QColor skin = pick(random, SkinTones);
    const QColor hairColour = pick(random, HairColours);
    const QColor clothes = pick(random, Clothes);
    const auto hair = Hair(random.bounded(4));

    QImage image(Width, Height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, 0, Height);
    gradient.setColorAt(0, background.lighter(112));
    gradient.setColorAt(1, background.darker(118));
    p.fillRect(image.rect(), gradient);
    p.setPen(Qt::NoPen);

    const QRectF head(Width / 2.0 - 31, 40, 62, 78);
    p.setBrush(hairColour);
    drawHairBehind(p, hair, head);

    // Shoulders, collar and neck.
    p.setBrush(clothes);
    p.drawEllipse(QRectF(Width / 2.0 - 78, 142, 156, 120));
    p.setBrush(skin.darker(112));
    p.drawRect(QRectF(Width / 2.0 - 13, 106, 26, 44));
    QPainterPath collar;
    collar.moveTo(Width / 2.0 - 20, 144);
    collar.lineTo(Width / 2.0, 170);
    collar.lineTo(Width / 2.0 + 20, 144);
    collar.closeSubpath();
    p.setBrush(skin.darker(112));
    p.drawPath(collar);

    // Head with ears, then the face.
    p.setBrush(skin);
    p.drawEllipse(QRectF(head.left() - 6, head.center().y() - 8, 12, 20));
    p.drawEllipse(QRectF(head.right() - 6, head.center().y() - 8, 12, 20));
    p.drawEllipse(head);
    p.setBrush(hairColour);
    drawHairOnTop(p, hair, head);

    const qreal eyeY = head.top() + head.height() * 0.50;
    p.setBrush(QColor(40, 34, 30));
    p.drawEllipse(QPointF(head.center().x() - 12, eyeY), 3.2, 3.6);
    p.drawEllipse(QPointF(head.center().x() + 12, eyeY), 3.2, 3.6);
    QPen line(skin.darker(150), 2.0, Qt::SolidLine, Qt::RoundCap);
    p.setPen(line);
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(head.center().x(), eyeY + 6), QPointF(head.center().x() - 3, eyeY + 16));
    p.drawArc(QRectF(head.center().x() - 11, eyeY + 14, 22, 12), 200 * 16, 140 * 16);
    p.setPen(QPen(hairColour.darker(110), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(head.center().x() - 18, eyeY - 8), QPointF(head.center().x() - 7, eyeY - 9));
    p.drawLine(QPointF(head.center().x() + 7, eyeY - 9), QPointF(head.center().x() + 18, eyeY - 8));
    p.end();

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}
