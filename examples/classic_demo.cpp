// Shows a classic screen the way the server drives it: a loaded document with a field in every
// display mode and a ring menu with an open sub-menu. Saves a picture of the whole screen to the
// path given as the first argument (default /tmp/classic-shot.png) and quits. Run it under a
// virtual display: xvfb-run -a -s '-screen 0 1400x900x24' classic_demo

#include "classic/ringmenubutton.h"
#include "classic/ringmenulayout.h"
#include "classic/ringmenuwidget.h"
#include "classic/zudateedit.h"
#include "classic/zufieldwidget.h"
#include "classic/zuscreen.h"
#include "classic/zuuiloader.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int ColumnWidth = 9;
constexpr int ColumnCount = 60;

// Until themes exist, the flat field buttons get stock icons and the bar a plain look here.
constexpr auto DemoStyle = R"(
QWidget { font-family: 'Open Sans'; font-size: 10pt; color: #474644; }
#formTitle { font-size: 14pt; }
#ringMenu { background: #DDDDDD; border-bottom: 1px solid #B1B1B1; }
#ringButton { border: none; background: transparent; }
#ringButton:focus { background: #207CB3; }
#ringButton::menu-indicator { image: none; }
#fieldButton { border: 1px solid #B1B1B1; border-radius: 2px; background: #F0F0F0; padding: 3px 12px; }
#ringMenuShortcut { color: #6E6E6E; border: 1px solid #B1B1B1; border-radius: 2px; padding: 0 3px; }
ZuFieldWidget[propReverse="true"] QLineEdit { background: #707070; color: #FFFFFF; }
ZuFieldWidget[propHighlight="true"] QLineEdit { background: #FFF5C0; }
ZuFieldWidget[propLabelField="true"] QLineEdit { border: none; background: transparent; }
QLineEdit[readOnly="true"] { background: #F4F4F4; }
)";

void putField(QWidget *screen, const char *name, int mask, int type, const QString &value, bool editable)
{
    auto *field = screen->findChild<ZuFieldWidget *>(QLatin1String(name));
    if (!field)
        qFatal("demo screen lacks field %s", name);
    field->setPropReadOnly(!editable);
    field->setAttributes(mask, type);
    field->setData(value);
    const QStyle *style = QApplication::style();
    if (QPushButton *button = field->button()) {
        const QString object = button->objectName();
        if (object == QLatin1String("fieldComboBoxButton"))
            button->setIcon(style->standardIcon(QStyle::SP_ArrowDown));
        else if (object == QLatin1String("idSecButton"))
            button->setIcon(style->standardIcon(QStyle::SP_FileDialogInfoView));
        else if (object == QLatin1String("fieldBlobButton"))
            button->setIcon(style->standardIcon(QStyle::SP_FileDialogDetailedView));
    }
    if (field->dateEdit()) {
        QPushButton *calendar = field->dateEdit()->calendarButton();
        calendar->setIcon(style->standardIcon(QStyle::SP_FileDialogContentsView));
    }
}

Pb::ScreenMenu demoMenu()
{
    struct Item
    {
        int level;
        const char *label;
        int key;
        const char *comment;
    };
    const Item items[] = {
        { 0, "Add", 'A', "Add a new student" },
        { 0, "Update", 'U', "Change this student" },
        { 0, "Query", 'Q', "Find students" },
        { 0, "Done", 2001,
          "Save with \xFE"
          "2001 " },
        { 0, "Exit", 2000, "Leave without saving" },
        { 0, "Reports", 'R', "Print reports" },
        { 1, "Transcript", 'T', "" },
        { 1, "Schedule", 'S', "" },
        { 2, "This term", 'H', "" },
        { 2, "Next term", 'N', "" },
        { 1, "Finish", 2001, "" },
    };
    Pb::ScreenMenu menu;
    menu.set_menu_info("STUDENT:");
    for (const Item &item : items) {
        Pb::ScreenMenu::MenuItem *added = menu.add_menu_item();
        added->set_level(item.level);
        added->set_label(item.label);
        added->set_shortcut_key(item.key);
        added->set_comment(item.comment);
    }
    return menu;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString shot = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/classic-shot.png");
    for (const char *font : { ":/fonts/OpenSans-Regular.ttf", ":/fonts/OpenSans-Semibold.ttf" })
        QFontDatabase::addApplicationFont(QLatin1String(font));
    app.setStyleSheet(QLatin1String(DemoStyle));

    QFile file(QStringLiteral(ZU_CLASSIC_TEST_DATA "/student.ui"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read the demo screen");
    QString error;
    QWidget *root = ZuUiLoader::loadDocument(file.readAll(), &error);
    auto *screen = qobject_cast<ZuScreen *>(root);
    if (!screen)
        qFatal("demo screen did not load: %s", qPrintable(error));

    QWidget window;
    window.setWindowTitle(screen->windowTitle());
    auto *layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *title = new QLabel(screen->windowTitle(), &window);
    title->setObjectName(QStringLiteral("formTitle"));
    title->setContentsMargins(24, 16, 16, 16);
    layout->addWidget(title);
    auto *ring = new RingMenuWidget(&window);
    layout->addWidget(ring);
    auto *prompt = new QLabel(&window);
    prompt->setContentsMargins(24, 6, 16, 0);
    layout->addWidget(prompt);
    QObject::connect(ring, &RingMenuWidget::focusedTooltipChanged, prompt, &QLabel::setText);

    QWidget *page = visibleWidgets(screen);
    page->setParent(&window);
    page->setContentsMargins(24, 16, 24, 24);
    auto *grid = static_cast<QGridLayout *>(page->layout());
    for (int column = 0; column < ColumnCount; ++column)
        grid->setColumnMinimumWidth(column, ColumnWidth);
    grid->setHorizontalSpacing(0);
    layout->addWidget(page, 1);
    delete screen;

    putField(page, "student_no", ZuFieldWidget::UpshiftBit | ZuFieldWidget::RequiredBit,
             ZuFieldWidget::ZUGUI_CHAR, QStringLiteral("S2019-0442"), true);
    putField(page, "student_name", ZuFieldWidget::ReverseBit, ZuFieldWidget::ZUGUI_CHAR,
             QStringLiteral("Marguerite Okonkwo"), false);
    putField(page, "status", ZuFieldWidget::DropdownBit, ZuFieldWidget::ZUGUI_CHAR,
             QStringLiteral("ENROLLED"), true);
    putField(page, "photo_id", ZuFieldWidget::IdBit, ZuFieldWidget::ZUGUI_CHAR, QStringLiteral("200144871"),
             true);
    putField(page, "birth_date", ZuFieldWidget::HighlightBit, ZuFieldWidget::ZUGUI_DATE,
             QStringLiteral("04/17/2001"), true);
    putField(page, "enrolled", 0, ZuFieldWidget::ZUGUI_DATE, QStringLiteral("09/01/2019"), false);
    putField(page, "notes", 0, ZuFieldWidget::ZUGUI_BLOB,
             QStringLiteral("Transferred from the evening programme"), false);
    putField(page, "approve", ZuFieldWidget::ButtonBit, ZuFieldWidget::ZUGUI_CHAR, QStringLiteral("Approve"),
             true);
    putField(page, "credit_summary", ZuFieldWidget::MultiElementBit, ZuFieldWidget::ZUGUI_CHAR,
             QStringLiteral("009l000Credits earned|r030128|l035of|r041140"), false);

    ring->buildMenu(demoMenu(), false);
    window.resize(900, 560);
    window.move(40, 40);
    window.show();

    // Open the sub-menu of "Reports" once the window is up, then take the picture.
    QTimer::singleShot(400, &window, [ring] {
        ring->setFocus();
        for (QWidget *widget : ring->ringLayout()->buttons()) {
            auto *button = qobject_cast<RingMenuButton *>(widget);
            if (button && button->menu()) {
                button->setFocus();
                QMenu *menu = button->menu();
                menu->popup(button->mapToGlobal(button->rect().bottomLeft()));
                // And the nested one below it, opened as the keyboard would.
                QTimer::singleShot(300, menu, [menu] {
                    for (QAction *action : menu->actions()) {
                        if (action->menu()) {
                            menu->setActiveAction(action);
                            QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
                            QApplication::sendEvent(menu, &right);
                        }
                    }
                });
            }
        }
    });
    QTimer::singleShot(1200, &window, [shot] {
        const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(0);
        if (!picture.save(shot))
            qWarning("could not save %s", qPrintable(shot));
        QApplication::quit();
    });
    return app.exec();
}
