#pragma once

#include "screendocumentlimits.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QVector>
#include <QXmlStreamReader>

#include <memory>

class QGridLayout;
class QObject;
class QSize;
class QWidget;

// Builds a screen document in one reading: the limits are checked and the widgets made as the
// elements arrive, with no document tree in between. It knows what screens are made of (the
// screen classes, labels, lines, plain widgets, one grid per widget, spacers, plain property
// values) and builds the trees QUiLoader builds from them; for anything else it answers
// Unsupported, and the caller loads the document with ZuUiLoader.
class ScreenBuilder
{
public:
    enum class Outcome { Built, Refused, Unsupported };

    explicit ScreenBuilder(const QByteArray &document);
    ~ScreenBuilder();
    Q_DISABLE_COPY(ScreenBuilder)

    Outcome build();
    // The root widget once built (owned by the caller).
    QWidget *takeRoot();
    // Why the document was refused: the limits' own words.
    QString errorString() const { return m_error; }

private:
    enum class Token { Start, End, Stop };

    Token next();
    bool unsupported();
    bool readText(QString *text);
    bool readSize(QSize *size);
    bool readUi();
    bool readCustomWidgets();
    bool readWidget(QWidget *parent, QWidget **made);
    bool readProperty(QObject *object);
    bool readLayout(QWidget *owner, bool layoutWidget);
    bool readItem(QGridLayout *grid, QWidget *owner);
    bool readSpacer(QGridLayout *grid, int row, int column, int rowSpan, int columnSpan);

    QXmlStreamReader m_reader;
    ScreenDocumentLimits::Tracker m_tracker;
    Outcome m_outcome = Outcome::Built;
    QString m_error;
    QByteArray m_context;
    std::unique_ptr<QWidget> m_root;
    // Grids of plain widgets: QUiLoader takes their margins away unless the parent's class is
    // declared a container, which the document says only at its end.
    struct LayoutWidget
    {
        QGridLayout *grid;
        QString parentClass;
    };
    QVector<LayoutWidget> m_layoutWidgets;
    QSet<QString> m_containers;
};
