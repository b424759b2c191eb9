#pragma once

#include "documentviewer.h"

#include <QByteArray>

class QLabel;

// A picture at its own size in a scrolling area. Saving writes the bytes as they were received.
class ImageFileViewer : public DocumentViewer
{
    Q_OBJECT

public:
    // `pixmap` is `data` already decoded by the caller.
    ImageFileViewer(const QString &name, const QByteArray &data, const QPixmap &pixmap, QWidget *parent);

    QLabel *imageLabel() const { return m_image; }

private slots:
    void clickedSave();

private:
    QLabel *m_image;
    QString m_name;
    QByteArray m_data;
};
