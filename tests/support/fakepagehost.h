#pragma once

#include "applinks/pagehost.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

// A desktop for application sessions under test: attached pages are children of one shown
// widget, detachClicked makes a page a free window as the task manager would, and every call is
// recorded.
class FakePageHost : public QObject, public PageHost
{
    Q_OBJECT

public:
    explicit FakePageHost(QObject *parent = nullptr);
    ~FakePageHost() override;

    QObject *hostObject() override { return this; }
    QWidget *pageParent() override { return m_desk.get(); }
    void addTaskPage(TaskPageWidget *page) override;
    void removeTaskPage(TaskPageWidget *page, bool delayed) override;
    void reattachTaskPage(TaskPageWidget *page) override;
    QString menuTitleForPath(const QString &menuPath) const override { return menuTitles.value(menuPath); }
    void showHelpTopic(const QString &topic) override { helpTopics << topic; }

    QWidget *desk() const { return m_desk.get(); }
    bool isOnTaskBar(const TaskPageWidget *page) const;

    QMap<QString, QString> menuTitles;
    QStringList helpTopics;
    QList<QPointer<TaskPageWidget>> reattached;

private:
    void detach(TaskPageWidget *page);

    std::unique_ptr<QWidget> m_desk;
    QList<QPointer<TaskPageWidget>> m_taskBar;
    QList<QPointer<TaskPageWidget>> m_known;
};
