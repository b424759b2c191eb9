#include "dictedittaskwidget.h"

#include "dictedittestdialog.h"
#include "highlighter.h"
#include "ui_dictedittaskwidget.h"

#include "applinks/apptranceiver.h"
#include "style/stylemanager.h"
#include "utils/openprompt.h"
#include "utils/plaintext.h"

#include "latin1.h"

#include "dictedit.pb.h"

#include <QDebug>
#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QHash>
#include <QInputDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalBlocker>
#include <QStackedLayout>
#include <QStyle>

#include <google/protobuf/descriptor.h>

using dictedit::DataSource;

namespace {

constexpr char ReferenceMarker[] = "@@";
constexpr int ShadowBlurRadius = 4;
constexpr int ShadowAlpha = 50;
constexpr int ShadowOffset = 2;

void setWidgetsEnabled(std::initializer_list<QWidget *> widgets, bool enabled)
{
    for (QWidget *widget : widgets)
        widget->setEnabled(enabled);
}

} // namespace

DictEditTaskWidget::DictEditTaskWidget(AppTranceiver *transport, QWidget *parent)
    : TaskPageWidget(parent)
    , m_form(std::make_unique<Ui::DictEditTaskWidget>())
    , m_transport(transport)
    , m_dispatcher(this, QtDebugMsg, "No 'dictedit' message handler found for")
{
    transport->setParent(this);
    m_pageLayout = new QStackedLayout(this);
    m_pageLayout->setContentsMargins(0, 0, 0, 0);
    m_pageLayout->setStackingMode(QStackedLayout::StackAll);
    auto *content = new QWidget(this);
    m_form->setupUi(content);
    m_pageLayout->addWidget(content);
    static_cast<QStackedLayout *>(m_form->statusStack->layout())->setStackingMode(QStackedLayout::StackAll);
    m_form->errorPanel->hide();
    m_form->statusPanel->hide();

    m_highlighter = new Highlighter(m_form->dataDefinitionEdit->document());
    auto *shadow = new QGraphicsDropShadowEffect(m_form->pageContainer);
    shadow->setBlurRadius(ShadowBlurRadius);
    shadow->setColor(QColor(0, 0, 0, ShadowAlpha));
    shadow->setOffset(ShadowOffset, ShadowOffset);
    m_form->pageContainer->setGraphicsEffect(shadow);

    m_dispatcher.setFieldFilter([](const google::protobuf::FieldDescriptor &field) {
        qDebug() << "dictedit message received message type:" << QString::fromStdString(field.name());
        return true;
    });

    connect(m_form->detachButton, &QPushButton::clicked, this, &TaskPageWidget::detachClicked);
    connect(m_form->closeButton, &QPushButton::clicked, this, &DictEditTaskWidget::closeClicked);
    connect(m_form->cancelButton, &QPushButton::clicked, this, &DictEditTaskWidget::cancelClicked);
    connect(m_form->saveButton, &QPushButton::clicked, this, &DictEditTaskWidget::saveClicked);
    connect(m_form->removeButton, &QPushButton::clicked, this, &DictEditTaskWidget::removeClicked);
    connect(m_form->addButton, &QPushButton::clicked, this, &DictEditTaskWidget::addClicked);
    connect(m_form->testButton, &QPushButton::clicked, this, &DictEditTaskWidget::testClicked);
    connect(m_form->dataSourceName, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &DictEditTaskWidget::sourceSelected);
    connect(m_form->sourceType, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &DictEditTaskWidget::typeChanged);
    connect(transport, &AppTranceiver::disconnected, this, &DictEditTaskWidget::disconnected);
    connect(transport, &AppTranceiver::rawMessageRcvd, this, &DictEditTaskWidget::processRawMessage);
    connect(StyleManager::instance(), &StyleManager::themeChanged, this, &DictEditTaskWidget::updateIcons);
    connect(this, &TaskPageWidget::attachedChanged, this, &DictEditTaskWidget::updateIcons);
    setDetachButton(m_form->detachButton);
    updateIcons();
    // Not the first button: Return on an opened page must not cancel the edit.
    setFocusProxy(m_form->dataSourceName);

    // Saving before the dictionary has arrived would replace the server's with nothing.
    showNoSource();
    setWidgetsEnabled({ m_form->dictDescEdit, m_form->saveButton, m_form->addButton }, false);

    dictedit::Envelope envelope;
    dictedit::Handshake *handshake = envelope.mutable_handshake();
    handshake->set_ui_version(UiVersion);
    handshake->set_type(dictedit::Handshake::DICTEDIT);
    sendEnvelope(envelope);
}

