#include "terminalline.h"

#include <algorithm>

namespace {

void appendCodePoint(QString &text, char32_t character)
{
    if (QChar::requiresSurrogates(uint(character))) {
        text += QChar(QChar::highSurrogate(uint(character)));
        text += QChar(QChar::lowSurrogate(uint(character)));
    } else {
        text += QChar(ushort(character));
    }
}

} // namespace

void TerminalLine::clear()
{
    std::vector<TerminalCell>::clear();
    m_clusters.clear();
    lineSize = Size::Single;
    wrapped = false;
}

void TerminalLine::swap(TerminalLine &other)
{
    std::vector<TerminalCell>::swap(other);
    m_clusters.swap(other.m_clusters);
    std::swap(lineSize, other.lineSize);
    std::swap(wrapped, other.wrapped);
}

void TerminalLine::addMark(int column, char32_t mark)
{
    TerminalCell &cell = (*this)[size_t(column)];
    if (cell.character & TerminalCell::ClusterFlag) {
        QString &cluster = m_clusters[cell.character & ~TerminalCell::ClusterFlag];
        if (cluster.size() + 2 <= MaxClusterLength)
            appendCodePoint(cluster, mark);
        return;
    }
    if (int(m_clusters.size()) >= MaxClusters)
        compactClusters();
    if (int(m_clusters.size()) >= MaxClusters)
        return;
    QString cluster;
    appendCodePoint(cluster, cell.character);
    appendCodePoint(cluster, mark);
    m_clusters.push_back(cluster);
    cell.character = TerminalCell::ClusterFlag | char32_t(m_clusters.size() - 1);
}

void TerminalLine::compactClusters()
{
    std::vector<QString> kept;
    for (TerminalCell &cell : *this) {
        if (!(cell.character & TerminalCell::ClusterFlag))
            continue;
        kept.push_back(m_clusters[cell.character & ~TerminalCell::ClusterFlag]);
        cell.character = TerminalCell::ClusterFlag | char32_t(kept.size() - 1);
    }
    m_clusters.swap(kept);
}

void TerminalLine::appendText(QString &text, const TerminalCell &cell) const
{
    if (cell.format.has(TerminalFormat::WideTail))
        return;
    if (cell.character & TerminalCell::ClusterFlag) {
        const size_t index = cell.character & ~TerminalCell::ClusterFlag;
        if (index < m_clusters.size())
            text += m_clusters[index];
        return;
    }
    appendCodePoint(text, cell.character);
}

QString TerminalLine::text() const
{
    QString text;
    text.reserve(int(size()));
    for (const TerminalCell &cell : *this)
        appendText(text, cell);
    return text;
}
