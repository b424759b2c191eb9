#include "quitguard.h"

#include "taskmanager.h"

#include "applinks/applicationsession.h"
#include "applinks/sessionrouter.h"
#include "utils/openprompt.h"
#include "utils/taskpagewidget.h"

#include <QDebug>
#include <QMessageBox>
#include <QPushButton>

QuitGuard::QuitGuard(QWidget *window, SessionRouter *router, TaskManager *tasks)
    : QObject(window)
    , m_window(window)
    , m_router(router)
    , m_tasks(tasks)
{
}

bool QuitGuard::forcedQuitNeeded() const
{
    return m_router && !m_router->sessionsHoldingQuit().isEmpty();
}

QStringList QuitGuard::losses() const
{
    QStringList losses;
    if (!m_tasks)
        return losses;
    const QList<TaskPageWidget *> pages = m_tasks->pages();
    for (const TaskPageWidget *page : pages) {
        const QString loss = page->unsavedWork();
        if (!loss.isEmpty() && !losses.contains(loss))
            losses << loss;
    }
    return losses;
}

bool QuitGuard::mayQuit(std::function<void()> agreed)
{
    if (!forcedQuitNeeded() && losses().isEmpty())
        return true;
    // A second request while the questions are open changes nothing.
    if (m_asking)
        return false;
    m_asking = true;
    // The pages that would lose work are looked at again after the first question: they may be gone.
    auto next = [this, agreed] {
        const QStringList lost = losses();
        if (lost.isEmpty()) {
            m_asking = false;
            agreed();
            return;
        }
        askLosingWork(lost, [this, agreed] {
            m_asking = false;
            agreed();
        });
    };
    if (forcedQuitNeeded())
        askForcedQuit(next);
    else
        next();
    return false;
}

void QuitGuard::askForcedQuit(std::function<void()> agreed)
{
    qInfo() << "There are application connections still open.";
    for (const ApplicationSession *session : m_router->sessionsHoldingQuit())
        qInfo().noquote().nospace() << "    " << session->describe();
    qInfo() << "Querying user for action.";
    auto *box = new QMessageBox(
        QMessageBox::Warning, m_window->windowTitle(),
        QStringLiteral("There are ZU applications running.\nPlease close all applications before exiting."),
        QMessageBox::NoButton, m_window);
    box->setInformativeText(QStringLiteral("NOTICE: All forced-quits are logged by the system for IT review!"));
    QPushButton *force = box->addButton(QStringLiteral("Force Quit"), QMessageBox::DestructiveRole);
    box->setDefaultButton(box->addButton(QMessageBox::Cancel));
    openPrompt(box, this, [this, force, agreed](QMessageBox *answered, int) {
        if (answered->clickedButton() != force) {
            qInfo() << "Shutdown cancelled by user.";
            m_asking = false;
            return;
        }
        auto *again = new QMessageBox(QMessageBox::Warning, m_window->windowTitle(), answered->text(),
                                      QMessageBox::NoButton, m_window);
        again->setInformativeText(QStringLiteral(
            "Are you sure you want to force ZU Desktop to exit?\n(Administrator will be notified)"));
        QPushButton *sure = again->addButton(QStringLiteral("Force Quit"), QMessageBox::DestructiveRole);
        again->setDefaultButton(again->addButton(QMessageBox::Cancel));
        openPrompt(again, this, [this, sure, agreed](QMessageBox *second, int) {
            if (second->clickedButton() != sure) {
                qInfo() << "Shutdown cancelled by user.";
                m_asking = false;
                return;
            }
            qInfo() << "User chose to ingore and exit anyway.";
            agreed();
        });
    });
}

void QuitGuard::askLosingWork(const QStringList &losses, std::function<void()> agreed)
{
    auto *box = new QMessageBox(QMessageBox::Warning, m_window->windowTitle(),
                                QStringLiteral("Quitting ZU Desktop loses %1.").arg(losses.join(QStringLiteral(" and "))),
                                QMessageBox::NoButton, m_window);
    box->setTextFormat(Qt::PlainText);
    QPushButton *quit = box->addButton(QStringLiteral("Quit"), QMessageBox::DestructiveRole);
    box->setDefaultButton(box->addButton(QMessageBox::Cancel));
    openPrompt(box, this, [this, quit, agreed](QMessageBox *answered, int) {
        if (answered->clickedButton() != quit) {
            qInfo() << "Shutdown cancelled by user.";
            m_asking = false;
            return;
        }
        agreed();
    });
}
