#pragma once

#include "utils/taskpagewidget.h"

#include "envelopedispatcher.h"

#include <QPointer>
#include <QString>

#include <map>
#include <string>
#include <memory>

class AppTranceiver;
class Highlighter;
class QBoxLayout;
class QMessageBox;
class QStackedLayout;

namespace Ui {
class DictEditTaskWidget;
}

namespace dictedit {
class DataSource;
}

namespace google::protobuf {
class Message;
}

// The task page of the data-dictionary editor: one dictionary from the server, its description
// and its data sources. Mutable sources are edited in place (the editor is written back into a
// source when the user moves to another one), sources are added and removed, a query is tried out
// against the server, and the result goes back as one save or cancel. The page owns the
// transport; it goes when the transport reports disconnected().
class DictEditTaskWidget : public TaskPageWidget
{
    Q_OBJECT

public:
    static constexpr char UiVersion[] = "1.9.0-143";
    static constexpr char TestDataGroup[] = "dicteditTestData";
    // More than any dictionary holds; a server sending more is cut short with a warning.
    static constexpr int MaxSources = 10000;
    static constexpr int MaxDatabases = 1000;

    explicit DictEditTaskWidget(AppTranceiver *transport, QWidget *parent = nullptr);
    ~DictEditTaskWidget() override;

    QString title() const override;
    QString shortName() const override;
    QString unsavedWork() const override;
    void setLinkNotice(const QString &notice) override;

signals:
    void disconnected();

protected:
    void enterEnded() override;
    QBoxLayout *bannerLayout() const override;

private slots:
    void cancelClicked();
    // Asks Save, Discard or Cancel when anything was edited.
    void closeClicked();
    void saveClicked();
    void removeClicked();
    void addClicked();
    void testClicked();
    void processRawMessage(const char *data, int dataLength);
    void mh_begin_edit(const google::protobuf::Message &msg);
    void mh_test_query_response(const google::protobuf::Message &msg);

private:
    using SourceMap = std::map<QString, std::unique_ptr<dictedit::DataSource>>;

    void addSource(std::unique_ptr<dictedit::DataSource> source);
    void addSourceNamed(const QString &name);
    void switchSource(dictedit::DataSource *from, dictedit::DataSource *to);
    void sourceSelected(int index);
    void typeChanged(int type);
    // Every source editor disabled: nothing to edit until a source is chosen or added.
    void showNoSource();
    void setDatabaseText(const QString &name);
    void updateKnownNames();
    void sendEnvelope(const google::protobuf::Message &envelope);
    void updateIcons();
    std::string editState() const;

    QStackedLayout *m_pageLayout = nullptr;
    std::unique_ptr<Ui::DictEditTaskWidget> m_form;
    QPointer<AppTranceiver> m_transport;
    SourceMap m_sources;
    dictedit::DataSource *m_currentSource = nullptr;
    Highlighter *m_highlighter = nullptr;
    EnvelopeDispatcher m_dispatcher;
    QString m_defaultDatabase;
    bool m_editing = false; // a dictionary has arrived
    std::string m_receivedState; // editState() as the dictionary arrived
    // Tests sent and not yet answered: a result nobody asked for is dropped.
    int m_testsOutstanding = 0;
    QPointer<QMessageBox> m_resultBox;
};
