#include "zuuiloader.h"

#include "zufieldwidget.h"
#include "zugroup.h"
#include "zugroupcontainer.h"
#include "zuhiddenfield.h"
#include "zuhiddenfieldcontainer.h"
#include "zuscreen.h"
#include "screenbuilder.h"
#include "screendocumentlimits.h"

#include <QBuffer>
#include <QCoreApplication>

#include <memory>

// QUiLoader's constructor scans "designer" below every library path; emptying the paths for its
// duration is the only way to skip that, clearPluginPaths() afterwards is too late.
class ZuUiLoader::LibraryPathsCleared
{
public:
    LibraryPathsCleared()
        : m_saved(QCoreApplication::libraryPaths())
    {
        QCoreApplication::setLibraryPaths({});
    }
    ~LibraryPathsCleared() { QCoreApplication::setLibraryPaths(m_saved); }
    Q_DISABLE_COPY(LibraryPathsCleared)

private:
    QStringList m_saved;
};

ZuUiLoader::ZuUiLoader(QObject *parent)
    : ZuUiLoader(LibraryPathsCleared(), parent)
{ }

// The temporary guard of the delegating constructor lives until this body has run.
ZuUiLoader::ZuUiLoader(const LibraryPathsCleared &, QObject *parent)
    : QUiLoader(parent)
{
    clearPluginPaths();
}

QWidget *ZuUiLoader::createWidget(const QString &className, QWidget *parent, const QString &name)
{
    QWidget *widget = nullptr;
    if (className == QLatin1String("ZuFieldWidget"))
        widget = new ZuFieldWidget(parent);
    else if (className == QLatin1String("ZuGroup"))
        widget = new ZuGroup(parent);
    else if (className == QLatin1String("ZuGroupContainer"))
        widget = new ZuGroupContainer(parent);
    else if (className == QLatin1String("ZuHiddenField"))
        widget = new ZuHiddenField(parent);
    else if (className == QLatin1String("ZuHiddenFieldContainer"))
        widget = new ZuHiddenFieldContainer(parent);
    else if (className == QLatin1String("ZuScreen"))
        widget = new ZuScreen(parent);
    else
        return QUiLoader::createWidget(className, parent, name);
    widget->setObjectName(name);
    return widget;
}

QLayout *ZuUiLoader::createLayout(const QString &className, QObject *parent, const QString &name)
{
    if (QLayout *layout = QUiLoader::createLayout(className, parent, name))
        return layout;
    if (m_unknownLayout.isEmpty())
        m_unknownLayout = className;
    return QUiLoader::createLayout(QStringLiteral("QGridLayout"), parent, name);
}

QWidget *ZuUiLoader::loadDocument(const QByteArray &document, QString *errorString)
{
    if (document.size() <= ScreenDocumentLimits::MaxBytes) {
        ScreenBuilder builder(document);
        switch (builder.build()) {
        case ScreenBuilder::Outcome::Built:
            if (errorString)
                errorString->clear();
            return builder.takeRoot();
        case ScreenBuilder::Outcome::Refused:
            if (errorString)
                *errorString = builder.errorString();
            return nullptr;
        case ScreenBuilder::Outcome::Unsupported:
            break;
        }
    }
    return loadWithQUiLoader(document, errorString);
}

QWidget *ZuUiLoader::loadWithQUiLoader(const QByteArray &document, QString *errorString)
{
    const QString refused = ScreenDocumentLimits::check(document);
    if (!refused.isEmpty()) {
        if (errorString)
            *errorString = refused;
        return nullptr;
    }
    QBuffer buffer;
    buffer.setData(document);
    buffer.open(QIODevice::ReadOnly);
    ZuUiLoader loader;
    std::unique_ptr<QWidget> root(loader.load(&buffer, nullptr));
    QString error = root ? QString() : loader.errorString();
    if (root && !loader.m_unknownLayout.isEmpty()) {
        error = QStringLiteral("The screen uses the unknown layout class \"%1\"").arg(loader.m_unknownLayout);
        root.reset();
    }
    if (errorString)
        *errorString = error;
    return root.release();
}
