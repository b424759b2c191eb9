#include "overlayblobedit.h"

#include "utils/formparts.h"

#include <QCheckBox>
#include <QDebug>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr QSize DesignerSize(805, 676);
constexpr QSize BoxMinimum(300, 300);
constexpr QSize IconSize(24, 24);
constexpr int CloseButtonMaximumWidth = 24;
constexpr int TopSpacerWidth = 20;
constexpr int TopSpacerDesignerHeight = 100;
constexpr int SpacerColumn = 0;
constexpr int BoxColumn = 1;
constexpr int BoxRow = 1;

} // namespace

OverlayBlobEdit::OverlayBlobEdit(const QString &text, bool readOnly, QPoint position, QWidget *parent)
    : AbstractOverlay(parent)
    , m_fieldPosition(position)
    , m_readOnly(readOnly)
{
    buildForm();
    placeAtField();
    m_textEdit->setReadOnly(readOnly);
    m_textEdit->setPlainText(text);

    connect(m_textEdit, &QPlainTextEdit::modificationChanged, this, [this](bool modified) {
        m_modified = modified;
        m_saveButton->setEnabled(!m_readOnly && m_modified);
    });
    connect(m_wideCheckbox, &QCheckBox::toggled, this, &OverlayBlobEdit::setWide);
    connect(m_closeButton, &QPushButton::clicked, this, &OverlayBlobEdit::rejected);
    if (readOnly) {
        m_formMenu->hide();
        m_closeButton->setDefault(true);
    } else {
        m_saveButton->setEnabled(false);
        connect(m_cancelButton, &QPushButton::clicked, this, &OverlayBlobEdit::rejected);
        connect(m_saveButton, &QPushButton::clicked, this, &OverlayBlobEdit::save);
    }
    m_wideCheckbox->setChecked(true);
    setFocusProxy(m_textEdit);
}

OverlayBlobEdit::~OverlayBlobEdit() = default;

