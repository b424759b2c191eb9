#pragma once

#include <QWidget>

// A round count badge; shows nothing at zero.
class CircleNumberWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CircleNumberWidget(int number = 0, QWidget *parent = nullptr);

    int number() const { return m_number; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return width; }

public slots:
    void setNumber(int number);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_number;
};
