#include "taskpagewidget.h"

#include "endedbanner.h"
#include "openprompt.h"

#include <QBoxLayout>
#include <QDebug>
#include <QEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QSizeGrip>
#include <QStyle>

TaskPageWidget::TaskPageWidget(QWidget *parent)
    : QWidget(parent)
    , m_grip(new QSizeGrip(this))
{
    placeGrip();
}

TaskPageWidget::~TaskPageWidget()
{
    // QWidget's destructor still hides the children and moves the focus out of them; what they
    // signal then must not reach the page's own part, which is gone by that time.
    const QList<QObject *> children = findChildren<QObject *>();
    for (QObject *child : children)
        child->disconnect(this);
}

QString TaskPageWidget::title() const
{
    return QStringLiteral("Title");
}

bool TaskPageWidget::isAttached() const
{
    return m_attached;
}

QString TaskPageWidget::shortName() const
{
    return QStringLiteral("**");
}

bool TaskPageWidget::isSoloApp() const
{
    return false;
}

QString TaskPageWidget::unsavedWork() const
{
    return QString();
}

QString TaskPageWidget::endedNotice() const
{
    return m_banner ? m_banner->text() : QString();
}

void TaskPageWidget::endPage(const QString &notice)
{
    if (m_ended)
        return;
    m_ended = true;
    qInfo().noquote() << QStringLiteral("The page \"%1\" stays as an ended page")
                             .arg(title().isEmpty() ? shortName() : title());
    enterEnded();
    m_banner = new EndedBanner(notice, this);
    connect(m_banner, &EndedBanner::closeClicked, this, &TaskPageWidget::closeEnded);
    if (QBoxLayout *column = bannerLayout()) {
        column->insertWidget(qMin(1, column->count()), m_banner);
    } else {
        m_banner->setGeometry(0, 0, width(), m_banner->sizeHint().height());
        m_banner->raise();
    }
    m_banner->show();
    emit pageEnded();
}

void TaskPageWidget::setLinkNotice(const QString &notice)
{
    Q_UNUSED(notice)
}

void TaskPageWidget::closeEnded()
{
    if (!m_ended)
        return;
    const QString loss = unsavedWork();
    if (loss.isEmpty()) {
        emit endedPageClosed();
        return;
    }
    auto *question = new QMessageBox(QMessageBox::Warning, title(),
                                     QStringLiteral("Closing this page loses %1.").arg(loss),
                                     QMessageBox::NoButton, this);
    question->setTextFormat(Qt::PlainText);
    QPushButton *close = question->addButton(QStringLiteral("Close"), QMessageBox::DestructiveRole);
    question->setDefaultButton(question->addButton(QMessageBox::Cancel));
    openPrompt(question, this, [this, close](QMessageBox *answered, int) {
        if (answered->clickedButton() == close)
            emit endedPageClosed();
    });
}

QBoxLayout *TaskPageWidget::bannerLayout() const
{
    return qobject_cast<QBoxLayout *>(layout());
}

void TaskPageWidget::setAttached(bool attached)
{
    if (attached == m_attached)
        return;
    m_attached = attached;
    // A fresh grip picks up whether its window can now be resized.
    delete m_grip;
    m_grip = new QSizeGrip(this);
    placeGrip();
    m_grip->show();
    if (m_detachButton) {
        m_detachButton->style()->unpolish(m_detachButton);
        m_detachButton->style()->polish(m_detachButton);
    }
    emit attachedChanged(attached);
}

bool TaskPageWidget::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        emit focusReceived();
    return QWidget::event(event);
}

void TaskPageWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeGrip();
}

void TaskPageWidget::placeGrip()
{
    m_grip->setGeometry(width() - GripSize, height() - GripSize, GripSize, GripSize);
    m_grip->raise();
}
