#pragma once

#include "documentviewer.h"

class QTextEdit;

// Text received from the server, in a fixed-pitch font whose size (zoomed with Ctrl+wheel) carries
// over to the next text viewer. Text that looks like markup is shown as rich text, but the document
// never loads a resource it names.
class FileViewer : public DocumentViewer
{
    Q_OBJECT

public:
    FileViewer(const QString &text, QWidget *parent);

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
    QString m_family;
    qreal m_pointSize = 0;
};
