#include "scheduledprocessflyout.h"
#include "utils/plaintext.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVariant>
#include <QVBoxLayout>

QPointer<ScheduledProcessFlyout> ScheduledProcessFlyout::s_current;

ScheduledProcessFlyout::ScheduledProcessFlyout(const MainConnection::SchedProcList &list)
    : Flyout(nullptr, false)
{
    setObjectName(QStringLiteral("scheduledProcesses"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (list.isEmpty()) {
        auto *label = new QLabel(QStringLiteral("No Scheduled Processes"), this);
        label->setObjectName(QStringLiteral("singleLabel"));
        layout->addWidget(label);
        layout->setContentsMargins(8, 8, 8, 8);
        return;
    }

    auto *header = new QWidget(this);
    auto *headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(8, 4, 8, 4);
    auto *headerText = new QLabel(QStringLiteral("Scheduled Processes"), header);
    headerText->setObjectName(QStringLiteral("headerText"));
    headerLayout->addWidget(headerText);
    layout->addWidget(header);
    layout->addWidget(line(QStringLiteral("headerLine"), this));

    for (int i = 0; i < list.size(); ++i) {
        const MainConnection::SchedProc &proc = list.at(i);
        if (i > 0)
            layout->addWidget(line(QStringLiteral("dividerLineH"), this));
        auto *row = new QWidget(this);
        auto *rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(8, 8, 8, 8);
        rowLayout->setSpacing(8);

        QPushButton *icon = iconButton(QStringLiteral("scheduledTaskIcon"),
                                       QStringLiteral("theme:proc_item_clock.svg"), row);
        icon->setFlat(true);
        icon->setFocusPolicy(Qt::NoFocus);
        icon->setToolTip(PlainText::escaped(proc.commandLine));
        rowLayout->addWidget(icon, 0, Qt::AlignTop);

        auto *column = new QVBoxLayout;
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);
        auto *title = new QLabel(proc.title, row);
        title->setObjectName(QStringLiteral("procTitle"));
        title->setTextFormat(Qt::PlainText);
        title->setToolTip(PlainText::escaped(proc.commandLine));
        auto *time = new QLabel(proc.dateTime, row);
        time->setObjectName(QStringLiteral("procTime"));
        time->setTextFormat(Qt::PlainText);
        column->addWidget(title);
        column->addWidget(time);
        rowLayout->addLayout(column, 1);

        QPushButton *remove
            = iconButton(QStringLiteral("removeButton"), QStringLiteral("theme:delete_page.svg"), row);
        remove->setProperty("procId", proc.processNumber);
        remove->setCursor(Qt::PointingHandCursor);
        connect(remove, &QPushButton::clicked, this, &ScheduledProcessFlyout::removeButtonClicked);
        rowLayout->addWidget(remove, 0, Qt::AlignTop);
        layout->addWidget(row);
    }
}

ScheduledProcessFlyout::~ScheduledProcessFlyout()
{
    if (s_current == this)
        s_current = nullptr;
}

ScheduledProcessFlyout *ScheduledProcessFlyout::showFlyout(const MainConnection::SchedProcList &list,
                                                           const QRect &anchor, ScheduledProcesses *processes)
{
    delete s_current.data();
    s_current = new ScheduledProcessFlyout(list);
    if (processes)
        connect(s_current, &ScheduledProcessFlyout::removeProcessRequested, processes,
                &ScheduledProcesses::remove);
    s_current->flyout(anchor);
    return s_current;
}

void ScheduledProcessFlyout::removeButtonClicked()
{
    const QVariant id = sender() ? sender()->property("procId") : QVariant();
    if (!id.isValid())
        return;
    emit removeProcessRequested(id.toInt());
    close();
}
