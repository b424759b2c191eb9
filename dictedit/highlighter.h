#pragma once

#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

// Marks "@@Name" references in a data definition: names of known data sources in one format,
// names nobody defines in another.
class Highlighter : public QSyntaxHighlighter
{
    Q_OBJECT

public:
    explicit Highlighter(QTextDocument *document);

    // Blocks show the new names as they are highlighted again.
    void setKeys(const QStringList &keys);

protected:
    void highlightBlock(const QString &text) override;

private:
    QTextCharFormat m_existingName;
    QTextCharFormat m_missingName;
    QRegularExpression m_reference;
    QSet<QString> m_keys;
};
