#pragma once

#include <QTextDocument>

// A text document that loads no resources: markup from the server may name pictures or style
// sheets, and the default loader would read them from the workstation's files or the network.
class OfflineTextDocument : public QTextDocument
{
    Q_OBJECT

public:
    explicit OfflineTextDocument(QObject *parent = nullptr);

protected:
    QVariant loadResource(int type, const QUrl &name) override;
};
