#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

// Stands in for the desktop's handler of a URL scheme (QDesktopServices::setUrlHandler) and keeps
// what it was asked to open.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened << url; }
};
