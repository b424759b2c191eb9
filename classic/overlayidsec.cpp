#include "overlayidsec.h"

#include "files/aspectratiopixmaplabel.h"

#include "latin1.h"

#include <QBuffer>
#include <QDebug>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr QSize DesignerSize(615, 431);
constexpr QRect BoxGeometry(60, 40, 362, 250);
constexpr QSize ImageMinimum(80, 80);
constexpr int NameColumn = 0;
constexpr int CategoryColumn = 1;
constexpr int PermissionColumn = 2;
constexpr int ColumnPadding = 4;
constexpr int TablePadding = 24;
// Room the page keeps around the box for its own title, menu and status lines.
constexpr QSize PageReserve(224, 232);

QLabel *cellLabel(const QString &html, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::RichText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setText(html);
    return label;
}

QString escaped(const std::string &text)
{
    return Latin1::toQString(text).toHtmlEscaped();
}

} // namespace

OverlayIdSec::OverlayIdSec(const Pb::IdSec &idSec, QWidget *parent)
    : AbstractDraggableOverlay(parent)
{
    buildForm();
    setDraggableBox(m_box);
    connect(m_closeButton, &QPushButton::clicked, this, &OverlayIdSec::okayButtonPressed);
    connect(this, &AbstractOverlay::titleTextChanged, m_formTitle, &QLabel::setText);

    const QString title = Latin1::toQString(idSec.title());
    setTitleText(title.isEmpty() ? QStringLiteral("Unknown User") : title);
    if (idSec.has_image())
        showPicture(idSec.image());
    fillPermissions(idSec);
    fitToContents();
}

