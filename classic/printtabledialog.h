#pragma once

#include <QDialog>
#include <QPointer>
#include <QPrintPreviewWidget>
#include <QStringList>
#include <QVector>

#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPrinter;
class QPushButton;
class QStandardItemModel;

// Prints a grid lookup's records as a table. The user edits the title, picks the columns (hidden
// columns are not offered), chooses a printer or a PDF file and its page setup, and watches a live
// preview; Print asks the system print dialog (or, for a PDF file, where to save it) and prints.
// Every change of printer replaces the printer and the preview; every rendering copies the chosen
// columns and gives each a width in proportion to its longest text.
class PrintTableDialog : public QDialog
{
    Q_OBJECT

public:
    // The printer choice that writes a PDF file: offered on every machine, printers or not.
    static constexpr char PdfChoice[] = "PDF file";

    // The model stays the caller's; the dialog only reads it.
    PrintTableDialog(const QString &title, QStandardItemModel *model, const QList<int> &hiddenColumns,
                     QWidget *parent = nullptr);
    ~PrintTableDialog() override;

    // The model's rows in the order to print them (as the user sorted the table); the model's own
    // order when not given.
    void setRowOrder(const QVector<int> &sourceRows) { m_rowOrder = sourceRows; }

    QPrinter *printer() const { return m_printer.get(); }
    QPrintPreviewWidget *preview() const { return m_preview; }
    const QVector<QCheckBox *> &columnBoxes() const { return m_columnBoxes; }

private slots:
    void currentPrinterChanged(const QString &printerName);
    void systemDialogClicked();
    void renderToPrinter(QPrinter *printer);

private:
    void buildForm();
    void addColumnBoxes(const QList<int> &hiddenColumns);
    void fillPrinterChoice();
    bool pdfChosen() const;
    // Asks where the PDF goes, then prints it there; nothing when the user cancels.
    void choosePdfFile();
    void updatePreview();
    void printFromPreview(const QString &target);

    QLineEdit *m_titleEdit = nullptr;
    QWidget *m_columnScrollContents = nullptr;
    QComboBox *m_printerCombo = nullptr;
    QPushButton *m_pageSetupButton = nullptr;
    QGroupBox *m_previewFrame = nullptr;
    QPushButton *m_printButton = nullptr;
    QPushButton *m_cancelButton = nullptr;

    QPointer<QStandardItemModel> m_model;
    std::unique_ptr<QPrinter> m_printer;
    QVector<QCheckBox *> m_columnBoxes;
    QStringList m_columnTitles; // the header texts the boxes show, as they are printed
    QVector<int> m_rowOrder;
    QPointer<QPrintPreviewWidget> m_preview;
    bool m_printerFailed = false;
};
