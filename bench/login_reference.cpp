// The yardstick of bench/login_startup.sh: the least a Qt program does to show a login dialog of
// the client's kind (the same widgets, the same style, a picture of the logo's size) on the same
// display. Takes and ignores the client's command line.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QWidget *statusPanel(QStyle::StandardPixmap icon, QWidget *parent)
{
    auto *panel = new QWidget(parent);
    auto *layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *iconLabel = new QLabel(panel);
    iconLabel->setPixmap(panel->style()->standardIcon(icon).pixmap(16, 16));
    layout->addWidget(iconLabel);
    auto *text = new QLabel(panel);
    text->setWordWrap(true);
    layout->addWidget(text, 1);
    return panel;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("fusion"));

    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Login"));
    dialog.resize(350, 370);
    auto *layout = new QVBoxLayout(&dialog);
    auto *logo = new QLabel(&dialog);
    QPixmap picture(320, 80);
    picture.fill(Qt::darkBlue);
    logo->setPixmap(picture);
    layout->addWidget(logo);
    layout->addWidget(new QLabel(QStringLiteral("v1.0"), &dialog));
    auto *user = new QLineEdit(&dialog);
    user->setPlaceholderText(QStringLiteral("Username"));
    layout->addWidget(user);
    auto *password = new QLineEdit(&dialog);
    password->setPlaceholderText(QStringLiteral("Password"));
    password->setEchoMode(QLineEdit::Password);
    layout->addWidget(password);
    auto *hosts = new QComboBox(&dialog);
    hosts->hide();
    layout->addWidget(hosts);
    layout->addWidget(new QPushButton(QStringLiteral("Login"), &dialog));
    layout->addWidget(new QCheckBox(QStringLiteral("Remember Username"), &dialog));
    auto *status = new QStackedWidget(&dialog);
    status->addWidget(statusPanel(QStyle::SP_MessageBoxCritical, status));
    status->addWidget(statusPanel(QStyle::SP_MessageBoxInformation, status));
    status->addWidget(new QWidget(status));
    status->setCurrentIndex(2);
    layout->addWidget(status);
    layout->addStretch(1);
    dialog.show();
    return app.exec();
}
