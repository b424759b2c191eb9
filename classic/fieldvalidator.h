#pragma once

#include <QValidator>

// Input filter of field editors: the server takes Latin-1 only, so anything else becomes "?";
// upshift fields take upper case only. It never rejects input.
class FieldValidator : public QValidator
{
    Q_OBJECT

public:
    explicit FieldValidator(QObject *parent = nullptr);

    bool upshift() const { return m_upshift; }
    void setUpshift(bool upshift);

    State validate(QString &input, int &pos) const override;

private:
    bool m_upshift = false;
};
