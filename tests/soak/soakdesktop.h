#pragma once

#include <QObject>

#include <memory>

class ClientIdentity;
class MainWindow;
class ModalDriver;
class Runner;
class TestEnvironment;
class TestHub;
class TestMenuPeer;

// The client as a person runs it, against an in-process TLS hub: the real Runner with its
// HubConnection, MainConnection and main window; a TestHub whose TestMenuPeer offers two releases;
// and a ModalDriver that answers the release chooser the way the next login asks it to.
class SoakDesktop : public QObject
{
    Q_OBJECT

public:
    enum class Drop { Forced, Closed };

    static constexpr int WaitMs = 15000;

    explicit SoakDesktop(QObject *parent = nullptr);
    ~SoakDesktop() override;

    // Hub, menu server and Runner up, the login dialog shown.
    bool start();
    // Logs in through the dialog, picks the release in the chooser and waits for the main window
    // with its menu.
    bool logIn(int release);
    // Brings the home page to the front with its task button, as a person would.
    bool openHomePage();
    // The hub forces the link down, or its socket just closes; back at the login dialog.
    bool dropLink(Drop how);
    // What the peers recorded is dropped, so that the test's side does not grow with the run.
    void forgetTraffic();

    Runner *runner() const { return m_runner.get(); }
    MainWindow *mainWindow() const;
    TestHub *hub() const { return m_hub.get(); }
    QString failure() const { return m_failure; }

private:
    bool fail(const QString &what);
    void writeHostConfiguration();

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<ClientIdentity> m_identity;
    std::unique_ptr<TestHub> m_hub;
    std::unique_ptr<TestMenuPeer> m_peer;
    std::unique_ptr<ModalDriver> m_modals;
    std::unique_ptr<Runner> m_runner;
    QString m_failure;
    int m_menusReceived = 0;
};
