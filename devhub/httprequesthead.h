#pragma once

#include <QByteArray>
#include <QString>

// The head of one HTTP/1.x GET or HEAD request, read from the bytes a connection has received so
// far; no socket involved, so that any bytes can be tried on it.
struct HttpRequestHead
{
    enum class Result {
        Incomplete, // no blank line yet, and still within the size limit
        Request, // a well-formed GET or HEAD head
        Refused, // answer with status and close
    };

    Result result = Result::Incomplete;
    int status = 0; // when refused: 400, 405, 431 or 505
    QByteArray method; // "GET" or "HEAD"
    QByteArray target; // the request target as sent
    QString path; // the target's path
    QString user; // the target's decoded "user" query item

    static HttpRequestHead parse(const QByteArray &received, int maxHeadSize);
};
