#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>

class HubConnection;
struct CertificateQuestion;

// Puts the hub link's questions and notices to the user, each without a nested event loop, and
// hands the answers back: the certificate question (with its chain on request), the update offer,
// the incompatible-client notice and hub notifications. A question the link withdraws closes
// unanswered. Where the client cannot go on (the notice read, a required update declined) it asks
// for the quit, which the desktop may still question (unsaved work, running programs).
class HubPrompter : public QObject
{
    Q_OBJECT

public:
    explicit HubPrompter(HubConnection *link, QObject *parent = nullptr);

    // The open certificate question or update offer, if any.
    QDialog *openQuestion() const { return m_question; }

signals:
    void quitRequested();

private:
    void askAboutCertificate(const CertificateQuestion &question);
    void offerUpdate(const QString &version, bool required);
    void closeQuestion();
    void showIncompatibleClient(const QString &informativeText);
    void showNotification(const QString &message);

    HubConnection *m_link;
    QPointer<QDialog> m_question;
};
