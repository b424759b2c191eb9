#pragma once

#include <QWebEngineView>

// The view of a browser page. The engine asks it for a view to hold each new window the content
// opens; it passes tabs and dialogs on through needNew() and refuses every other kind.
class WebView : public QWebEngineView
{
    Q_OBJECT

public:
    explicit WebView(QWidget *parent = nullptr);

signals:
    // The view to load the new window into; null refuses it.
    WebView *needNew();

protected:
    QWebEngineView *createWindow(QWebEnginePage::WebWindowType type) override;
};
