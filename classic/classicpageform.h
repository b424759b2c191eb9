#pragma once

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QWidget;
class RingMenuWidget;

// The widget tree of a classic page, built in code. The object names are hooks for the style
// sheet and part of the page's interface.
class ClassicPageForm
{
public:
    // Builds the tree into `form`, which must not have a layout yet.
    explicit ClassicPageForm(QWidget *form);

    QWidget *contentBar;
    QLabel *formTitle;
    QPushButton *detachButton;
    QPushButton *helpButton;
    RingMenuWidget *ringMenu;
    QScrollArea *scrollArea;
    QWidget *scrollLayout;
    QFrame *pageContainer;
    QFrame *formBar;
    QWidget *pageButtonBox;
    QPushButton *resultSetButton;
    QComboBox *tablesCombo;
    QPushButton *prevButton;
    QLabel *rowStatusLabel;
    QPushButton *nextButton;
    QStackedWidget *pageStack;
    QStackedWidget *statusStack;
    QWidget *errorPanel;
    QPushButton *errorIcon;
    QLabel *errorLabel;
    QPushButton *errorClose;
    QWidget *statusPanel;
    QPushButton *statusIcon;
    QLabel *statusLabel;
    QWidget *blankStatusPanel;
};
