#include "overlaydialog.h"

#include "utils/formparts.h"
#include "latin1.h"
#include "ringmenubutton.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr auto KeyValueProperty = "zuKeyValue";

// A single character as a key sequence: letters bind to their key whatever their case.
QKeySequence characterKey(int key)
{
    if (key <= 0 || key > 0xFFFF)
        return QKeySequence();
    return QKeySequence(QString(QChar(key)));
}

} // namespace

OverlayDialog::OverlayDialog(const Pb::Dialog &dialog, QWidget *parent)
    : AbstractDraggableOverlay(parent)
{
    setObjectName(QStringLiteral("OverlayDialog"));
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);

    m_dialogBox = framedBox("dialogBox", this);
    m_dialogBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto *boxLayout = namedLayout<QVBoxLayout>("verticalLayout_4", m_dialogBox, 0, QMargins());

    QWidget *header = namedWidget("dialogBoxHeader", m_dialogBox);
    auto *headerLayout = namedLayout<QHBoxLayout>("horizontalLayout_2", header, 8, QMargins(8, 8, 8, 8));
    m_formTitle = new QLabel(header);
    m_formTitle->setObjectName(QStringLiteral("formTitle"));
    m_formTitle->setTextFormat(Qt::PlainText);
    headerLayout->addWidget(m_formTitle);
    boxLayout->addWidget(header);

    QWidget *content = namedWidget("contentWidget", m_dialogBox);
    auto *contentLayout = namedLayout<QVBoxLayout>("verticalLayout_3", content, 8, QMargins(16, 8, 16, 8));
    m_dialogText = new QLabel(content);
    m_dialogText->setObjectName(QStringLiteral("dialogText"));
    m_dialogText->setTextFormat(Qt::PlainText);
    contentLayout->addWidget(m_dialogText);
    boxLayout->addWidget(content);

    QWidget *menuArea = namedWidget("formMenuLayout", m_dialogBox);
    auto *menuLayout = namedLayout<QVBoxLayout>("verticalLayout_2", menuArea, 0, QMargins());
    m_buttonBox = namedWidget("dialogButtonBox", menuArea);
    m_buttonBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_buttonLayout = namedLayout<QHBoxLayout>("horizontalLayout", m_buttonBox, 8, QMargins(16, 8, 16, 16));
    menuLayout->addWidget(m_buttonBox);
    boxLayout->addWidget(menuArea);

    setDraggableBox(m_dialogBox);
    m_buttonLayout->addStretch();

    QPushButton *defaultButton = nullptr;
    for (int i = 0; i < dialog.option_size(); ++i) {
        const Pb::Dialog::Option &option = dialog.option(i);
        const int key = option.key();
        auto *button = new QPushButton(RingMenuButton::withMnemonic(Latin1::toQString(option.text()), key),
                                       m_buttonBox);
        button->setShortcut(characterKey(key));
        button->setFocusPolicy(Qt::StrongFocus);
        button->setProperty(KeyValueProperty, key);
        m_buttonLayout->addWidget(button);
        connect(button, &QPushButton::clicked, this, &OverlayDialog::p_buttonPushed);
        m_buttons.append(button);
        if (dialog.has_default_choice() && dialog.default_choice() == i) {
            button->setDefault(true);
            defaultButton = button;
        }
    }

    connect(this, &AbstractOverlay::titleTextChanged, this, [this](const QString &title) {
        m_formTitle->setText(title);
        setWindowTitle(title);
    });
    setTitleText(Latin1::toQString(dialog.title()));
    m_dialogText->setText(Latin1::toQString(dialog.prompt()));

    if (defaultButton) {
        setFocusProxy(defaultButton);
        defaultButton->setFocus(Qt::OtherFocusReason);
    }
    m_dialogBox->resize(m_dialogBox->sizeHint());
}

void OverlayDialog::p_buttonPushed()
{
    if (auto *button = qobject_cast<QPushButton *>(sender()))
        emit buttonPressed(button->property(KeyValueProperty).toInt());
}

void OverlayDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return) {
        auto *button = qobject_cast<QPushButton *>(focusWidget());
        if (button && button->property(KeyValueProperty).isValid())
            button->click();
    }
    event->accept();
}
