#pragma once

#include "zufieldwidget.h"

#include "uidlg.pb.h"

#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QVector>

class QWidget;

// One entry of a classic page's window stack: what the page showed when the server pushed a
// window, so that popping it brings the old screen back. Widgets that later screens would have
// deleted are kept here, detached from the page, with the grid cell they came from.
struct SavedWindowState
{
    struct Displaced
    {
        QPointer<QWidget> widget;
        int row = 0;
        int column = 0;
        int rowSpan = 1;
        int columnSpan = 1;
    };

    QString pageTitle;
    QString errorText;
    QString statusText;
    Pb::ScreenMenu menu;
    QString helpUrl;
    QString screenTitle;
    QSet<QWidget *> widgets;
    QVector<ZuFieldWidget::State> fields;
    QVector<Displaced> displaced;
    QList<int> pageStarts;
    bool tableListEnabled = true;
    Pb::NavBarItemList tableList;
    int tableIndex = -1;
};
