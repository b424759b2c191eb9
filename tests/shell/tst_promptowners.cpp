// Every question a page, a browser or a dialog asks stays answerable while its owner is deleted under
// it the way the desktop deletes it (a hang-up, a dropped menu link, a closed dialog): the question
// goes with its owner, its answer never runs, and the process carries on. With a nested event loop
// these aborted ("double free or corruption").
#include "classic/overlaygridlookup.h"
#include "classic/tableviewnosearch.h"
#include "files/filebrowser.h"
#include "menu/mainconnection.h"
#include "shell/settingsdialog.h"
#include "terminal/qvterminal.h"
#include "terminal/terminaltaskwidget.h"

#include "recordingtransport.h"
#include "testenvironment.h"

#include "zuterm.pb.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// Makes an owner and has it ask its question; returns the owner.
using Asker = std::function<QWidget *(MainConnection *)>;

TerminalTaskWidget *shownTerminalPage()
{
    auto *transport = new RecordingTransport;
    zuterm::Envelope hello;
    hello.mutable_handshake()->set_type(zuterm::Handshake::TERMINAL);
    transport->deliver(hello);
    auto *page = new TerminalTaskWidget(transport);
    page->show();
    return page;
}

QWidget *terminalPage(MainConnection *)
{
    TerminalTaskWidget *page = shownTerminalPage();
    page->findChild<QAbstractButton *>(QStringLiteral("closeButton"))->click();
    return page;
}

QWidget *terminalContextMenu(MainConnection *)
{
    TerminalTaskWidget *page = shownTerminalPage();
    QWidget *view = page->findChild<QVTerminal *>()->viewport();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), view->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view, &event);
    return page;
}

// The question open now: a modal dialog, or a popup menu.
QWidget *openQuestion()
{
    QWidget *modal = QApplication::activeModalWidget();
    return modal ? modal : QApplication::activePopupWidget();
}

QWidget *browser(MainConnection *connection, const std::function<void(FileBrowser *)> &ask)
{
    auto *files = new FileBrowser(connection);
    files->show();
    ask(files);
    return files;
}

QWidget *settingsChooser(MainConnection *)
{
    auto *dialog = new SettingsDialog;
    dialog->show();
    auto *useExternal = dialog->findChild<QCheckBox *>(QStringLiteral("useExtCheckBox"));
    if (!useExternal->isChecked())
        useExternal->click();
    dialog->findChild<QAbstractButton *>(QStringLiteral("extBrowse"))->click();
    return dialog;
}

QWidget *gridExport(MainConnection *)
{
    auto *model = new QStandardItemModel(1, 1);
    model->setItem(0, 0, new QStandardItem(QStringLiteral("Smith")));
    auto *page = new QWidget;
    page->resize(900, 700);
    auto *overlay = new OverlayGridLookup(QStringLiteral("Students"), model, {}, page);
    page->show();
    overlay->tableView()->selectRow(0);
    overlay->tableView()->findChild<QAction *>(QStringLiteral("exportAction"))->trigger();
    return page;
}

} // namespace

Q_DECLARE_METATYPE(Asker)

class tst_PromptOwners : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_env = std::make_unique<TestEnvironment>(); }
    void cleanupTestCase() { m_env.reset(); }

    void ownerDeletedWhileAsking_data()
    {
        QTest::addColumn<Asker>("ask");
        QTest::newRow("terminal close question") << Asker(terminalPage);
        QTest::newRow("terminal context menu") << Asker(terminalContextMenu);
        QTest::newRow("browser upload chooser") << Asker([](MainConnection *connection) {
            return browser(connection, [](FileBrowser *files) { QMetaObject::invokeMethod(files, "clickedUpload"); });
        });
        QTest::newRow("browser delete question") << Asker([](MainConnection *connection) {
            return browser(connection, [](FileBrowser *files) { files->deletePrompt("/", "a.txt"); });
        });
        QTest::newRow("browser rename dialog") << Asker([](MainConnection *connection) {
            return browser(connection, [](FileBrowser *files) { files->renamePrompt("/", "a.txt"); });
        });
        QTest::newRow("browser save as") << Asker([](MainConnection *connection) {
            return browser(connection, [](FileBrowser *files) { files->downloadPrompt("/", "a.txt"); });
        });
        QTest::newRow("settings viewer chooser") << Asker(settingsChooser);
        QTest::newRow("grid lookup export") << Asker(gridExport);
    }

    void ownerDeletedWhileAsking()
    {
        QFETCH(Asker, ask);
        MainConnection connection;
        QPointer<QWidget> owner = ask(&connection);
        QTRY_VERIFY(openQuestion());
        QPointer<QWidget> question = openQuestion();
        QVERIFY(question != owner);
        // As the desktop does: later, from the event loop, while the question is open.
        owner->deleteLater();
        QTRY_VERIFY(!owner);
        QVERIFY(!question);
        QVERIFY(!openQuestion());
    }

private:
    std::unique_ptr<TestEnvironment> m_env;
};

QTEST_MAIN(tst_PromptOwners)
#include "tst_promptowners.moc"
