#include "modaltaskbuttonflyout.h"

#include <QLabel>
#include <QVBoxLayout>

QPointer<ModalTaskButtonFlyout> ModalTaskButtonFlyout::s_current;

ModalTaskButtonFlyout::ModalTaskButtonFlyout()
    : Flyout(nullptr, true)
{
    setObjectName(QStringLiteral("modalTaskButtonFlyout"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(0);
    auto *label = new QLabel(QStringLiteral("Please complete this option before continuing"), this);
    label->setObjectName(QStringLiteral("singleLabel"));
    layout->addWidget(label);
}

ModalTaskButtonFlyout::~ModalTaskButtonFlyout()
{
    if (s_current == this)
        s_current = nullptr;
}

ModalTaskButtonFlyout *ModalTaskButtonFlyout::showFlyout(const QRect &anchor)
{
    if (s_current) {
        s_current->hide();
        s_current->deleteLater();
    }
    s_current = new ModalTaskButtonFlyout;
    s_current->flyout(anchor);
    return s_current;
}

void ModalTaskButtonFlyout::mousePressEvent(QMouseEvent *)
{
    hide();
    deleteLater();
}
