#include "replaybar.h"

#include "hub/sessionreplay.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ReplayBar::ReplayBar(SessionReplay *replay, const QString &fileName, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
    , m_replay(replay)
    , m_progress(new QLabel(this))
    , m_difference(new QLabel(this))
    , m_next(new QPushButton(QStringLiteral("Next"), this))
    , m_run(new QPushButton(QStringLiteral("Run to end"), this))
    , m_pause(new QPushButton(QStringLiteral("Pause"), this))
{
    setObjectName(QStringLiteral("replayBar"));
    setWindowTitle(QStringLiteral("Replay: %1").arg(QFileInfo(fileName).fileName()));
    m_progress->setObjectName(QStringLiteral("replayProgress"));
    m_progress->setTextFormat(Qt::PlainText);
    m_difference->setObjectName(QStringLiteral("replayDifference"));
    // Recorded messages are outside text: never markup.
    m_difference->setTextFormat(Qt::PlainText);
    m_difference->setWordWrap(true);
    m_difference->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_difference->hide();
    m_next->setObjectName(QStringLiteral("replayNext"));
    m_run->setObjectName(QStringLiteral("replayRun"));
    m_pause->setObjectName(QStringLiteral("replayPause"));
    m_next->setShortcut(QKeySequence(Qt::Key_F8));
    m_next->setToolTip(QStringLiteral("Deliver the next hub message (F8)"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_progress, 1);
    buttons->addWidget(m_next);
    buttons->addWidget(m_run);
    buttons->addWidget(m_pause);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_difference);

    connect(m_next, &QPushButton::clicked, replay, &SessionReplay::next);
    connect(m_run, &QPushButton::clicked, replay, &SessionReplay::runToEnd);
    connect(m_pause, &QPushButton::clicked, replay, [replay] {
        if (replay->state() == SessionReplay::State::Paused)
            replay->resume();
        else
            replay->pause();
    });
    connect(replay, &SessionReplay::progressChanged, this, &ReplayBar::refresh);
    connect(replay, &SessionReplay::stateChanged, this, &ReplayBar::refresh);
    connect(replay, &SessionReplay::differenceFound, this, [this](const QString &text) {
        m_difference->setText(text);
        m_difference->show();
        adjustSize();
    });
    refresh();
}

void ReplayBar::refresh()
{
    if (!m_replay)
        return;
    const SessionReplay::State state = m_replay->state();
    QString what;
    switch (state) {
    case SessionReplay::State::Idle:
        what = QStringLiteral("waiting for the login");
        break;
    case SessionReplay::State::Running:
        what = QStringLiteral("running");
        break;
    case SessionReplay::State::Paused:
        what = QStringLiteral("paused");
        break;
    case SessionReplay::State::Finished:
        what = QStringLiteral("finished");
        break;
    case SessionReplay::State::Failed:
        what = QStringLiteral("stopped");
        break;
    }
    m_progress->setText(QStringLiteral("%1: %2 of %3 hub messages, %4 differences")
                            .arg(what)
                            .arg(m_replay->deliveredCount())
                            .arg(m_replay->hubMessageCount())
                            .arg(m_replay->differenceCount()));
    const bool live = state == SessionReplay::State::Running || state == SessionReplay::State::Paused;
    m_next->setEnabled(state == SessionReplay::State::Paused);
    m_run->setEnabled(live);
    m_pause->setEnabled(live);
    m_pause->setText(state == SessionReplay::State::Paused ? QStringLiteral("Resume")
                                                           : QStringLiteral("Pause"));
}
