#include "aboutdialog.h"

#include "utils/version.h"
#include "utils/windowfit.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

aboutDialog::aboutDialog(QWidget *parent)
    : QDialog(parent, Qt::Popup)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("Dialog"));
    resize(546, 335);
    fitWindowOntoDesktop(this);

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
    layout->addSpacerItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));
    auto *line = new QFrame(this);
    line->setObjectName(QStringLiteral("line"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);
    show();
}
