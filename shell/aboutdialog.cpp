#include "aboutdialog.h"

#include "utils/version.h"
#include "utils/windowfit.h"

#include <google/protobuf/stubs/common.h>

#include <QApplication>
#include <QClipboard>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSysInfo>
#include <QVBoxLayout>

aboutDialog::aboutDialog(const QString &hubName, QWidget *parent)
    : QDialog(parent, Qt::Popup)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("About ZU Desktop"));

    auto *layout = new QVBoxLayout(this);
    layout->setObjectName(QStringLiteral("verticalLayout"));
    auto *banner = new QLabel(this);
    banner->setObjectName(QStringLiteral("banner"));
    banner->setPixmap(QPixmap(QStringLiteral(":/images/halvorne_logo_banner.png")));
    banner->setAlignment(Qt::AlignCenter);
    layout->addWidget(banner);
    layout->addSpacerItem(new QSpacerItem(20, 20, QSizePolicy::Minimum, QSizePolicy::Fixed));
    auto *name = new QLabel(QStringLiteral("Halvorne ZU Desktop"), this);
    name->setObjectName(QStringLiteral("name"));
    name->setAlignment(Qt::AlignCenter);
    layout->addWidget(name);
    auto *version = new QLabel(QStringLiteral("version %1").arg(QLatin1String(ClientVersion)), this);
    version->setObjectName(QStringLiteral("version"));
    version->setAlignment(Qt::AlignCenter);
    layout->addWidget(version);
    layout->addSpacerItem(new QSpacerItem(20, 12, QSizePolicy::Minimum, QSizePolicy::Fixed));

    const QString text = details(hubName);
    // The hub's name comes from the configuration file: plain text.
    auto *detailsLabel = new QLabel(this);
    detailsLabel->setObjectName(QStringLiteral("details"));
    detailsLabel->setTextFormat(Qt::PlainText);
    detailsLabel->setText(text);
    detailsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    detailsLabel->setWordWrap(true);
    layout->addWidget(detailsLabel);
    layout->addSpacerItem(new QSpacerItem(20, 20, QSizePolicy::Minimum, QSizePolicy::Expanding));
    auto *line = new QFrame(this);
    line->setObjectName(QStringLiteral("line"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);

    auto *copy = new QPushButton(QStringLiteral("Copy details"), this);
    copy->setObjectName(QStringLiteral("copyDetailsButton"));
    connect(copy, &QPushButton::clicked, this, [text, copy] {
        QGuiApplication::clipboard()->setText(text);
        copy->setText(QStringLiteral("Copied"));
    });
    layout->addWidget(copy, 0, Qt::AlignRight);
    // At least the old size, and room for every line of the details.
    resize(sizeHint().expandedTo(QSize(546, 335)));
    fitWindowOntoDesktop(this);
    show();
    copy->setFocus(Qt::OtherFocusReason);
}

QString aboutDialog::details(const QString &hubName)
{
    const QString protobuf
        = QString::fromStdString(google::protobuf::internal::VersionString(GOOGLE_PROTOBUF_VERSION));
    QStringList lines;
    lines << QStringLiteral("ZU Desktop %1").arg(QLatin1String(ClientVersion));
    lines << QStringLiteral("Qt %1 (built with %2)")
                 .arg(QLatin1String(qVersion()), QLatin1String(QT_VERSION_STR));
    // The protocols carry no version numbers of their own: each handshake names the client's.
    lines << QStringLiteral("Protocols: hub ZuHubProto, menu Menu, forms Pb, terminal zuterm, dictionary "
                            "dictedit (protocol buffers %1), as of client %2")
                 .arg(protobuf, QLatin1String(ClientVersion));
    lines << QStringLiteral("Hub: %1").arg(hubName.isEmpty() ? QStringLiteral("not connected") : hubName);
    lines << QStringLiteral("System: %1 (%2)")
                 .arg(QSysInfo::prettyProductName(), QSysInfo::currentCpuArchitecture());
    return lines.join(QLatin1Char('\n'));
}
