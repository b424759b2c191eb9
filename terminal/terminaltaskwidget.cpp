#include "terminaltaskwidget.h"

#include "datapump.h"
#include "qvterminal.h"
#include "terminalscreen.h"
#include "ui_terminaltaskwidget.h"

#include "applinks/apptranceiver.h"
#include "style/stylemanager.h"
#include "utils/abbreviatename.h"
#include "utils/openprompt.h"
#include "utils/windowfit.h"

#include "zuterm.pb.h"

#include <QDebug>
#include <QEvent>
#include <QMessageBox>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

TerminalTaskWidget::TerminalTaskWidget(AppTranceiver *transport, QWidget *parent)
    : TaskPageWidget(parent)
    , m_form(std::make_unique<Ui::TerminalTaskWidget>())
    , m_transport(transport)
    , m_dispatcher(this, QtDebugMsg, "No 'zuterm' message handler found for")
{
    m_form->setupUi(this);
    m_pump = new DataPump(this);
    transport->setParent(this);

    connect(m_form->detachButton, &QPushButton::clicked, this, &TaskPageWidget::detachClicked);
    connect(m_form->closeButton, &QPushButton::clicked, this, &TerminalTaskWidget::closeClicked);
    connect(transport, &AppTranceiver::disconnected, this, &TerminalTaskWidget::disconnected);
    connect(transport, &AppTranceiver::rawMessageRcvd, this, &TerminalTaskWidget::processRawMessage);
    connect(m_pump, &DataPump::dataOut, this, &TerminalTaskWidget::sendTerminalData);
    connect(m_pump, &DataPump::backlogFull, this, &TerminalTaskWidget::backlogFull);
    connect(StyleManager::instance(), &StyleManager::themeChanged, this, &TerminalTaskWidget::applyTheme);
    connect(this, &TaskPageWidget::attachedChanged, this, &TerminalTaskWidget::updateIcons);
    setDetachButton(m_form->detachButton);

    m_pump->open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    m_terminal = new QVTerminal(m_form->pageContainer);
    m_terminal->setIODevice(m_pump);
    auto *layout = new QVBoxLayout(m_form->pageContainer);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_terminal);
    setFocusProxy(m_terminal);
    applyTheme();
    connect(m_terminal, &QVTerminal::titleChanged, this, &TerminalTaskWidget::setProgramTitle);
    // A window being dragged asks for many sizes; the program hears the last.
    m_resizeTimer.setSingleShot(true);
    m_resizeTimer.setInterval(ResizeDelayMs);
    connect(&m_resizeTimer, &QTimer::timeout, this, &TerminalTaskWidget::sendWindowSize);
    connect(m_terminal, &QVTerminal::screenSizeWanted, this, [this](int rows, int columns) {
        m_wantedSize = QSize(columns, rows);
        m_resizeTimer.start();
    });
    connect(m_terminal, &QVTerminal::programWidthChosen, this, &TerminalTaskWidget::fitWindowToProgram);

    zuterm::Envelope envelope;
    zuterm::Handshake *handshake = envelope.mutable_handshake();
    handshake->set_ui_version(UiVersion);
    handshake->set_type(zuterm::Handshake::TERMINAL);
    handshake->set_encoding(zuterm::UTF8);
    sendEnvelope(envelope);
}

TerminalTaskWidget::~TerminalTaskWidget() = default;

QString TerminalTaskWidget::title() const
{
    if (!m_programTitle.isEmpty())
        return m_programTitle;
    return m_menuTitle.isEmpty() ? QStringLiteral("Virtual Terminal") : m_menuTitle;
}

void TerminalTaskWidget::setMenuTitle(const QString &title)
{
    m_menuTitle = title.trimmed();
    m_form->formTitle->setTextFormat(Qt::PlainText);
    m_form->formTitle->setText(this->title());
    emit titleChanged(this->title());
}

void TerminalTaskWidget::setProgramTitle(const QString &title)
{
    QString plain = title;
    for (QChar &character : plain) {
        if (character.category() == QChar::Other_Control)
            character = QLatin1Char(' ');
    }
    plain = plain.trimmed();
    if (plain == m_programTitle)
        return;
    m_programTitle = plain;
    m_form->formTitle->setTextFormat(Qt::PlainText);
    m_form->formTitle->setText(this->title());
    emit titleChanged(this->title());
}

void TerminalTaskWidget::sendWindowSize()
{
    if (!m_wantedSize.isValid())
        return;
    zuterm::Envelope envelope;
    envelope.mutable_window_size()->set_rows(uint32_t(m_wantedSize.height()));
    envelope.mutable_window_size()->set_columns(uint32_t(m_wantedSize.width()));
    sendEnvelope(envelope);
}

