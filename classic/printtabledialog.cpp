#include "printtabledialog.h"

#include "printpageheader.h"
#include "tablerenderer.h"

#include "utils/formparts.h"
#include "utils/openprompt.h"
#include "utils/savednotice.h"
#include "utils/windowfit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSet>
#include <QSettings>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {

constexpr QSize DesignerSize(752, 638);
constexpr QSize ColumnScrollContentsSize(140, 366);
constexpr int PdfChoiceRole = Qt::UserRole;
constexpr int CellPadding = 2; // characters added to a column's longest text
constexpr char ColumnIndexProperty[] = "columnIndex";
constexpr char DownloadLocationKey[] = "downloadLocation";
constexpr char PdfSuffix[] = "pdf";

QGroupBox *groupBox(const char *name, const QString &title, QWidget *parent)
{
    return named(new QGroupBox(title, parent), name);
}

} // namespace

PrintTableDialog::PrintTableDialog(const QString &title, QStandardItemModel *model,
                                   const QList<int> &hiddenColumns, QWidget *parent)
    : QDialog(parent)
    , m_model(model)
{
    buildForm();
    m_titleEdit->setText(title);
    m_titleEdit->selectAll();
    addColumnBoxes(hiddenColumns);
    fillPrinterChoice();

    connect(m_pageSetupButton, &QPushButton::clicked, this, [this] {
        openPrompt(new QPageSetupDialog(m_printer.get(), this), this,
                   [this](QPageSetupDialog *, int) { updatePreview(); });
    });
    connect(m_printButton, &QPushButton::clicked, this, &PrintTableDialog::systemDialogClicked);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    setSizeGripEnabled(true);
}

PrintTableDialog::~PrintTableDialog()
{
    // The preview paints on the printer: it goes first.
    delete m_preview;
}

void PrintTableDialog::buildForm()
{
    setObjectName(QStringLiteral("PrintTableDialog"));
    setWindowTitle(QStringLiteral("Table Print"));
    resize(DesignerSize);
    fitWindowOntoDesktop(this);
    auto *mainLayout = namedLayout<QVBoxLayout>("verticalLayout_3", this);

    auto *upperPane = new QWidget(this);
    upperPane->setObjectName(QStringLiteral("upperPaneWidget"));
    auto *upperLayout = namedLayout<QHBoxLayout>("horizontalLayout_3", upperPane);
    upperLayout->setSpacing(6);
    upperLayout->setContentsMargins(0, 0, 0, 0);

    auto *leftPane = new QWidget(upperPane);
    leftPane->setObjectName(QStringLiteral("leftPaneWidget"));
    auto *leftLayout = namedLayout<QVBoxLayout>("verticalLayout_2", leftPane);
    leftLayout->setContentsMargins(0, 0, 0, 0);

    QGroupBox *titleBox = groupBox("titleBox", QStringLiteral("Title"), leftPane);
    auto *titleLayout = namedLayout<QVBoxLayout>("verticalLayout_4", titleBox);
    titleLayout->setContentsMargins(0, 0, 0, 0);
    m_titleEdit = new QLineEdit(titleBox);
    m_titleEdit->setObjectName(QStringLiteral("titleEdit"));
    titleLayout->addWidget(m_titleEdit);
    leftLayout->addWidget(titleBox);

    QGroupBox *columnsBox = groupBox("groupBox", QStringLiteral("Columns"), leftPane);
    columnsBox->setFlat(false);
    columnsBox->setCheckable(false);
    auto *columnsLayout = namedLayout<QVBoxLayout>("verticalLayout", columnsBox);
    columnsLayout->setContentsMargins(0, 0, 0, 0);
    auto *columnScroll = new QScrollArea(columnsBox);
    columnScroll->setObjectName(QStringLiteral("columnScroll"));
    columnScroll->setAutoFillBackground(true);
    columnScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    columnScroll->setWidgetResizable(true);
    m_columnScrollContents = new QWidget;
    m_columnScrollContents->setObjectName(QStringLiteral("columnScrollContents"));
    m_columnScrollContents->setGeometry(QRect(QPoint(0, 0), ColumnScrollContentsSize));
    m_columnScrollContents->setAutoFillBackground(false);
    columnScroll->setWidget(m_columnScrollContents);
    columnsLayout->addWidget(columnScroll);
    leftLayout->addWidget(columnsBox);

    QGroupBox *printerBox = groupBox("printerBox", QStringLiteral("Printer"), leftPane);
    auto *printerLayout = namedLayout<QVBoxLayout>("verticalLayout_6", printerBox);
    m_printerCombo = new QComboBox(printerBox);
    m_printerCombo->setObjectName(QStringLiteral("printerCombo"));
    printerLayout->addWidget(m_printerCombo);
    m_pageSetupButton = new QPushButton(QStringLiteral("Page Setup..."), printerBox);
    m_pageSetupButton->setObjectName(QStringLiteral("pageSetupButton"));
    printerLayout->addWidget(m_pageSetupButton);
    leftLayout->addWidget(printerBox);

    m_previewFrame = groupBox("previewFrame", QStringLiteral("Preview"), upperPane);
    upperLayout->addWidget(leftPane);
    upperLayout->addWidget(m_previewFrame, 1);
    mainLayout->addWidget(upperPane, 1);

    auto *buttonBox = new QWidget(this);
    buttonBox->setObjectName(QStringLiteral("dialogButtonBox"));
    auto *buttonLayout = namedLayout<QHBoxLayout>("horizontalLayout", buttonBox);
    buttonLayout->addSpacerItem(new QSpacerItem(140, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    m_printButton = new QPushButton(QStringLiteral("Print..."), buttonBox);
    m_printButton->setObjectName(QStringLiteral("printButton"));
    m_printButton->setDefault(true);
    buttonLayout->addWidget(m_printButton);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), buttonBox);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    buttonLayout->addWidget(m_cancelButton);
    mainLayout->addWidget(buttonBox);

    auto *previewLayout = new QVBoxLayout(m_previewFrame);
    previewLayout->setContentsMargins(0, 0, 0, 0);
}