DictEditTaskWidget::~DictEditTaskWidget() = default;

QString DictEditTaskWidget::title() const
{
    return QStringLiteral("Data Dictionary Editor");
}

QString DictEditTaskWidget::shortName() const
{
    return QStringLiteral("DE");
}

void DictEditTaskWidget::updateIcons()
{
    m_form->detachButton->setIcon(QIcon(isAttached() ? QStringLiteral("theme:fullscreen_page.svg")
                                                     : QStringLiteral("theme:fullscreen-exit_page.svg")));
    m_form->closeButton->setIcon(QIcon(QStringLiteral("theme:close_page.svg")));
}

void DictEditTaskWidget::sendEnvelope(const google::protobuf::Message &envelope)
{
    if (!m_transport)
        return;
    QByteArray data(int(envelope.ByteSizeLong()), Qt::Uninitialized);
    envelope.SerializeWithCachedSizesToArray(reinterpret_cast<uint8_t *>(data.data()));
    m_transport->rawMessageSend(data);
}

void DictEditTaskWidget::processRawMessage(const char *data, int dataLength)
{
    dictedit::Envelope envelope;
    if (!envelope.ParseFromArray(data, dataLength)) {
        qWarning() << "DictEditTaskWidget::processRawMessage() - Unable to parse envelope";
        return;
    }
    m_dispatcher.dispatch(envelope);
}

void DictEditTaskWidget::mh_begin_edit(const google::protobuf::Message &msg)
{
    const auto &begin = static_cast<const dictedit::BeginDictionaryEdit &>(msg);
    if (m_editing) {
        // Taking a second dictionary would throw away what the user has edited so far.
        qWarning() << "DictEditTaskWidget::mh_begin_edit() - a dictionary is being edited already; dropped";
        return;
    }
    m_editing = true;
    setWidgetsEnabled({ m_form->dictDescEdit, m_form->saveButton, m_form->addButton }, true);

    if (begin.databases_size() > MaxDatabases)
        qWarning() << "DictEditTaskWidget::mh_begin_edit() - only the first" << MaxDatabases << "of"
                   << begin.databases_size() << "databases are offered";
    m_form->database->clear();
    m_form->database->addItem(QString());
    for (int i = 0; i < qMin(begin.databases_size(), MaxDatabases); ++i)
        m_form->database->addItem(Latin1::toQString(begin.databases(i)));
    m_defaultDatabase = Latin1::toQString(begin.default_database());
    setDatabaseText(m_defaultDatabase);

    m_form->dictName->setText(Latin1::toQString(begin.dict_name()));
    m_form->dictDescEdit->setPlainText(Latin1::toQString(begin.dict_desc()));

    if (begin.dictionary_sources_size() > MaxSources)
        qWarning() << "DictEditTaskWidget::mh_begin_edit() - only the first" << MaxSources << "of"
                   << begin.dictionary_sources_size() << "data sources are shown";
    for (int i = 0; i < qMin(begin.dictionary_sources_size(), MaxSources); ++i) {
        const DataSource &source = begin.dictionary_sources(i);
        if (!m_sources.emplace(Latin1::toQString(source.name()), std::make_unique<DataSource>(source)).second)
            qWarning() << "DictEditTaskWidget::mh_begin_edit() - second data source named"
                       << Latin1::toQString(source.name()) << "dropped";
    }
    updateKnownNames();
    {
        // The map is in name order already; the first source is shown once the list is full.
        const QSignalBlocker blocker(m_form->dataSourceName);
        for (const auto &entry : m_sources)
            m_form->dataSourceName->addItem(entry.first);
        m_form->dataSourceName->setCurrentIndex(m_sources.empty() ? -1 : 0);
    }
    if (m_sources.empty())
        showNoSource();
    else
        sourceSelected(0);
    m_receivedState = editState();
}