void TerminalTaskWidget::fitWindowToProgram(int columns)
{
    // A free window grows or shrinks to the width the program chose, as xterm's does; in the
    // desktop's stack the terminal scrolls sideways instead.
    if (isAttached())
        return;
    QWidget *frame = window();
    const int change = m_terminal->sizeForScreen(m_terminal->screen().rows(), columns).width() - m_terminal->width();
    if (change == 0)
        return;
    frame->resize(frame->width() + change, frame->height());
    fitWindowOntoDesktop(frame);
}

QString TerminalTaskWidget::shortName() const
{
    const QString letters = abbreviateName(m_menuTitle);
    return letters.isEmpty() ? QStringLiteral("VT") : letters;
}

// A program still runs on the server until the session ends.
QString TerminalTaskWidget::unsavedWork() const
{
    return isEnded() ? QString() : QStringLiteral("a terminal session");
}

void TerminalTaskWidget::enterEnded()
{
    disconnect(m_pump, &DataPump::dataOut, this, &TerminalTaskWidget::sendTerminalData);
    m_terminal->setLocalEcho(false);
}

void TerminalTaskWidget::applyTheme()
{
    updateIcons();
    m_terminal->setColorScheme(TerminalPalette::schemeFor(QColor(StyleManager::themeVar(QStringLiteral("color_page_bg")))));
}

void TerminalTaskWidget::updateIcons()
{
    m_form->detachButton->setIcon(QIcon(isAttached() ? QStringLiteral("theme:fullscreen_page.svg")
                                                     : QStringLiteral("theme:fullscreen-exit_page.svg")));
    m_form->closeButton->setIcon(QIcon(QStringLiteral("theme:close_page.svg")));
}

void TerminalTaskWidget::closeClicked()
{
    if (isEnded()) {
        closeEnded();
        return;
    }
    // The application may hang up while the question is open: the page goes, and the question with it.
    auto *question = new QMessageBox(QMessageBox::Question, QStringLiteral("Close Terminal Session"),
                                     QStringLiteral("Are you sure you want to terminate this process?"),
                                     QMessageBox::Yes | QMessageBox::No, this);
    openPrompt(question, this, [this](QMessageBox *, int answer) {
        if (answer != QMessageBox::Yes)
            return;
        zuterm::Envelope envelope;
        envelope.mutable_kill_process();
        sendEnvelope(envelope);
    });
}

void TerminalTaskWidget::sendTerminalData(const QByteArray &data)
{
    if (data.isEmpty())
        return;
    zuterm::Envelope envelope;
    envelope.mutable_data_packet()->set_data(data.constData(), size_t(data.size()));
    sendEnvelope(envelope);
}

void TerminalTaskWidget::sendEnvelope(const google::protobuf::Message &envelope)
{
    if (!m_transport)
        return;
    QByteArray bytes(int(envelope.ByteSizeLong()), Qt::Uninitialized);
    envelope.SerializeWithCachedSizesToArray(reinterpret_cast<uint8_t *>(bytes.data()));
    m_transport->rawMessageSend(bytes);
}

void TerminalTaskWidget::processRawMessage(const char *data, int dataLength)
{
    zuterm::Envelope envelope;
    if (!envelope.ParseFromArray(data, dataLength)) {
        qWarning() << "TerminalTaskWidget::processRawMessage() - Unable to parse envelope";
        return;
    }
    m_dispatcher.dispatch(envelope);
}

void TerminalTaskWidget::mh_config(const google::protobuf::Message &msg)
{
    const auto &config = static_cast<const zuterm::Config &>(msg);
    if (config.has_echo())
        m_terminal->setLocalEcho(config.echo());
    if (config.has_encoding())
        m_terminal->setUtf8(config.encoding() == zuterm::UTF8);
    // The screen changes only when the server says the program's terminal did; bounded there.
    if (config.has_rows() && config.has_columns())
        m_terminal->setScreenSize(int(std::min<uint32_t>(config.rows(), TerminalScreen::MaxRows)),
                                  int(std::min<uint32_t>(config.columns(), TerminalScreen::MaxColumns)));
}

void TerminalTaskWidget::mh_data_packet(const google::protobuf::Message &msg)
{
    const std::string &bytes = static_cast<const zuterm::DataPacket &>(msg).data();
    // A zero byte is dropped on its own; the output after it is still shown.
    QByteArray data;
    data.reserve(int(bytes.size()));
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    while (p < end) {
        const void *zero = std::memchr(p, 0, size_t(end - p));
        const char *stop = zero ? static_cast<const char *>(zero) : end;
        data.append(p, int(stop - p));
        p = stop + (zero ? 1 : 0);
    }
    m_pump->dataIn(data);
}
