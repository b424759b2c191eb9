#include "pdffileviewer.h"

#include "pageselector.h"
#include "zoomselector.h"

#include <QBuffer>
#include <QHBoxLayout>
#include <QPdfDocument>
#include <QPdfView>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int ToolMaximumWidth = 150;
}

PdfFileViewer::PdfFileViewer(const QString &name, const QByteArray &data, QWidget *parent)
    : DocumentViewer(QStringLiteral("PdfFileViewer"), QSize(400, 300), parent)
    , m_zoomSelector(new ZoomSelector(this))
    , m_pageSelector(new PageSelector(this))
    , m_document(new QPdfDocument(this))
    , m_view(new QPdfView(this))
    , m_name(name)
    , m_data(data)
{
    m_view->setObjectName(QStringLiteral("pdfView"));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setVerticalStretch(1);
    m_view->setSizePolicy(policy);
    mainLayout()->addWidget(m_view);

    auto *zoomOut = new QPushButton(this);
    zoomOut->setObjectName(QStringLiteral("buttonZoomOut"));
    auto *zoomIn = new QPushButton(this);
    zoomIn->setObjectName(QStringLiteral("buttonZoomIn"));
    for (QPushButton *button : { zoomOut, zoomIn }) {
        button->setFlat(true);
        button->setIconSize(QSize(24, 24));
        button->setCursor(Qt::PointingHandCursor);
        button->setAutoDefault(false);
    }
    m_zoomSelector->setMaximumWidth(ToolMaximumWidth);
    m_pageSelector->setMaximumWidth(ToolMaximumWidth);
    actionsLayout()->addWidget(zoomOut);
    actionsLayout()->addWidget(m_zoomSelector);
    actionsLayout()->addWidget(zoomIn);
    actionsLayout()->addWidget(m_pageSelector);
    connect(zoomOut, &QPushButton::clicked, m_zoomSelector, &ZoomSelector::zoomOut);
    connect(zoomIn, &QPushButton::clicked, m_zoomSelector, &ZoomSelector::zoomIn);
    connect(m_zoomSelector, &ZoomSelector::zoomModeChanged, m_view, &QPdfView::setZoomMode);
    connect(m_zoomSelector, &ZoomSelector::zoomFactorChanged, m_view, &QPdfView::setZoomFactor);
    m_zoomSelector->reset();

    setWindowTitle(name);
    connect(saveButton(), &QPushButton::clicked, this, &PdfFileViewer::clickedSave);

    // The document reads from the buffer for as long as it is shown.
    auto *buffer = new QBuffer(this);
    buffer->setData(data);
    buffer->open(QIODevice::ReadOnly);
    connect(m_document, &QPdfDocument::statusChanged, this, &PdfFileViewer::updateTitle);
    m_document->load(buffer);
    updateTitle();

    m_view->setPageMode(QPdfView::MultiPage);
    m_view->setDocument(m_document);
    m_pageSelector->setPageNavigation(m_view->pageNavigation());
}

// The document closes itself when it is deleted with the other children, and reports that.
PdfFileViewer::~PdfFileViewer()
{
    m_document->disconnect(this);
}

void PdfFileViewer::updateTitle()
{
    const QString title = m_document->metaData(QPdfDocument::Title).toString();
    setWindowTitle(title.isEmpty() ? m_name : QStringLiteral("%1 (%2)").arg(title, m_name));
}

void PdfFileViewer::clickedSave()
{
    saveToLocalFile(m_name, m_data);
}