void DictEditTaskWidget::mh_test_query_response(const google::protobuf::Message &msg)
{
    const auto &response = static_cast<const dictedit::TestQueryResponse &>(msg);
    if (m_testsOutstanding == 0) {
        qWarning() << "DictEditTaskWidget::mh_test_query_response() - no test was asked for; result dropped";
        return;
    }
    --m_testsOutstanding;
    // One box at a time: a newer result replaces the one shown.
    if (m_resultBox)
        m_resultBox->close();
    auto *box = new QMessageBox(this);
    m_resultBox = box;
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (response.success()) {
        const QString result = Latin1::toQString(response.result());
        qInfo() << "Test result:" << result;
        box->setIcon(QMessageBox::Information);
        box->setTextFormat(Qt::PlainText);
        box->setText(QStringLiteral("Query Test Result"));
        // A table reads best in a fixed-width font; the server's text is escaped inside it.
        box->setInformativeText(
            result.isEmpty() ? QString() : QStringLiteral("<pre>%1</pre>").arg(result.toHtmlEscaped()));
    } else {
        const QString error = Latin1::toQString(response.error());
        qInfo() << "Test failed:" << error;
        box->setIcon(QMessageBox::Critical);
        PlainText::setTexts(box, QStringLiteral("Query Test Failed"), error);
    }
    // Not exec(): a nested event loop here could see the page deleted under it.
    box->open();
}

void DictEditTaskWidget::addSource(std::unique_ptr<DataSource> source)
{
    const QString name = Latin1::toQString(source->name());
    m_sources[name] = std::move(source);
    updateKnownNames();
    QComboBox *names = m_form->dataSourceName;
    int at = 0;
    while (at < names->count() && !(name < names->itemText(at)))
        ++at;
    names->insertItem(at, name);
    names->setCurrentIndex(at);
}

void DictEditTaskWidget::sourceSelected(int index)
{
    const auto it = m_sources.find(m_form->dataSourceName->itemText(index));
    if (it == m_sources.end())
        return;
    switchSource(m_currentSource, it->second.get());
    m_currentSource = it->second.get();
}

void DictEditTaskWidget::switchSource(DataSource *from, DataSource *to)
{
    if (from && from->is_mutable()) {
        from->set_description(Latin1::fromQString(m_form->descriptionEdit->toPlainText()));
        from->set_scope(DataSource::CacheScope(m_form->cacheMode->currentIndex()));
        from->set_type(DataSource::Type(m_form->sourceType->currentIndex()));
        if (from->type() == DataSource::QUERY)
            from->set_database(Latin1::fromQString(m_form->database->currentText()));
        else
            from->clear_database();
        from->set_source_string(Latin1::fromQString(m_form->dataDefinitionEdit->toPlainText()));
    }
    if (!to)
        return;
    const bool editable = to->is_mutable();
    m_form->descriptionEdit->setPlainText(Latin1::toQString(to->description()));
    m_form->cacheMode->setCurrentIndex(to->scope());
    m_form->sourceType->setCurrentIndex(to->type());
    m_form->dataDefinitionEdit->setPlainText(Latin1::toQString(to->source_string()));
    setWidgetsEnabled({ m_form->descriptionEdit, m_form->cacheMode, m_form->sourceType,
                        m_form->dataDefinitionEdit, m_form->removeButton },
                      editable);
    const bool query = to->type() == DataSource::QUERY;
    m_form->testButton->setVisible(query);
    m_form->databaseLabel->setEnabled(query);
    m_form->database->setEnabled(query && editable);
    setDatabaseText(query ? Latin1::toQString(to->database()) : QString());
    if (isEnded())
        enterEnded();
}

void DictEditTaskWidget::typeChanged(int type)
{
    const bool query = type == DataSource::QUERY;
    m_form->testButton->setVisible(query);
    m_form->databaseLabel->setEnabled(query);
    m_form->database->setEnabled(query);
    // A source that becomes a query starts on the server's default database.
    if (!query || m_form->database->currentText().isEmpty())
        setDatabaseText(query ? m_defaultDatabase : QString());
}

