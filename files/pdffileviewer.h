#pragma once

#include "documentviewer.h"

#include <QByteArray>

class PageSelector;
class QPdfDocument;
class QPdfView;
class ZoomSelector;

// A PDF document in one scrolling column of pages, with zoom and page tools. The window title is
// the document's Title metadata followed by the file name, or the file name alone.
class PdfFileViewer : public DocumentViewer
{
    Q_OBJECT

public:
    PdfFileViewer(const QString &name, const QByteArray &data, QWidget *parent);
    ~PdfFileViewer() override;

    QPdfDocument *document() const { return m_document; }
    ZoomSelector *zoomSelector() const { return m_zoomSelector; }
    QPdfView *view() const { return m_view; }

private slots:
    void clickedSave();

private:
    void updateTitle();

    ZoomSelector *m_zoomSelector;
    PageSelector *m_pageSelector;
    QPdfDocument *m_document;
    QPdfView *m_view;
    QString m_name;
    QByteArray m_data;
};
