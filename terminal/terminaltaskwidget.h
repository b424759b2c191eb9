#pragma once

#include "utils/taskpagewidget.h"

#include "envelopedispatcher.h"

#include <QByteArray>
#include <QPointer>
#include <QSize>
#include <QTimer>

#include <memory>

class AppTranceiver;
class DataPump;
class QVTerminal;

namespace Ui {
class TerminalTaskWidget;
}

namespace google::protobuf {
class Message;
}

// The task page of a terminal application: the emulator, fed through a DataPump with the
// application's output, and the zuterm protocol on the application's transport (handshake, one
// data packet per key press, echo config, kill request, and the window size the terminal would
// show, which the screen takes once the server confirms it in a config). The handshake says the
// page takes UTF-8; the stream stays Latin-1 until a config names another encoding. The page owns
// the transport; it goes when the transport reports disconnected(). Its colours follow the theme.
class TerminalTaskWidget : public TaskPageWidget
{
    Q_OBJECT

public:
    static constexpr char UiVersion[] = "1.9.0-143";
    static constexpr int ResizeDelayMs = 100;

    explicit TerminalTaskWidget(AppTranceiver *transport, QWidget *parent = nullptr);
    ~TerminalTaskWidget() override;

    QString title() const override;
    QString shortName() const override;
    QString unsavedWork() const override;
    // The title of the menu item that started the program: the page's title until the program
    // sets one of its own.
    void setMenuTitle(const QString &title);

    QVTerminal *terminal() const { return m_terminal; }

signals:
    void disconnected();
    // The output waiting for the emulator passed its bound (true) or drained (false): the link
    // should stop and resume reading.
    void backlogFull(bool full);

protected:
    // Keys go nowhere once the program has ended; the screen stays.
    void enterEnded() override;

private slots:
    void closeClicked();
    void sendTerminalData(const QByteArray &data);
    void processRawMessage(const char *data, int dataLength);
    void mh_config(const google::protobuf::Message &msg);
    void mh_data_packet(const google::protobuf::Message &msg);

private:
    void sendEnvelope(const google::protobuf::Message &envelope);
    void applyTheme();
    void updateIcons();
    void setProgramTitle(const QString &title);
    void sendWindowSize();
    void fitWindowToProgram(int columns);

    std::unique_ptr<Ui::TerminalTaskWidget> m_form;
    QPointer<AppTranceiver> m_transport;
    QVTerminal *m_terminal = nullptr;
    DataPump *m_pump = nullptr;
    EnvelopeDispatcher m_dispatcher;
    QString m_programTitle;
    QString m_menuTitle;
    QTimer m_resizeTimer;
    QSize m_wantedSize;
};