void DictEditTaskWidget::showNoSource()
{
    m_form->descriptionEdit->clear();
    m_form->dataDefinitionEdit->clear();
    setWidgetsEnabled({ m_form->descriptionEdit, m_form->cacheMode, m_form->sourceType, m_form->removeButton,
                        m_form->databaseLabel, m_form->database, m_form->dataDefinitionEdit },
                      false);
    setDatabaseText(QString());
    m_form->testButton->hide();
}

void DictEditTaskWidget::setDatabaseText(const QString &name)
{
    QComboBox *database = m_form->database;
    int index = database->findText(name);
    if (index < 0 && !name.isEmpty()) {
        // The choice list must not change a source's database behind the user's back.
        qInfo() << "DictEditTaskWidget - database not offered by the server, added:" << name;
        database->addItem(name);
        index = database->count() - 1;
    }
    database->setCurrentIndex(index);
}

void DictEditTaskWidget::updateKnownNames()
{
    QStringList names;
    names.reserve(int(m_sources.size()));
    for (const auto &entry : m_sources)
        names.append(entry.first);
    m_highlighter->setKeys(names);
}

void DictEditTaskWidget::addClicked()
{
    auto *dialog = new QInputDialog(this);
    dialog->setWindowTitle(QStringLiteral("Add New Data Source"));
    dialog->setLabelText(QStringLiteral("Please enter new data source name."));
    dialog->setInputMethodHints(Qt::ImhUppercaseOnly | Qt::ImhLowercaseOnly);
    openPrompt(dialog, this, [this](QInputDialog *dialog, int result) {
        if (result == QDialog::Accepted)
            addSourceNamed(dialog->textValue());
    });
}

void DictEditTaskWidget::addSourceNamed(const QString &name)
{
    if (name.isEmpty())
        return;
    static const QRegularExpression validName(QStringLiteral("^[A-Za-z]+$"));
    if (!validName.match(name).hasMatch())
        return;
    if (m_sources.count(name)) {
        qInfo() << "Data source name already exists";
        return;
    }
    auto source = std::make_unique<DataSource>();
    source->set_name(Latin1::fromQString(name));
    source->set_is_mutable(true);
    addSource(std::move(source));
}

void DictEditTaskWidget::removeClicked()
{
    if (!m_currentSource || !m_currentSource->is_mutable())
        return;
    const QString name = Latin1::toQString(m_currentSource->name());
    m_currentSource = nullptr;
    m_sources.erase(name);
    updateKnownNames();
    // The entry that becomes current is shown through sourceSelected(), nothing written back.
    m_form->dataSourceName->removeItem(m_form->dataSourceName->findText(name));
    if (m_sources.empty())
        showNoSource();
}

void DictEditTaskWidget::saveClicked()
{
    if (!m_editing)
        return;
    switchSource(m_currentSource, m_currentSource);
    dictedit::Envelope envelope;
    dictedit::EditComplete *complete = envelope.mutable_edit_complete();
    complete->set_mode(dictedit::EditComplete::SAVE);
    complete->set_dict_desc(Latin1::fromQString(m_form->dictDescEdit->toPlainText()));
    for (const auto &entry : m_sources) {
        if (entry.second->is_mutable())
            *complete->add_mutable_sources() = *entry.second;
    }
    sendEnvelope(envelope);
}

