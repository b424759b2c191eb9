#pragma once

#include <QUiLoader>

// Builds screens from the server's Designer documents: the standard Qt widgets plus the six
// screen classes (ZuScreen, ZuFieldWidget, ZuGroup, ZuGroupContainer, ZuHiddenField,
// ZuHiddenFieldContainer). Screens need no Designer plugins, so construction keeps QUiLoader from
// scanning the plugin folders (a scan costs tens of milliseconds and megabytes on first use).
class ZuUiLoader : public QUiLoader
{
    Q_OBJECT

public:
    explicit ZuUiLoader(QObject *parent = nullptr);

    QWidget *createWidget(const QString &className, QWidget *parent = nullptr,
                          const QString &name = QString()) override;
    // Qt's form builder uses the layout without checking it; an unknown class gets a stand-in
    // grid here and fails the document in loadDocument().
    QLayout *createLayout(const QString &className, QObject *parent = nullptr,
                          const QString &name = QString()) override;

    // Loads one document with no parent widget, in one reading by ScreenBuilder where it knows
    // all the document uses, else with a fresh loader. Returns the root widget (owned by the
    // caller) or null, with the loader's error text in errorString when one is given.
    static QWidget *loadDocument(const QByteArray &document, QString *errorString = nullptr);
    // The same with a fresh loader always: the limits checked in a first reading, QUiLoader's
    // in a second.
    static QWidget *loadWithQUiLoader(const QByteArray &document, QString *errorString = nullptr);

private:
    class LibraryPathsCleared;
    ZuUiLoader(const LibraryPathsCleared &, QObject *parent);

    QString m_unknownLayout;
};
