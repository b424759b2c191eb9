#include "modaldriver.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

namespace {
constexpr int PollMs = 10;
}

ModalDriver::ModalDriver(QObject *parent)
    : QObject(parent)
{
    QTimer::singleShot(PollMs, this, &ModalDriver::poll);
}

void ModalDriver::expectFileChoice(const QString &path)
{
    expect<QFileDialog>([path](QFileDialog *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
        static_cast<QDialog *>(dialog)->accept();
    });
}

void ModalDriver::poll()
{
    // Scheduled first: the handler below may block in a nested event loop.
    QTimer::singleShot(PollMs, this, &ModalDriver::poll);

    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || m_seen.contains(modal))
        return;
    m_seen << modal;

    if (!m_handlers.isEmpty()) {
        const auto handler = m_handlers.takeFirst();
        if (handler(modal)) {
            ++m_handled;
            return;
        }
        m_handlers.prepend(handler);
    }
    m_unexpected << QStringLiteral("%1 \"%2\"")
                        .arg(QString::fromLatin1(modal->metaObject()->className()), modal->windowTitle());
    if (auto *dialog = qobject_cast<QDialog *>(modal))
        dialog->reject();
    else
        modal->close();
}