void DictEditTaskWidget::closeClicked()
{
    if (isEnded()) {
        closeEnded();
        return;
    }
    if (unsavedWork().isEmpty()) {
        cancelClicked();
        return;
    }
    auto *question = new QMessageBox(QMessageBox::Question, QStringLiteral("Data Dictionary Editor"),
                                     QStringLiteral("Save the changes to the dictionary?"),
                                     QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    question->setDefaultButton(QMessageBox::Save);
    openPrompt(question, this, [this](QMessageBox *, int answer) {
        if (answer == QMessageBox::Save)
            saveClicked();
        else if (answer == QMessageBox::Discard)
            cancelClicked();
    });
}

// The texts stay to be read and copied; moving between sources still shows each one's edits (and
// comes back here).
void DictEditTaskWidget::enterEnded()
{
    for (QPlainTextEdit *editor :
         { m_form->dictDescEdit, m_form->descriptionEdit, m_form->dataDefinitionEdit }) {
        editor->setReadOnly(true);
        editor->setEnabled(true);
    }
    setWidgetsEnabled({ m_form->saveButton, m_form->cancelButton, m_form->addButton, m_form->removeButton,
                        m_form->testButton, m_form->cacheMode, m_form->sourceType, m_form->database },
                      false);
    setLinkNotice(QString());
}

QBoxLayout *DictEditTaskWidget::bannerLayout() const
{
    return m_form->verticalLayout;
}

void DictEditTaskWidget::setLinkNotice(const QString &notice)
{
    m_form->statusLabel->setTextFormat(Qt::PlainText);
    m_form->statusLabel->setText(notice);
    m_form->statusPanel->setVisible(!notice.isEmpty());
}

QString DictEditTaskWidget::unsavedWork() const
{
    return m_editing && editState() != m_receivedState ? QStringLiteral("unsaved dictionary changes") : QString();
}

// What a save would send: the description and the mutable sources, the editor's texts in the
// current one. Typing and undoing again leaves it as it arrived.
std::string DictEditTaskWidget::editState() const
{
    std::string state = Latin1::fromQString(m_form->dictDescEdit->toPlainText());
    for (const auto &entry : m_sources) {
        if (!entry.second->is_mutable())
            continue;
        DataSource source = *entry.second;
        if (entry.second.get() == m_currentSource) {
            source.set_description(Latin1::fromQString(m_form->descriptionEdit->toPlainText()));
            source.set_source_string(Latin1::fromQString(m_form->dataDefinitionEdit->toPlainText()));
        }
        state += '\0' + source.SerializeAsString();
    }
    return state;
}

void DictEditTaskWidget::cancelClicked()
{
    dictedit::Envelope envelope;
    envelope.mutable_edit_complete()->set_mode(dictedit::EditComplete::CANCEL);
    sendEnvelope(envelope);
}

void DictEditTaskWidget::testClicked()
{
    const QString definition = m_form->dataDefinitionEdit->toPlainText();
    QSettings settings;
    settings.beginGroup(QLatin1String(TestDataGroup));
    QStringList keys;
    QHash<QString, QString> lastValues;
    const QLatin1String marker(ReferenceMarker);
    for (int at = definition.indexOf(marker); at >= 0; at = definition.indexOf(marker, at)) {
        at += marker.size();
        const int start = at;
        while (at < definition.size() && definition.at(at).isLetter())
            ++at;
        if (at == start) {
            auto *box = new QMessageBox(QMessageBox::Critical, QString(),
                                        QStringLiteral("Invlaid Data Definition"), QMessageBox::Ok, this);
            box->setInformativeText(QStringLiteral("Invalid @@key"));
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
            return;
        }
        const QString key = definition.mid(start, at - start);
        keys.append(key);
        lastValues.insert(key, settings.value(key).toString());
    }

    const auto send = [this, definition, keys](const DictEditTestDialog *dialog) {
        QSettings settings;
        settings.beginGroup(QLatin1String(TestDataGroup));
        dictedit::Envelope envelope;
        dictedit::TestQuery *query = envelope.mutable_test_query();
        query->set_query(Latin1::fromQString(definition));
        query->set_database(Latin1::fromQString(m_form->database->currentText()));
        for (const QString &key : keys) {
            const QString value = dialog ? dialog->value(key) : QString();
            dictedit::TestQuery::Pair *pair = query->add_values();
            pair->set_key(Latin1::fromQString(key));
            pair->set_val(Latin1::fromQString(value));
            settings.setValue(key, value);
        }
        sendEnvelope(envelope);
        ++m_testsOutstanding;
    };
    // Nothing to ask for: an empty dialog would only be in the way.
    if (keys.isEmpty()) {
        send(nullptr);
        return;
    }
    auto *dialog = new DictEditTestDialog(keys, lastValues, this);
    dialog->setModal(true);
    connect(dialog, &QDialog::accepted, this, [dialog, send] {
        send(dialog);
        dialog->deleteLater();
    });
    connect(dialog, &QDialog::rejected, dialog, &QObject::deleteLater);
    dialog->show();
}
