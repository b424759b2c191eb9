#pragma once

#include "abstractdraggableoverlay.h"

#include <memory>

class QFrame;
class QLabel;
class QPushButton;
class GridLookupSortModel;
class QStandardItemModel;
class TableViewNoSearch;
class TypeAheadFinder;

// A server record lookup (GridLookup) as a sortable table over the page. The model comes from the
// session ready made: typed sort values make numbers and dates sort by value, and column 0 of each
// row carries the row's id, which is what accepted() reports. In the table, Space, O and Return
// accept the current row, C cancels; Escape and the cancel buttons cancel too. Other typed
// characters find the next row whose sort column starts with them (and once a search is under way,
// Space, O and C are part of it). Ctrl+C copies the selected rows (all when none is selected) as
// tab-separated text; Export writes them as a CSV file.
class OverlayGridLookup : public AbstractDraggableOverlay
{
    Q_OBJECT

public:
    // Takes the model over (it becomes the table view's child).
    explicit OverlayGridLookup(const QString &title, QStandardItemModel *model,
                               const QList<int> &hiddenColumns, QWidget *parent = nullptr);

    ~OverlayGridLookup() override;

    RingMenuWidget *ringMenu() const override { return nullptr; }
    TableViewNoSearch *tableView() const { return m_view; }
    // The model as handed in, in the server's order; the table shows it through sortModel().
    QStandardItemModel *model() const { return m_model; }
    GridLookupSortModel *sortModel() const { return m_sortModel; }
    QList<int> hiddenColumns() const { return m_hiddenColumns; }

signals:
    void accepted(int key);
    void rejected();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void itemActivated(const QModelIndex &index);
    void okayClicked();
    void printClicked();
    void copyRows();
    void exportRows();

private:
    void buildForm();
    void fitToContents();
    int rowIdAt(const QModelIndex &index) const;
    QList<int> selectedRows() const;

    QFrame *m_selectionBox = nullptr;
    QLabel *m_formTitle = nullptr;
    QPushButton *m_printButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QLabel *m_sortLabel = nullptr;
    TableViewNoSearch *m_view = nullptr;
    QLabel *m_recordCountLabel = nullptr;
    QPushButton *m_okayButton = nullptr;
    QPushButton *m_cancelButton2 = nullptr;
    QStandardItemModel *m_model = nullptr;
    GridLookupSortModel *m_sortModel = nullptr;
    QList<int> m_hiddenColumns;
    std::unique_ptr<TypeAheadFinder> m_finder;
};
