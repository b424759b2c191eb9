#include "hubprompter.h"

#include "certificateinfo.h"
#include "certificatequestion.h"
#include "hubconnection.h"
#include "sslerrors.h"
#include "updateprompt.h"

#include "style/stylemanager.h"
#include "utils/noticeboard.h"
#include "utils/openprompt.h"
#include "utils/plaintext.h"

#include <QMessageBox>
#include <QPushButton>

HubPrompter::HubPrompter(HubConnection *link, QObject *parent)
    : QObject(parent)
    , m_link(link)
{
    connect(link, &HubConnection::certificateQuestion, this, &HubPrompter::askAboutCertificate);
    connect(link, &HubConnection::updateOffered, this, &HubPrompter::offerUpdate);
    connect(link, &HubConnection::questionWithdrawn, this, &HubPrompter::closeQuestion);
    connect(link, &HubConnection::clientIncompatible, this, &HubPrompter::showIncompatibleClient);
    connect(link, &HubConnection::notified, this, &HubPrompter::showNotification);
}

void HubPrompter::askAboutCertificate(const CertificateQuestion &question)
{
    closeQuestion();
    auto *dialog = new SslErrors;
    dialog->setStyleSheet(StyleManager::unthemedStyleSheet());
    for (const QString &error : question.errors)
        dialog->addError(error);
    if (!question.hostPort.isEmpty()) {
        switch (question.verdict) {
        case CertificatePins::Verdict::Changed:
            dialog->warnOfChange(question.hostPort, question.trustedFingerprint, question.presentedFingerprint);
            break;
        case CertificatePins::Verdict::NewProblem:
            dialog->warnOfNewProblem(question.hostPort, question.certificate, question.newErrors);
            break;
        case CertificatePins::Verdict::NotPinned:
        case CertificatePins::Verdict::Trusted:
            break;
        }
        if (question.pinnable)
            dialog->offerTrust(question.hostPort);
    }
    const QList<QSslCertificate> chain = question.chain;
    const QString host = question.host;
    connect(dialog, &SslErrors::viewCertificateChainClicked, dialog, [dialog, chain, host] {
        auto *info = new CertificateInfo(dialog);
        info->setCertificateChain(chain, host);
        openPrompt(info, dialog, [](CertificateInfo *, int) {});
    });
    m_question = dialog;
    openPrompt(dialog, this, [this](SslErrors *answered, int result) {
        m_link->answerCertificateQuestion(result == QDialog::Accepted, answered->alwaysTrust());
    });
}

void HubPrompter::offerUpdate(const QString &version, bool required)
{
    closeQuestion();
    auto *prompt = new UpdatePrompt(version, required);
    prompt->setStyleSheet(StyleManager::unthemedStyleSheet());
    m_question = prompt;
    openPrompt(prompt, this, [this, required](UpdatePrompt *, int result) {
        const bool download = result == QDialog::Accepted;
        m_link->answerUpdateOffer(download);
        if (!download && required)
            emit quitRequested();
    });
}

void HubPrompter::closeQuestion()
{
    if (!m_question)
        return;
    // Unanswered: the link has nothing left to ask about.
    m_question->disconnect(this);
    m_question->reject();
    m_question = nullptr;
}

void HubPrompter::showIncompatibleClient(const QString &informativeText)
{
    auto *box = new QMessageBox(QMessageBox::Critical, QString(), QString(), QMessageBox::Ok);
    PlainText::setTexts(box, tr("Incompatible Client Version"), informativeText);
    openPrompt(box, this, [this](QMessageBox *, int) { emit quitRequested(); });
}

void HubPrompter::showNotification(const QString &message)
{
    NoticeBoard::post(NoticeBoard::Kind::Warning, QStringLiteral("ZU system notification"), message);
}