void OverlayBlobEdit::buildForm()
{
    setObjectName(QStringLiteral("OverlayBlobEdit"));
    setWindowTitle(QStringLiteral("Form"));
    resize(DesignerSize);
    auto *mainLayout = namedLayout<QVBoxLayout>("verticalLayout", this, 0, QMargins());

    auto *lightBox = new QWidget(this);
    lightBox->setObjectName(QStringLiteral("lightBox"));
    m_lightBoxLayout = namedLayout<QGridLayout>("gridLayout_2", lightBox, 0, QMargins(24, 0, 24, 24));
    m_lightBoxLayout->addItem(new QSpacerItem(0, 20, QSizePolicy::Expanding, QSizePolicy::Minimum), BoxRow,
                              SpacerColumn);
    m_topSpacer = new QSpacerItem(TopSpacerWidth, TopSpacerDesignerHeight, QSizePolicy::Minimum,
                                  QSizePolicy::Preferred);
    m_lightBoxLayout->addItem(m_topSpacer, 0, BoxColumn);
    m_lightBoxLayout->addItem(new QSpacerItem(20, 259, QSizePolicy::Minimum, QSizePolicy::Expanding), 2,
                              BoxColumn);
    m_lightBoxLayout->setRowStretch(2, 1);
    mainLayout->addWidget(lightBox);

    auto *box = new QFrame(lightBox);
    box->setObjectName(QStringLiteral("dialogBox"));
    box->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::MinimumExpanding);
    box->setMinimumSize(BoxMinimum);
    box->setAutoFillBackground(true);
    box->setFrameShape(QFrame::Panel);
    box->setFrameShadow(QFrame::Plain);
    box->setLineWidth(1);
    auto *boxLayout = namedLayout<QVBoxLayout>("verticalLayout_4", box, 0, QMargins());
    m_lightBoxLayout->addWidget(box, BoxRow, BoxColumn);
    addShadow(box);

    auto *header = new QWidget(box);
    header->setObjectName(QStringLiteral("dialogBoxHeader"));
    auto *headerLayout = namedLayout<QHBoxLayout>("horizontalLayout_2", header, 8, QMargins(8, 8, 8, 8));
    m_formTitle = new QLabel(header);
    m_formTitle->setObjectName(QStringLiteral("formTitle"));
    m_formTitle->setTextFormat(Qt::PlainText);
    headerLayout->addWidget(m_formTitle);
    headerLayout->addSpacerItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    m_wideCheckbox = new QCheckBox(header);
    m_wideCheckbox->setObjectName(QStringLiteral("wideCheckbox"));
    m_wideCheckbox->setIconSize(IconSize);
    m_wideCheckbox->setToolTip(QStringLiteral("Wide"));
    headerLayout->addWidget(m_wideCheckbox);
    m_closeButton = new QPushButton(header);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setMaximumWidth(CloseButtonMaximumWidth);
    m_closeButton->setIconSize(IconSize);
    m_closeButton->setFlat(true);
    m_closeButton->setShortcut(QKeySequence(Qt::Key_Escape));
    const QString closeIcon = QStringLiteral("theme:close-circle-outline_status.svg");
    if (QFile::exists(closeIcon))
        m_closeButton->setIcon(QIcon(closeIcon));
    headerLayout->addWidget(m_closeButton);
    boxLayout->addWidget(header);

    auto *content = new QWidget(box);
    content->setObjectName(QStringLiteral("contentWidget"));
    auto *contentLayout = namedLayout<QVBoxLayout>("verticalLayout_3", content, 8, QMargins(8, 0, 8, 8));
    m_textEdit = new QPlainTextEdit(content);
    m_textEdit->setObjectName(QStringLiteral("textEdit"));
    contentLayout->addWidget(m_textEdit);
    boxLayout->addWidget(content);

    m_formMenu = new QWidget(box);
    m_formMenu->setObjectName(QStringLiteral("formMenuLayout"));
    auto *menuLayout = namedLayout<QVBoxLayout>("verticalLayout_2", m_formMenu, 8, QMargins(8, 0, 8, 8));
    auto *buttons = new QWidget(m_formMenu);
    buttons->setObjectName(QStringLiteral("dialogButtonBox"));
    auto *buttonLayout = namedLayout<QHBoxLayout>("horizontalLayout", buttons, 8, QMargins());
    buttonLayout->addSpacerItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    m_saveButton = dialogButton("saveButton", QStringLiteral("&Save"), buttons);
    buttonLayout->addWidget(m_saveButton);
    m_cancelButton = dialogButton("cancelButton", QStringLiteral("Cancel"), buttons);
    buttonLayout->addWidget(m_cancelButton);
    menuLayout->addWidget(buttons);
    boxLayout->addWidget(m_formMenu);
}

void OverlayBlobEdit::placeAtField()
{
    const int top = qMax(0, mapFromGlobal(m_fieldPosition).y());
    m_topSpacer->changeSize(TopSpacerWidth, top, QSizePolicy::Minimum, QSizePolicy::Preferred);
    m_lightBoxLayout->invalidate();
}

void OverlayBlobEdit::showEvent(QShowEvent *event)
{
    // Only now does the overlay sit where the page put it.
    placeAtField();
    AbstractOverlay::showEvent(event);
}

void OverlayBlobEdit::setWide(bool wide)
{
    m_lightBoxLayout->setColumnStretch(SpacerColumn, wide ? 0 : 1);
    m_lightBoxLayout->setColumnStretch(BoxColumn, wide ? 1 : 0);
}

void OverlayBlobEdit::save()
{
    if (!m_modified) {
        emit rejected();
        return;
    }
    // An emptied editor gives a null text, which would read as cancelled.
    QString text = m_textEdit->toPlainText();
    if (text.isNull())
        text = QLatin1String("");
    emit accepted(text);
}

void OverlayBlobEdit::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    if (m_readOnly && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        emit rejected();
        return;
    }
    qDebug() << "OverlayBlobEdit::keyPressEvent - key" << event->key() << "dropped.";
}