void OverlayIdSec::buildForm()
{
    setObjectName(QStringLiteral("OverlayIdSec"));
    setWindowTitle(QStringLiteral("Form"));
    resize(DesignerSize);

    m_box = framedBox("idSecBox", this);
    m_box->setGeometry(BoxGeometry);
    auto *boxLayout = new QVBoxLayout(m_box);
    boxLayout->setObjectName(QStringLiteral("verticalLayout_3"));
    boxLayout->setSpacing(0);
    boxLayout->setContentsMargins(0, 0, 0, 0);

    QHBoxLayout *headerLayout = addBoxHeader(m_box, boxLayout, &m_formTitle);
    m_formTitle->setTextFormat(Qt::PlainText);
    m_closeButton = headerButton("closeButton", QStringLiteral("theme:close-circle-outline_status.svg"),
                                 headerLayout->parentWidget());
    m_closeButton->setShortcut(QKeySequence(Qt::Key_Escape));
    headerLayout->addWidget(m_closeButton);

    auto *content = new QWidget(m_box);
    content->setObjectName(QStringLiteral("contentWidget"));
    auto *contentLayout = new QHBoxLayout(content);
    contentLayout->setObjectName(QStringLiteral("horizontalLayout_3"));

    m_imageContainer = new QWidget(content);
    m_imageContainer->setObjectName(QStringLiteral("imageContainer"));
    auto *imageLayout = new QVBoxLayout(m_imageContainer);
    imageLayout->setObjectName(QStringLiteral("verticalLayout_4"));
    imageLayout->setSpacing(0);
    imageLayout->setContentsMargins(0, 0, 0, 0);
    m_image = new AspectRatioPixmapLabel(m_imageContainer);
    m_image->setObjectName(QStringLiteral("image"));
    m_image->setMinimumSize(ImageMinimum);
    m_image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    imageLayout->addWidget(m_image);
    imageLayout->addSpacerItem(new QSpacerItem(20, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));
    contentLayout->addWidget(m_imageContainer);

    auto *permissions = new QWidget(content);
    permissions->setObjectName(QStringLiteral("permissionContainer"));
    auto *permissionLayout = new QVBoxLayout(permissions);
    permissionLayout->setObjectName(QStringLiteral("verticalLayout_2"));
    permissionLayout->setContentsMargins(0, 0, 0, 0);
    m_table = new QTableWidget(permissions);
    m_table->setObjectName(QStringLiteral("tableWidget"));
    m_table->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_table->horizontalHeader()->setHighlightSections(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->setVisible(false);
    m_table->verticalHeader()->setHighlightSections(false);
    m_table->verticalHeader()->setStretchLastSection(true);
    permissionLayout->addWidget(m_table);
    permissionLayout->addSpacerItem(new QSpacerItem(20, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));
    contentLayout->addWidget(permissions);
    boxLayout->addWidget(content);
}

void OverlayIdSec::showPicture(const std::string &data)
{
    QByteArray bytes = QByteArray::fromRawData(data.data(), int(data.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // The declared size is checked before anything is decoded: a picture may claim any size.
    const QSize declared = reader.size();
    QImage picture;
    if (declared.isValid() && declared.width() <= MaxPictureSide && declared.height() <= MaxPictureSide)
        picture = reader.read();
    if (picture.isNull()) {
        m_imageContainer->hide();
        qWarning() << "ClassicApplicationWidget::showImage() - invalid image data.";
        return;
    }
    m_image->setPixmap(QPixmap::fromImage(picture));
}

void OverlayIdSec::fillPermissions(const Pb::IdSec &idSec)
{
    if (idSec.permitted_person_size() == 0) {
        m_table->setColumnCount(1);
        m_table->setRowCount(1);
        auto *item = new QTableWidgetItem(tr("No permissions have been granted"));
        item->setTextAlignment(Qt::AlignLeft | Qt::AlignTop);
        m_table->setItem(0, 0, item);
        m_table->horizontalHeader()->hide();
    } else {
        m_table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        m_table->setColumnCount(3);
        m_table->setHorizontalHeaderLabels(
            { QStringLiteral("Name"), QStringLiteral("Category"), QStringLiteral("Permissions") });
        int row = 0;
        for (const Pb::IdSec::PermittedPerson &person : idSec.permitted_person()) {
            if (row >= MaxTableRows) {
                qWarning() << "OverlayIdSec -" << idSec.permitted_person_size()
                           << "permitted persons; the table ends after" << MaxTableRows << "rows";
                break;
            }
            const int first = row;
            m_table->setRowCount(row + 1);
            for (const Pb::IdSec::PermitCategory &category : person.category()) {
                if (row >= MaxTableRows)
                    break;
                m_table->setRowCount(row + 1);
                auto *name = new QTableWidgetItem(Latin1::toQString(category.name()));
                name->setTextAlignment(Qt::AlignLeft | Qt::AlignTop);
                m_table->setItem(row, CategoryColumn, name);
                QStringList permissions;
                for (const std::string &permission : category.permission()) {
                    if (permissions.size() == MaxPermissionLines) {
                        permissions << QStringLiteral("…");
                        break;
                    }
                    permissions << escaped(permission);
                }
                m_table->setCellWidget(row, PermissionColumn,
                                       cellLabel(permissions.join(QLatin1String("<br>")), m_table));
                if (category.permission_size() > 1)
                    m_table->resizeRowToContents(row);
                ++row;
            }
            // A person without categories keeps a row with the name alone.
            if (row == first)
                ++row;
            const int span = row - first;
            if (span > 1)
                m_table->setSpan(first, NameColumn, span, 1);
            const QString nameHtml = person.has_relation()
                ? QStringLiteral("<b>%1</b><br><i>%2</i>")
                      .arg(escaped(person.name()), escaped(person.relation()))
                : QStringLiteral("<b>%1</b>").arg(escaped(person.name()));
            m_table->setCellWidget(first, NameColumn, cellLabel(nameHtml, m_table));
            if (span == 1)
                m_table->resizeRowToContents(first);
        }
    }
    m_table->horizontalHeader()->resizeSections(QHeaderView::ResizeToContents);
    m_table->resizeColumnsToContents();
}

void OverlayIdSec::fitToContents()
{
    QHeaderView *header = m_table->horizontalHeader();
    int columnsWidth = 0;
    for (int column = 0; column < m_table->columnCount(); ++column) {
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
        const int width = header->sectionSize(column) + ColumnPadding;
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        header->resizeSection(column, width);
        columnsWidth += width;
    }
    int rowsHeight = 0;
    for (int row = 0; row < m_table->rowCount(); ++row)
        rowsHeight += m_table->rowHeight(row);
    const QHeaderView *rows = m_table->verticalHeader();
    const QSize wanted((rows->isHidden() ? 0 : rows->width()) + columnsWidth + TablePadding,
                       (header->isHidden() ? 0 : header->sizeHint().height()) + rowsHeight + TablePadding);
    m_table->setMinimumSize(boundedByPage(wanted, PageReserve));
    m_box->adjustSize();
}
