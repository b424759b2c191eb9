#include "httprequesthead.h"

#include <QList>
#include <QUrl>
#include <QUrlQuery>

namespace {

HttpRequestHead refused(int status)
{
    HttpRequestHead head;
    head.result = HttpRequestHead::Result::Refused;
    head.status = status;
    return head;
}

} // namespace

HttpRequestHead HttpRequestHead::parse(const QByteArray &received, int maxHeadSize)
{
    const int end = received.indexOf("\r\n\r\n");
    if (end < 0 || end > maxHeadSize)
        return received.size() > maxHeadSize ? refused(431) : HttpRequestHead();

    const int lineEnd = received.indexOf("\r\n");
    const QList<QByteArray> parts = received.left(lineEnd).split(' ');
    if (parts.size() != 3 || !parts.at(1).startsWith('/'))
        return refused(400);
    if (!parts.at(2).startsWith("HTTP/1."))
        return refused(505);
    if (parts.at(0) != "GET" && parts.at(0) != "HEAD")
        return refused(405);

    HttpRequestHead head;
    head.result = Result::Request;
    head.method = parts.at(0);
    head.target = parts.at(1);
    const QUrl url(QString::fromLatin1(head.target));
    head.path = url.path();
    head.user = QUrlQuery(url).queryItemValue(QStringLiteral("user"), QUrl::FullyDecoded);
    return head;
}
