#include "fileviewer.h"

#include "utils/fixedfont.h"

#include "offlinetextdocument.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QSettings>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {

const QString FontSizeKey = QStringLiteral("FileViewer/fontPointSize");
// A stored size outside this range is a damaged setting, not a choice.
constexpr qreal MinPointSize = 4;
constexpr qreal MaxPointSize = 96;

} // namespace

FileViewer::FileViewer(const QByteArray &data, QWidget *parent)
    : DocumentViewer(QStringLiteral("FileViewer"), QSize(628, 396), parent)
    , m_text(new QTextEdit(this))
    , m_data(data)
{
    setWindowTitle(QStringLiteral("Dialog"));
    QPushButton *print = addActionButton(QStringLiteral("buttonPrint"), QStringLiteral("Print"));
    m_text->setObjectName(QStringLiteral("textEdit"));
    m_text->setReadOnly(true);
    m_text->setDocument(new OfflineTextDocument(m_text));
    mainLayout()->addWidget(m_text);

    const qreal pointSize = QSettings().value(FontSizeKey, m_text->currentFont().pointSizeF()).toReal();
    const QFont font = fixedPitchFont();
    m_text->setFont(font);
    m_family = font.family();
    setPointSize(pointSize);
    m_text->installEventFilter(this);
    m_text->viewport()->installEventFilter(this);
    // Reports are laid out in columns: wrapping would break them.
    m_text->setLineWrapMode(QTextEdit::NoWrap);
    // Qt 5's fromLatin1(QByteArray) stops at a NUL byte: the rest of the document would go unseen.
    // A NUL is shown as a replacement character.
    m_text->setPlainText(QString::fromLatin1(data.constData(), data.size())
                             .replace(QChar::Null, QChar::ReplacementCharacter));

    connect(saveButton(), &QPushButton::clicked, this, &FileViewer::clickedSave);
    connect(print, &QPushButton::clicked, this, &FileViewer::clickedPrint);
}

void FileViewer::clickedPrint()
{
    emit printFile(m_text->toPlainText());
}

void FileViewer::clickedSave()
{
    saveToLocalFile(windowTitle(), m_data);
}

void FileViewer::setPointSize(qreal size)
{
    m_pointSize = qBound(MinPointSize, size, MaxPointSize);
    m_text->setStyleSheet(QStringLiteral("QTextEdit { font-family: \"%1\", monospace; font-size: %2pt; }")
                              .arg(m_family)
                              .arg(m_pointSize));
}

bool FileViewer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel) {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            setPointSize(m_pointSize + (wheel->angleDelta().y() > 0 ? 1 : -1));
            return true;
        }
    } else if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::ZoomIn) || key->matches(QKeySequence::ZoomOut)) {
            setPointSize(m_pointSize + (key->matches(QKeySequence::ZoomIn) ? 1 : -1));
            return true;
        }
    }
    return DocumentViewer::eventFilter(watched, event);
}

void FileViewer::done(int result)
{
    QSettings().setValue(FontSizeKey, m_pointSize);
    DocumentViewer::done(result);
}
