#include "filedialogprint.h"

#include "menu/mainconnection.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTreeView>

FileDialogPrint::FileDialogPrint(MainConnection *connection, QWidget *parent)
    : FileDialogBase(QStringLiteral("File: Print"), parent)
    , m_printers(new QComboBox(this))
    , m_formType(new QLineEdit(this))
{
    m_printers->setObjectName(QStringLiteral("printBox"));
    m_formType->setObjectName(QStringLiteral("formEdit"));

    // Name and description side by side: the popup is a two-column list.
    auto *model = new QStandardItemModel(0, 2, m_printers);
    const QVector<QStringList> printers = connection ? connection->printers() : QVector<QStringList>();
    for (const QStringList &printer : printers) {
        const QString name = printer.value(0);
        const QString description = printer.value(1);
        model->appendRow({ new QStandardItem(name),
                           new QStandardItem(description == name ? QString() : description) });
    }
    auto *view = new QTreeView(m_printers);
    view->setHeaderHidden(true);
    view->setRootIsDecorated(false);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setAllColumnsShowFocus(true);
    m_printers->setModel(model);
    m_printers->setView(view);
    view->header()->setStretchLastSection(false);
    view->resizeColumnToContents(0);
    view->resizeColumnToContents(1);
    view->setMinimumWidth(view->header()->length() + view->frameWidth() * 2);
    const int preferred = connection ? m_printers->findText(connection->defaultPrinter()) : -1;
    if (preferred >= 0)
        m_printers->setCurrentIndex(preferred);

    addRow(QStringLiteral("Printer"), m_printers);
    addRow(QStringLiteral("Output Form Type"), m_formType);
    addButtons(QStringLiteral("Print"));
}

QString FileDialogPrint::printer() const
{
    return m_printers->currentText();
}

QString FileDialogPrint::formType() const
{
    return m_formType->text();
}