void PrintTableDialog::addColumnBoxes(const QList<int> &hiddenColumns)
{
    auto *layout = new QVBoxLayout(m_columnScrollContents);
    const QSet<int> hidden(hiddenColumns.cbegin(), hiddenColumns.cend());
    int unnamed = 1;
    const int columns = m_model ? m_model->columnCount() : 0;
    for (int column = 0; column < columns; ++column) {
        if (hidden.contains(column))
            continue;
        const QVariant header = m_model->headerData(column, Qt::Horizontal, Qt::DisplayRole);
        const QString title = header.isNull() || !header.canConvert<QString>()
            ? QStringLiteral("Unnamed %1").arg(unnamed++)
            : header.toString();
        // A check box reads & as a shortcut marker; the header is shown as it is.
        QString boxText = title;
        auto *box
            = new QCheckBox(boxText.replace(QLatin1Char('&'), QLatin1String("&&")), m_columnScrollContents);
        box->setChecked(true);
        box->setProperty(ColumnIndexProperty, column);
        layout->addWidget(box);
        m_columnBoxes.append(box);
        m_columnTitles.append(title);
    }
    layout->addStretch();
}

void PrintTableDialog::fillPrinterChoice()
{
    m_printerCombo->addItems(QPrinterInfo::availablePrinterNames());
    m_printerCombo->addItem(QLatin1String(PdfChoice), true);
    const int defaultIndex = m_printerCombo->findText(QPrinterInfo::defaultPrinterName());
    // Without a default printer the first entry is chosen: a printer, or the PDF file alone.
    m_printerCombo->setCurrentIndex(qMax(0, defaultIndex));
    currentPrinterChanged(m_printerCombo->currentText());
    // By position, not by text: a printer may be called like the PDF choice.
    connect(m_printerCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this](int index) { currentPrinterChanged(m_printerCombo->itemText(index)); });
}

bool PrintTableDialog::pdfChosen() const
{
    return m_printerCombo->currentData(PdfChoiceRole).toBool();
}

void PrintTableDialog::currentPrinterChanged(const QString &printerName)
{
    delete m_preview;
    m_printer.reset();
    if (pdfChosen()) {
        m_printer = std::make_unique<QPrinter>(QPrinter::ScreenResolution);
        m_printer->setOutputFormat(QPrinter::PdfFormat);
    } else {
        m_printer
            = std::make_unique<QPrinter>(QPrinterInfo::printerInfo(printerName), QPrinter::ScreenResolution);
    }

    m_preview = new QPrintPreviewWidget(m_printer.get(), this);
    m_preview->setViewMode(QPrintPreviewWidget::SinglePageView);
    m_preview->setZoomMode(QPrintPreviewWidget::FitInView);
    m_previewFrame->layout()->addWidget(m_preview);
    connect(m_preview, &QPrintPreviewWidget::paintRequested, this, &PrintTableDialog::renderToPrinter);
    connect(m_titleEdit, &QLineEdit::editingFinished, m_preview, &QPrintPreviewWidget::updatePreview);
    for (QCheckBox *box : qAsConst(m_columnBoxes))
        connect(box, &QCheckBox::toggled, m_preview, &QPrintPreviewWidget::updatePreview);
}

void PrintTableDialog::updatePreview()
{
    if (m_preview)
        m_preview->updatePreview();
}

