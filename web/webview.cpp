#include "webview.h"

#include <QDebug>
#include <QMetaEnum>

WebView::WebView(QWidget *parent)
    : QWebEngineView(parent)
{ }

QWebEngineView *WebView::createWindow(QWebEnginePage::WebWindowType type)
{
    qDebug() << "createWindow! type:" << QMetaEnum::fromType<QWebEnginePage::WebWindowType>().valueToKey(type);
    switch (type) {
    case QWebEnginePage::WebBrowserTab:
    case QWebEnginePage::WebDialog:
        return emit needNew();
    case QWebEnginePage::WebBrowserWindow:
    case QWebEnginePage::WebBrowserBackgroundTab:
        break;
    }
    qWarning() << "New browser type not supported!!!";
    return nullptr;
}
