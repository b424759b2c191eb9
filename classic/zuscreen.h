#pragma once

#include <QRect>
#include <QStringList>
#include <QWidget>

// Root of every screen document. Its extents place the screen in the page's character grid; the
// grid items of its "visible_widgets" child are the screen's contents.
class ZuScreen : public QWidget
{
    Q_OBJECT

    Q_PROPERTY(QString breaks READ breaks WRITE setBreaks)
    Q_PROPERTY(QString propHelpUrl READ propHelpUrl WRITE setPropHelpUrl)
    Q_PROPERTY(QString propInstructions MEMBER m_propInstructions)
    Q_PROPERTY(QStringList propTables MEMBER m_propTables)
    Q_PROPERTY(QRect extents READ extents WRITE setExtents)

public:
    static constexpr int NoScreenId = -1;

    explicit ZuScreen(QWidget *parent = nullptr);

    QString breaks() const { return m_breaks; }
    void setBreaks(const QString &breaks) { m_breaks = breaks; }
    QString propHelpUrl() const { return m_propHelpUrl; }
    void setPropHelpUrl(const QString &url) { m_propHelpUrl = url; }
    QRect extents() const { return m_extents; }
    void setExtents(const QRect &extents) { m_extents = extents; }

    int screenId() const { return m_screenId; }
    void setScreenId(int id) { m_screenId = id; }

private:
    QString m_breaks;
    QString m_propHelpUrl;
    QString m_propInstructions;
    QStringList m_propTables;
    QRect m_extents;
    int m_screenId = NoScreenId;
};

// The child named "visible_widgets" (searched recursively); a screen without one gets an empty one,
// without a layout.
QWidget *visibleWidgets(QWidget *screen);
