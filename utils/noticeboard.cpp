#include "noticeboard.h"

#include "windowfit.h"

#include <QApplication>
#include <QDateTime>
#include <QDebug>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

QPointer<NoticeBoard> NoticeBoard::s_board;

namespace {

enum Column { TimeColumn, TitleColumn, TextColumn };
// On the text column: the notice as it came, and how often in a row.
constexpr int NoticeRole = Qt::UserRole;
constexpr int RepeatsRole = Qt::UserRole + 1;

QIcon iconFor(NoticeBoard::Kind kind)
{
    switch (kind) {
    case NoticeBoard::Kind::Information:
        return QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation);
    case NoticeBoard::Kind::Warning:
        return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    case NoticeBoard::Kind::Critical:
        break;
    }
    return QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical);
}

} // namespace

NoticeBoard::NoticeBoard()
    : QWidget(nullptr, Qt::Window)
    , m_list(new QTreeWidget(this))
    , m_dropNote(new QLabel(this))
{
    setObjectName(QStringLiteral("noticeBoard"));
    setWindowTitle(QStringLiteral("Notices"));
    // A notice must not take the keyboard from the page the user is typing into.
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_list->setObjectName(QStringLiteral("noticeList"));
    m_list->setHeaderLabels({ QStringLiteral("Time"), QStringLiteral("From"), QStringLiteral("Notice") });
    m_list->setRootIsDecorated(false);
    m_list->setWordWrap(true);
    m_list->setTextElideMode(Qt::ElideNone);
    m_list->header()->setStretchLastSection(true);
    m_dropNote->setTextFormat(Qt::PlainText);
    m_dropNote->hide();
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(m_dropNote);
    layout->addWidget(close, 0, Qt::AlignRight);
    resize(640, 320);
}

NoticeBoard *NoticeBoard::instance()
{
    if (!s_board)
        s_board = new NoticeBoard;
    return s_board;
}

void NoticeBoard::post(Kind kind, const QString &title, const QString &text)
{
    NoticeBoard *board = instance();
    board->add(kind, title, text);
    if (!board->isVisible()) {
        fitWindowOntoDesktop(board);
        board->show();
    }
    board->raise();
}

void NoticeBoard::add(Kind kind, const QString &title, const QString &text)
{
    const QString time = QLocale().toString(QTime::currentTime(), QLocale::ShortFormat);
    QTreeWidgetItem *newest = m_list->topLevelItem(0);
    if (newest && newest->text(TitleColumn) == title && newest->data(TextColumn, NoticeRole).toString() == text) {
        const int repeats = newest->data(TextColumn, RepeatsRole).toInt() + 1;
        newest->setData(TextColumn, RepeatsRole, repeats);
        newest->setText(TextColumn, QStringLiteral("%1 (%2 times)").arg(text).arg(repeats));
        newest->setText(TimeColumn, time);
        return;
    }
    auto *item = new QTreeWidgetItem({ time, title, text });
    item->setIcon(TimeColumn, iconFor(kind));
    item->setData(TextColumn, RepeatsRole, 1);
    item->setData(TextColumn, NoticeRole, text);
    m_list->insertTopLevelItem(0, item);
    while (m_list->topLevelItemCount() > MaxKept) {
        delete m_list->takeTopLevelItem(m_list->topLevelItemCount() - 1);
        ++m_dropped;
    }
    if (m_dropped > 0) {
        m_dropNote->setText(QStringLiteral("%1 older notices are not kept.").arg(m_dropped));
        m_dropNote->show();
    }
}

int NoticeBoard::entryCount() const
{
    return m_list->topLevelItemCount();
}

QString NoticeBoard::newestText() const
{
    const QTreeWidgetItem *newest = m_list->topLevelItem(0);
    return newest ? newest->data(TextColumn, NoticeRole).toString() : QString();
}

int NoticeBoard::newestRepeats() const
{
    const QTreeWidgetItem *newest = m_list->topLevelItem(0);
    return newest ? newest->data(TextColumn, RepeatsRole).toInt() : 0;
}
