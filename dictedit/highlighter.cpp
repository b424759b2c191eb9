#include "highlighter.h"

namespace {

constexpr int MarkerLength = 2; // "@@"

} // namespace

Highlighter::Highlighter(QTextDocument *document)
    : QSyntaxHighlighter(document)
    , m_reference(QStringLiteral("@@[A-Za-z]+"))
{
    m_existingName.setForeground(Qt::darkBlue);
    m_existingName.setBackground(Qt::cyan);
    m_existingName.setFontWeight(QFont::Bold);
    m_missingName.setForeground(Qt::darkRed);
    m_missingName.setFontWeight(QFont::Bold);
}

void Highlighter::setKeys(const QStringList &keys)
{
    m_keys = QSet<QString>(keys.begin(), keys.end());
}

void Highlighter::highlightBlock(const QString &text)
{
    QRegularExpressionMatchIterator matches = m_reference.globalMatch(text);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const bool known = m_keys.contains(match.captured().mid(MarkerLength));
        setFormat(match.capturedStart(), match.capturedLength(), known ? m_existingName : m_missingName);
    }
}
