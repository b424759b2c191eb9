#pragma once

#include <QLabel>

// A label whose text is cut with an ellipsis when it is wider than the label.
class ElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    explicit ElidedLabel(const QString &text, QWidget *parent = nullptr,
                         Qt::WindowFlags flags = Qt::WindowFlags());

    void setText(const QString &text);
    void setElideMode(Qt::TextElideMode mode);
    Qt::TextElideMode elideMode() const { return m_mode; }
    // Computed from the current font and width, so style-sheet font changes are taken into account.
    QString elidedText() const;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Qt::TextElideMode m_mode = Qt::ElideRight;
};
