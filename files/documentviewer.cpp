#include "documentviewer.h"

#include "localfiles.h"

#include "utils/windowfit.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QSettings>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace {
const QString GeometryKey = QStringLiteral("FileViewer/geometry");
}

DocumentViewer::DocumentViewer(const QString &objectName, const QSize &size, QWidget *parent)
    : QDialog(parent)
    , m_mainLayout(new QVBoxLayout(this))
    , m_actionsLayout(nullptr)
    , m_save(nullptr)
{
    setObjectName(objectName);
    resize(size);
    m_mainLayout->setObjectName(QStringLiteral("verticalLayout"));
    auto *actions = new QWidget(this);
    actions->setObjectName(QStringLiteral("actionsGroup"));
    m_actionsLayout = new QHBoxLayout(actions);
    m_actionsLayout->setObjectName(QStringLiteral("actionsLayout"));
    m_actionsLayout->setSpacing(8);
    m_actionsLayout->setContentsMargins(0, 0, 0, 0);
    m_actionsLayout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    m_mainLayout->addWidget(actions);
    m_save = addActionButton(QStringLiteral("buttonSave"), QStringLiteral("Save"));

    restoreGeometry(QSettings().value(GeometryKey).toByteArray());
    fitWindowOntoDesktop(this);
    setSizeGripEnabled(true);
}

QPushButton *DocumentViewer::addActionButton(const QString &name, const QString &text)
{
    auto *button = new QPushButton(text, this);
    button->setObjectName(name);
    QFont font = button->font();
    font.setPointSize(9);
    button->setFont(font);
    button->setCursor(Qt::PointingHandCursor);
    button->setIconSize(QSize(24, 24));
    button->setAutoDefault(false);
    button->setFlat(true);
    // Before the spacer, which is the last item until the PDF viewer appends its tools.
    int spacer = 0;
    while (spacer < m_actionsLayout->count() && !m_actionsLayout->itemAt(spacer)->spacerItem())
        ++spacer;
    m_actionsLayout->insertWidget(spacer, button);
    return button;
}

void DocumentViewer::saveToLocalFile(const QString &proposedName, const QByteArray &bytes)
{
    LocalFiles::saveAs(this, proposedName, bytes);
}

void DocumentViewer::done(int result)
{
    QSettings().setValue(GeometryKey, saveGeometry());
    QDialog::done(result);
}
