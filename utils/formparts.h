#pragma once

#include <QMargins>
#include <QPushButton>
#include <QSize>
#include <QString>
#include <QWidget>

// Builders for the forms made in code: object names are the style sheet's hooks (and what the
// tests look for), so every part gets its name where it is made.

template<class T>
T *named(T *object, const char *name)
{
    object->setObjectName(QLatin1String(name));
    return object;
}

inline QWidget *namedWidget(const char *name, QWidget *parent)
{
    return named(new QWidget(parent), name);
}

template<class Layout>
Layout *namedLayout(const char *name, QWidget *owner)
{
    return named(new Layout(owner), name);
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
    auto *button = named(new QPushButton(text, parent), name);
    button->setMinimumSize(MinimumSize);
    return button;
}
