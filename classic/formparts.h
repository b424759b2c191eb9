#pragma once

#include <QMargins>
#include <QPushButton>
#include <QSize>
#include <QString>
#include <QWidget>

// Builders for the forms made in code: object names are the style sheet's hooks (and what the
// tests look for), so every part gets its name where it is made.

inline QWidget *namedWidget(const char *name, QWidget *parent)
{
    auto *widget = new QWidget(parent);
    widget->setObjectName(QLatin1String(name));
    return widget;
}

template<class Layout>
Layout *namedLayout(const char *name, QWidget *owner)
{
    auto *layout = new Layout(owner);
    layout->setObjectName(QLatin1String(name));
    return layout;
}

template<class Layout>
Layout *namedLayout(const char *name, QWidget *owner, int spacing, const QMargins &margins)
{
    Layout *layout = namedLayout<Layout>(name, owner);
    layout->setSpacing(spacing);
    layout->setContentsMargins(margins);
    return layout;
}

// A button of an overlay's bottom row (OK, Save, Cancel …).
inline QPushButton *dialogButton(const char *name, const QString &text, QWidget *parent)
{
    constexpr QSize MinimumSize(96, 40);
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setMinimumSize(MinimumSize);
    return button;
}
