#pragma once

#include "documentviewer.h"

class QTextEdit;

// A document received from the server, shown as plain text in a fixed-pitch font whose size (zoomed
// with Ctrl+wheel) carries over to the next text viewer. Markup is shown as written, never laid out:
// nested tables cost layout time that doubles with each level. Save writes the bytes received.
class FileViewer : public DocumentViewer
{
    Q_OBJECT

public:
    // The bytes are read as Latin-1, as classic applications write them.
    FileViewer(const QByteArray &data, QWidget *parent);

    QTextEdit *textEdit() const { return m_text; }

signals:
    void printFile(QString text);

protected:
    void done(int result) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void clickedPrint();
    void clickedSave();

private:
    // The application style sheet sets every widget's font, so the editor's font is set by a style
    // sheet of its own, and zooming (Ctrl+wheel, Ctrl+plus/minus) changes that.
    void setPointSize(qreal size);

    QTextEdit *m_text;
    QByteArray m_data;
    QString m_family;
    qreal m_pointSize = 0;
};
