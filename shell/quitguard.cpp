#include "quitguard.h"

#include "taskmanager.h"

#include "applinks/applicationsession.h"
#include "applinks/sessionrouter.h"
#include "utils/openprompt.h"
#include "utils/taskpagewidget.h"

#include <QDebug>
#include <QMessageBox>
#include <QPushButton>

namespace {

struct Words
{
    QString running;
    QString sure;
    QString force;
    // What the first question asks.
    QString ask;
    QString loses;
    QString leave;
};

const Words &wordsFor(QuitGuard::Leaving leaving)
{
    static const Words quit {
        QStringLiteral("There are ZU applications running.\nPlease close all applications "
                       "before exiting."),
        QStringLiteral("Are you sure you want to force ZU Desktop to exit?\n(Administrator "
                       "will be notified)"),
        QStringLiteral("Force Quit"),
        QStringLiteral("Quit anyway? The programs end on the server, and what they have not saved is lost."),
        QStringLiteral("Quitting ZU Desktop loses %1."),
        QStringLiteral("Quit")
    };
    static const Words logOut {
        QStringLiteral("There are ZU applications running.\nPlease close all applications "
                       "before logging out."),
        QStringLiteral("Are you sure you want to force a log out?\n(Administrator will be "
                       "notified)"),
        QStringLiteral("Force Log Out"),
        QStringLiteral(
            "Log out anyway? The programs end on the server, and what they have not saved is lost."),
        QStringLiteral("Logging out loses %1."),
        QStringLiteral("Log Out")
    };
    return leaving == QuitGuard::Leaving::Quit ? quit : logOut;
}

} // namespace

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

bool QuitGuard::mayLeave(Leaving leaving, std::function<void()> agreed)
{
    if (!forcedQuitNeeded() && losses().isEmpty())
        return true;
    // A second request while the questions are open changes nothing.
    if (m_asking)
        return false;
    m_asking = true;
    // The pages that would lose work are looked at again after the first question: they may be gone.
    auto next = [this, leaving, agreed] {
        const QStringList lost = losses();
        if (lost.isEmpty()) {
            m_asking = false;
            agreed();
            return;
        }
        askLosingWork(leaving, lost, [this, agreed] {
            m_asking = false;
            agreed();
        });
    };
    if (forcedQuitNeeded())
        askForcedQuit(leaving, next);
    else
        next();
    return false;
}

void QuitGuard::askForcedQuit(Leaving leaving, std::function<void()> agreed)
{
    qInfo() << "There are application connections still open.";
    for (const ApplicationSession *session : m_router->sessionsHoldingQuit())
        qInfo().noquote().nospace() << "    " << session->describe();
    qInfo() << "Querying user for action.";
    const Words &words = wordsFor(leaving);
    auto *box = new QMessageBox(QMessageBox::Warning, m_window->windowTitle(), words.running,
                                QMessageBox::NoButton, m_window);
    box->setInformativeText(words.ask);
    QPushButton *force = box->addButton(words.force, QMessageBox::DestructiveRole);
    box->setDefaultButton(box->addButton(QMessageBox::Cancel));
    openPrompt(box, this, [this, force, agreed, leaving](QMessageBox *answered, int) {
        const Words &words = wordsFor(leaving);
        if (answered->clickedButton() != force) {
            qInfo() << "Shutdown cancelled by user.";
            m_asking = false;
            return;
        }
        auto *again = new QMessageBox(QMessageBox::Warning, m_window->windowTitle(), answered->text(),
                                      QMessageBox::NoButton, m_window);
        again->setInformativeText(words.sure);
        QPushButton *sure = again->addButton(words.force, QMessageBox::DestructiveRole);
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

void QuitGuard::askLosingWork(Leaving leaving, const QStringList &losses, std::function<void()> agreed)
{
    const Words &words = wordsFor(leaving);
    auto *box = new QMessageBox(QMessageBox::Warning, m_window->windowTitle(),
                                words.loses.arg(losses.join(QStringLiteral(" and "))), QMessageBox::NoButton,
                                m_window);
    box->setTextFormat(Qt::PlainText);
    QPushButton *quit = box->addButton(words.leave, QMessageBox::DestructiveRole);
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