void PrintTableDialog::choosePdfFile()
{
    QSettings settings;
    // The folder of the last save, else the documents folder, else home: the file dialog would
    // fall back to the working directory for a folder that does not exist.
    QString folder;
    for (const QString &candidate :
         { settings.value(QLatin1String(DownloadLocationKey)).toString(),
           QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), QDir::homePath() }) {
        if (!candidate.isEmpty() && QDir(candidate).exists()) {
            folder = candidate;
            break;
        }
    }
    // The title may come from the server: only plain characters go into the proposed name.
    QString name = m_titleEdit->text().trimmed();
    name.replace(QRegularExpression(QStringLiteral("[^\\w .-]")), QStringLiteral("_"));
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QStringLiteral("table"));
    auto *dialog = new QFileDialog(this, QStringLiteral("Print to PDF file"),
                                   QDir(folder).filePath(name + QLatin1Char('.') + PdfSuffix),
                                   QStringLiteral("PDF files (*.pdf)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    // The dialog adds the suffix itself, so its overwrite question is about the file written.
    dialog->setDefaultSuffix(QLatin1String(PdfSuffix));
    openPrompt(dialog, this, [this](QFileDialog *dialog, int result) {
        const QStringList files = dialog->selectedFiles();
        if (result != QDialog::Accepted || files.isEmpty())
            return;
        const QString file = files.first();
        QSettings().setValue(QLatin1String(DownloadLocationKey), QFileInfo(file).absolutePath());
        m_printer->setOutputFileName(file);
        updatePreview();
        printFromPreview(file);
    });
}

void PrintTableDialog::systemDialogClicked()
{
    if (pdfChosen()) {
        choosePdfFile();
        return;
    }
    auto *dialog = new QPrintDialog(m_printer.get(), this);
    dialog->setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog->setOption(QAbstractPrintDialog::PrintCollateCopies, false);
    openPrompt(dialog, this, [this](QPrintDialog *, int result) {
        updatePreview();
        if (result == QDialog::Accepted)
            printFromPreview(m_printer->printerName());
    });
}

void PrintTableDialog::printFromPreview(const QString &target)
{
    if (!m_preview)
        return;
    m_printerFailed = false;
    m_preview->print();
    if (m_printerFailed) {
        auto *box = new QMessageBox(QMessageBox::Warning, windowTitle(),
                                    QStringLiteral("The table could not be printed: %1 cannot be opened.").arg(target),
                                    QMessageBox::Ok, this);
        box->setTextFormat(Qt::PlainText);
        openPrompt(box, this, [](QMessageBox *, int) {});
        return;
    }
    // The dialog goes with accept(): the notice belongs to what opened it.
    if (pdfChosen())
        SavedNotice::savedTo(parentWidget(), target);
    else
        SavedNotice::notify(parentWidget(),
                            QStringLiteral("The table was sent to the printer %1.").arg(target));
    accept();
}

void PrintTableDialog::renderToPrinter(QPrinter *printer)
{
    QVector<int> columns;
    QStringList titles;
    for (int i = 0; i < m_columnBoxes.size(); ++i) {
        if (m_columnBoxes.at(i)->isChecked()) {
            columns.append(m_columnBoxes.at(i)->property(ColumnIndexProperty).toInt());
            titles.append(m_columnTitles.at(i));
        }
    }
    if (columns.isEmpty()) {
        qInfo() << "No columns selected";
        return;
    }
    if (!m_model) {
        qWarning() << "PrintTableDialog::renderToPrinter() - the table is gone";
        return;
    }

    QVector<int> sourceRows;
    for (int row : qAsConst(m_rowOrder)) {
        if (row >= 0 && row < m_model->rowCount())
            sourceRows.append(row);
    }
    if (m_rowOrder.isEmpty()) {
        for (int row = 0; row < m_model->rowCount(); ++row)
            sourceRows.append(row);
    }
    QStandardItemModel copy(sourceRows.size(), columns.size());
    QVector<int> longest(columns.size(), 0);
    for (int row = 0; row < sourceRows.size(); ++row) {
        for (int k = 0; k < columns.size(); ++k) {
            if (const QStandardItem *item = m_model->item(sourceRows.at(row), columns.at(k))) {
                copy.setItem(row, k, item->clone());
                longest[k] = qMax(longest.at(k), item->text().trimmed().size());
            }
        }
    }
    QVector<int> stretches(columns.size());
    for (int k = 0; k < columns.size(); ++k) {
        const QStandardItem *source = m_model->horizontalHeaderItem(columns.at(k));
        QStandardItem *header = source ? source->clone() : new QStandardItem;
        header->setText(titles.at(k));
        copy.setHorizontalHeaderItem(k, header);
        // A column without any text would get no width at all: its header gives it one.
        const int length = longest.at(k) > 0 ? longest.at(k) : titles.at(k).trimmed().size();
        stretches[k] = length + CellPadding;
    }

    printer->setDocName(m_titleEdit->text());
    QPainter painter;
    if (!painter.begin(printer)) {
        qWarning() << "Cannot start printer";
        m_printerFailed = true;
        return;
    }
    TableRenderer renderer(&painter, printer);
    PrintPageHeader pageHeader(m_titleEdit->text());
    renderer.setPagePreparer(&pageHeader);
    QPen pen = painter.pen();
    pen.setWidth(0);
    renderer.setPen(pen);
    QFont headerFont = painter.font();
    headerFont.setWeight(QFont::Bold);
    renderer.setHeaderFont(headerFont);
    if (!renderer.renderTable(&copy, stretches))
        qWarning() << "PrintTableDialog::renderToPrinter() -" << renderer.errorMessage();
    painter.end();
}
