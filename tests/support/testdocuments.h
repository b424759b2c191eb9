#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

// Documents for viewer tests, made in memory: a PDF of some pages with an optional Title, and a PNG.
namespace TestDocuments {

QByteArray pdf(int pages, const QString &title = QString());
QByteArray png(const QSize &size, Qt::GlobalColor color = Qt::darkCyan);

} // namespace TestDocuments
