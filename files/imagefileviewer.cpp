#include "imagefileviewer.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

ImageFileViewer::ImageFileViewer(const QString &name, const QByteArray &data, const QPixmap &pixmap,
                                 QWidget *parent)
    : DocumentViewer(QStringLiteral("imageFileViewer"), QSize(400, 300), parent)
    , m_image(nullptr)
    , m_name(name)
    , m_data(data)
{
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scrollArea"));
    scroll->setWidgetResizable(true);
    auto *contents = new QWidget;
    contents->setObjectName(QStringLiteral("scrollAreaWidgetContents"));
    auto *contentsLayout = new QVBoxLayout(contents);
    contentsLayout->setObjectName(QStringLiteral("verticalLayout_2"));
    m_image = new QLabel(contents);
    m_image->setObjectName(QStringLiteral("labelImage"));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setVerticalStretch(1);
    m_image->setSizePolicy(policy);
    m_image->setAlignment(Qt::AlignCenter);
    m_image->setPixmap(pixmap);
    contentsLayout->addWidget(m_image);
    scroll->setWidget(contents);
    mainLayout()->addWidget(scroll);

    setWindowTitle(name);
    connect(saveButton(), &QPushButton::clicked, this, &ImageFileViewer::clickedSave);
}

void ImageFileViewer::clickedSave()
{
    saveToLocalFile(m_name, m_data);
}
