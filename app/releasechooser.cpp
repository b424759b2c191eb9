#include "releasechooser.h"

#include "style/stylemanager.h"
#include "utils/windowfit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

ReleaseChooser::ReleaseChooser(QWidget *parent)
    : QDialog(parent)
    , m_group(new QButtonGroup(this))
{
    setObjectName(QStringLiteral("ReleaseChooser"));
    setModal(true);
    setWindowTitle(QStringLiteral("Halvorne ZU"));
    setStyleSheet(StyleManager::unthemedStyleSheet());
    auto *layout = new QVBoxLayout(this);

    auto *title = new QLabel(QStringLiteral("Select a Release"), this);
    title->setObjectName(QStringLiteral("releaseTitle"));
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    title->setFont(titleFont);
    layout->addWidget(title);

    auto *body
        = new QLabel(QStringLiteral("Check the box below in order to automatically connect to the selected "
                                    "release the next time you log in."),
                     this);
    body->setObjectName(QStringLiteral("releaseBody"));
    body->setWordWrap(true);
    layout->addWidget(body);

    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    auto *frame = new QFrame(scroll);
    frame->setObjectName(QStringLiteral("releaseFrame"));
    m_releaseLayout = new QVBoxLayout(frame);
    m_releaseLayout->addStretch(1);
    scroll->setWidget(frame);
    layout->addWidget(scroll, 1);

    auto *footerFrame = new QFrame(this);
    footerFrame->setObjectName(QStringLiteral("releaseFooter"));
    auto *footer = new QHBoxLayout(footerFrame);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), footerFrame);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    m_makeDefault = new QCheckBox(QStringLiteral("Make this my default release."), footerFrame);
    m_makeDefault->setObjectName(QStringLiteral("makeDefaultCB"));
    auto *select = new QPushButton(QStringLiteral("Select"), footerFrame);
    select->setObjectName(QStringLiteral("selectButton"));
    select->setDefault(true);
    footer->addWidget(cancel);
    footer->addStretch(1);
    footer->addWidget(m_makeDefault);
    footer->addWidget(select);
    layout->addWidget(footerFrame);

    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(select, &QPushButton::clicked, this, &QDialog::accept);
    resize(420, 320);
    fitWindowOntoDesktop(this);
}

void ReleaseChooser::setReleases(const MainConnection::ReleaseList &releases)
{
    m_releases = releases;
    for (QAbstractButton *button : m_group->buttons()) {
        m_group->removeButton(button);
        delete button;
    }
    for (int i = 0; i < releases.size(); ++i) {
        auto *button = new QRadioButton(releases.at(i).title, m_releaseLayout->parentWidget());
        m_group->addButton(button, i);
        m_releaseLayout->insertWidget(i, button);
        button->setChecked(i == 0);
    }
}

void ReleaseChooser::setDefault(const QString &key)
{
    for (int i = 0; i < m_releases.size(); ++i)
        if (m_releases.at(i).key == key)
            m_group->button(i)->setChecked(true);
}

MainConnection::Release ReleaseChooser::selectedRelease() const
{
    const int id = m_group->checkedId();
    return id >= 0 && id < m_releases.size() ? m_releases.at(id) : MainConnection::Release();
}

bool ReleaseChooser::makeDefault() const
{
    return m_makeDefault->isChecked();
}
