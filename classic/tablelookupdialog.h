#pragma once

#include <QDialog>
#include <QPointer>

class QStandardItemModel;
class QTreeView;

// The drop-down list of a table lookup: a popup just below the field it was opened for, one row per
// item, one column per tab-separated part. It reports the first column of the chosen row, or the
// field's text from when it opened if the user cancels (Escape or a click outside). It reports
// once: a double click or a selection followed by Escape gives the server a single answer.
class TableLookupDialog : public QDialog
{
    Q_OBJECT

public:
    // More choices than a person could scroll through are refused before the list is built.
    static constexpr int MaxItems = 100000;

    explicit TableLookupDialog(QWidget *anchor, const QStringList &items, const QString &currentValue,
                               QWidget *parent = nullptr);

    QSize sizeHint() const override;

    QTreeView *view() const { return m_view; }
    QStandardItemModel *model() const { return m_model; }
    QString initialValue() const { return m_initialValue; }

    // Columns of a table lookup: fixed by its first item (one trailing tab ignored).
    static int columnCountFor(const QStringList &items);
    // The parts of one item, all trailing tabs removed.
    static QStringList partsOf(const QString &item);

public slots:
    void reject() override;

signals:
    void itemSelected(const QString &data);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void p_itemSelected(const QModelIndex &index);

private:
    void placeUnderAnchor();
    void report(const QString &value);

    QTreeView *m_view;
    QStandardItemModel *m_model;
    QPointer<QWidget> m_anchor;
    QString m_initialValue;
    bool m_reported = false;
};
