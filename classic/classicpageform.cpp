#include "classicpageform.h"

#include "utils/formparts.h"

#include "pageshadow.h"
#include "ringmenuwidget.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedLayout>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr int ShadowBlur = 4;
constexpr int ShadowAlpha = 50;
constexpr int ShadowOffset = 2;

QPushButton *flatButton(QWidget *parent, const char *name)
{
    auto *button = named(new QPushButton(parent), name);
    button->setFlat(true);
    return button;
}

QHBoxLayout *rowLayout(QWidget *owner, const char *name, int spacing, int margin)
{
    auto *layout = named(new QHBoxLayout(owner), name);
    layout->setSpacing(spacing);
    layout->setContentsMargins(margin, margin, margin, margin);
    return layout;
}

} // namespace

ClassicPageForm::ClassicPageForm(QWidget *form)
{
    auto *verticalLayout = named(new QVBoxLayout(form), "verticalLayout");
    verticalLayout->setSpacing(0);
    verticalLayout->setContentsMargins(0, 0, 0, 0);

    contentBar = named(new QWidget(form), "contentBar");
    auto *contentTools = named(new QHBoxLayout(contentBar), "contentTools");
    contentTools->setSpacing(16);
    contentTools->setContentsMargins(24, 16, 16, 16);
    formTitle = named(new QLabel(contentBar), "formTitle");
    // Every label of the page that shows server text shows it literally.
    formTitle->setTextFormat(Qt::PlainText);
    // Long lines wrap rather than widen the page past its window, where they would be cut off.
    formTitle->setWordWrap(true);
    detachButton = flatButton(contentBar, "detachButton");
    detachButton->setToolTip(QStringLiteral("Detach/Attach Window"));
    helpButton = flatButton(contentBar, "helpButton");
    helpButton->setToolTip(QStringLiteral("Help"));
    contentTools->addWidget(formTitle, 1);
    contentTools->addWidget(detachButton);
    contentTools->addWidget(helpButton);
    verticalLayout->addWidget(contentBar);

    ringMenu = new RingMenuWidget(form);
    verticalLayout->addWidget(ringMenu);

    scrollArea = named(new QScrollArea(form), "scrollArea");
    scrollArea->setWidgetResizable(true);
    scrollLayout = named(new QWidget, "scrollLayout");
    auto *gridLayout = named(new QGridLayout(scrollLayout), "gridLayout");
    gridLayout->setSpacing(0);
    gridLayout->setContentsMargins(24, 24, 24, 24);

    pageContainer = named(new QFrame(scrollLayout), "pageContainer");
    auto *verticalLayout2 = named(new QVBoxLayout(pageContainer), "verticalLayout_2");
    verticalLayout2->setSpacing(0);
    verticalLayout2->setContentsMargins(1, 1, 1, 1);

    formBar = named(new QFrame(pageContainer), "formBar");
    formBar->setFrameShape(QFrame::StyledPanel);
    auto *horizontalLayout2 = rowLayout(formBar, "horizontalLayout_2", -1, 4);
    pageButtonBox = named(new QWidget(formBar), "pageButtonBox");
    resultSetButton = flatButton(formBar, "resultSetButton");
    tablesCombo = named(new QComboBox(formBar), "tablesCombo");
    tablesCombo->addItem(QStringLiteral("tables"));
    prevButton = flatButton(formBar, "prevButton");
    rowStatusLabel = named(new QLabel(QStringLiteral("0 of 0"), formBar), "rowStatusLabel");
    nextButton = flatButton(formBar, "nextButton");
    for (QWidget *widget : { pageButtonBox, static_cast<QWidget *>(resultSetButton),
                             static_cast<QWidget *>(tablesCombo), static_cast<QWidget *>(prevButton),
                             static_cast<QWidget *>(rowStatusLabel), static_cast<QWidget *>(nextButton) })
        horizontalLayout2->addWidget(widget);
    horizontalLayout2->setStretch(1, 1);
    verticalLayout2->addWidget(formBar);

    pageStack = named(new QStackedWidget(pageContainer), "pageStack");
    verticalLayout2->addWidget(pageStack);
    gridLayout->addWidget(pageContainer, 0, 1);

    new PageShadow(pageContainer, ShadowBlur, ShadowOffset, QColor(0, 0, 0, ShadowAlpha));

    scrollArea->setWidget(scrollLayout);
    verticalLayout->addWidget(scrollArea, 1);

    statusStack = named(new QStackedWidget(form), "statusStack");
    errorPanel = named(new QWidget(statusStack), "errorPanel");
    auto *horizontalLayout4 = rowLayout(errorPanel, "horizontalLayout_4", 8, 16);
    errorIcon = flatButton(errorPanel, "errorIcon");
    errorLabel
        = named(new QLabel(QStringLiteral("Something has gone wrong! Press [CTRL+W] for more information."),
                           errorPanel),
                "errorLabel");
    errorLabel->setTextFormat(Qt::PlainText);
    errorLabel->setWordWrap(true);
    errorClose = flatButton(errorPanel, "errorClose");
    horizontalLayout4->addWidget(errorIcon);
    horizontalLayout4->addWidget(errorLabel, 1);
    horizontalLayout4->addWidget(errorClose);

    statusPanel = named(new QWidget(statusStack), "statusPanel");
    auto *horizontalLayout = rowLayout(statusPanel, "horizontalLayout", 8, 16);
    statusIcon = flatButton(statusPanel, "statusIcon");
    statusLabel = named(new QLabel(statusPanel), "statusLabel");
    statusLabel->setTextFormat(Qt::PlainText);
    statusLabel->setWordWrap(true);
    horizontalLayout->addWidget(statusIcon);
    horizontalLayout->addWidget(statusLabel, 1);

    blankStatusPanel = named(new QWidget(statusStack), "blankStatusPanel");
    statusStack->addWidget(errorPanel);
    statusStack->addWidget(statusPanel);
    statusStack->addWidget(blankStatusPanel);
    verticalLayout->addWidget(statusStack);
}
