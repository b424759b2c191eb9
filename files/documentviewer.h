#pragma once

#include <QDialog>

class QHBoxLayout;
class QPushButton;
class QVBoxLayout;

// What the three document viewers share: a free window with a row of actions above the document,
// "Save" first; one stored geometry for all of them; and saving to a local file.
class DocumentViewer : public QDialog
{
    Q_OBJECT

protected:
    DocumentViewer(const QString &objectName, const QSize &size, QWidget *parent);

    // A flat action button placed before the row's spacer.
    QPushButton *addActionButton(const QString &name, const QString &text);
    QPushButton *saveButton() const { return m_save; }
    QHBoxLayout *actionsLayout() const { return m_actionsLayout; }
    QVBoxLayout *mainLayout() const { return m_mainLayout; }

    // Asks for a file (proposing `proposedName` in the download location) and writes `bytes` to it.
    void saveToLocalFile(const QString &proposedName, const QByteArray &bytes);

    // Closing, Escape and every other way out come here: the geometry is kept for the next viewer.
    void done(int result) override;

private:
    QVBoxLayout *m_mainLayout;
    QHBoxLayout *m_actionsLayout;
    QPushButton *m_save;
};
