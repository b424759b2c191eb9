#include "overlayselectordialog.h"

#include "latin1.h"
#include "ringmenubutton.h"

#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>
#include <QVariant>

namespace {

constexpr auto KeyValueProperty = "zuKeyValue";
constexpr int AbortKey = Pb::ZUGUI_ABORT;
// Room the page keeps around the list for its own title, menu and status lines.
constexpr int ParentHeightReserve = 232;
constexpr auto CloseIcon = "theme:close-circle-outline_status.svg";

// Key events carry upper-case letter codes, so a lower-case option key binds its upper-case key.
int shortcutKeyFor(int key)
{
    const QChar c(key);
    return c.isLower() ? c.toUpper().unicode() : key;
}

} // namespace

OverlaySelectorDialog::OverlaySelectorDialog(const Pb::Dialog &dialog, QWidget *parent)
    : AbstractDraggableOverlay(parent)
{
    setObjectName(QStringLiteral("OverlaySelectorDialog"));

    m_selectionBox = framedBox("selectionBox", this);
    m_selectionBox->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::MinimumExpanding);
    auto *boxLayout = new QVBoxLayout(m_selectionBox);
    boxLayout->setObjectName(QStringLiteral("verticalLayout_4"));
    boxLayout->setSpacing(0);
    boxLayout->setContentsMargins(0, 0, 0, 0);

    QHBoxLayout *headerLayout = addBoxHeader(m_selectionBox, boxLayout, &m_formTitle);
    m_cancelButton = headerButton("cancelButton", QLatin1String(CloseIcon), headerLayout->parentWidget());
    m_cancelButton->setShortcut(QKeySequence(Qt::Key_Escape));
    headerLayout->addWidget(m_cancelButton);

    m_formPrompt = new QLabel(m_selectionBox);
    m_formPrompt->setObjectName(QStringLiteral("formPrompt"));
    m_formPrompt->setTextFormat(Qt::PlainText);
    boxLayout->addWidget(m_formPrompt);

    m_scrollArea = new QScrollArea(m_selectionBox);
    m_scrollArea->setObjectName(QStringLiteral("scrollArea"));
    m_scrollArea->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Preferred);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContentsOnFirstShow);
    m_scrollArea->setWidgetResizable(true);
    m_contentWidget = new QWidget;
    m_contentWidget->setObjectName(QStringLiteral("contentWidget"));
    m_contentWidget->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::MinimumExpanding);
    m_scrollArea->setWidget(m_contentWidget);
    boxLayout->addWidget(m_scrollArea, 1);

    setDraggableBox(m_selectionBox);

    if (dialog.allow_cancel())
        connect(m_cancelButton, &QPushButton::clicked, this, [this] { emit selectionClicked(AbortKey); });
    else
        m_cancelButton->hide();

    auto *choiceLayout = new QVBoxLayout;
    choiceLayout->setSpacing(8);
    choiceLayout->setContentsMargins(16, 8, 16, 16);
    QPushButton *defaultButton = nullptr;
    for (const Pb::Dialog::Option &option : dialog.option()) {
        const int key = option.key();
        auto *button = new QPushButton(
            RingMenuButton::withMnemonic(Latin1::toQString(option.text()).toLower(), key), m_contentWidget);
        button->setProperty(KeyValueProperty, key);
        QFont font = button->font();
        font.setCapitalization(QFont::Capitalize);
        button->setFont(font);
        if (key > 0 && key <= 0xFFFF) {
            const int shortcutKey = shortcutKeyFor(key);
            for (const QKeySequence &sequence :
                 { QKeySequence(shortcutKey), QKeySequence(shortcutKey | Qt::ShiftModifier) }) {
                auto *shortcut = new QShortcut(sequence, this, nullptr, nullptr, Qt::WindowShortcut);
                connect(shortcut, &QShortcut::activated, button, &QPushButton::click);
            }
        }
        choiceLayout->addWidget(button);
        connect(button, &QPushButton::clicked, this, &OverlaySelectorDialog::p_selectionClicked);
        m_buttons.append(button);
        if (dialog.has_default_choice() && dialog.default_choice() == key)
            defaultButton = button;
    }
    m_contentWidget->setLayout(choiceLayout);
    if (defaultButton) {
        defaultButton->setDefault(true);
        // The page focuses the overlay when it opens it; the choice must keep the focus then.
        setFocusProxy(defaultButton);
        defaultButton->setFocus(Qt::OtherFocusReason);
    }

    connect(this, &AbstractOverlay::titleTextChanged, m_formTitle, &QLabel::setText);
    setTitleText(Latin1::toQString(dialog.title()));
    m_formPrompt->setText(Latin1::toQString(dialog.prompt()));
}

void OverlaySelectorDialog::p_selectionClicked()
{
    if (QObject *button = sender())
        emit selectionClicked(button->property(KeyValueProperty).toInt());
}

void OverlaySelectorDialog::resizeEvent(QResizeEvent *event)
{
    int height = m_contentWidget->sizeHint().height();
    if (QWidget *page = parentWidget())
        height = qMin(height, qMax(0, page->height() - ParentHeightReserve));
    m_scrollArea->setMinimumHeight(height);
    m_selectionBox->adjustSize();
    AbstractDraggableOverlay::resizeEvent(event);
}

void OverlaySelectorDialog::keyPressEvent(QKeyEvent *event)
{
    // Return and keypad Enter choose the focused option, as Space does; a push button outside a
    // dialog lets them pass.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto *button = qobject_cast<QPushButton *>(focusWidget());
        if (button && m_buttons.contains(button)) {
            button->click();
            return;
        }
    }
    AbstractDraggableOverlay::keyPressEvent(event);
}
