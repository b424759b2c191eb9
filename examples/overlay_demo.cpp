// Shows every classic overlay over a made-up page and saves one picture per overlay into the folder
// given as the first argument (default /tmp/overlay-shots), in the theme named by the second
// argument (default: the first theme). Not a test: run it by hand (offscreen or under a virtual
// display) and look at the pictures.

#include "classic/gridlookupmodelbuilder.h"
#include "classic/overlayblobedit.h"
#include "classic/overlaydialog.h"
#include "classic/overlaygridlookup.h"
#include "classic/overlayidsec.h"
#include "classic/overlaypause.h"
#include "classic/overlayselectordialog.h"
#include "classic/tablelookupdialog.h"
#include "classic/tableviewnosearch.h"
#include "style/stylemanager.h"
#include "testenvironment.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStackedLayout>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>

#include <functional>

namespace {

QString g_folder;

// A page like the classic page: its form as layer 0 of a stack-all layout, the overlay above it.
struct Page
{
    explicit Page(const QSize &size)
    {
        widget.resize(size);
        widget.setObjectName(QStringLiteral("page"));
        widget.setAutoFillBackground(true);
        stack = new QStackedLayout(&widget);
        stack->setStackingMode(QStackedLayout::StackAll);
        form = new QWidget;
        auto *layout = new QFormLayout(form);
        layout->setContentsMargins(40, 40, 40, 40);
        for (const char *label : { "Student No", "Surname", "Given Names", "Programme", "Course" }) {
            auto *edit = new QLineEdit(QStringLiteral("%1 value").arg(QLatin1String(label)), form);
            edit->setObjectName(QStringLiteral("fieldLineEdit"));
            layout->addRow(QLatin1String(label), edit);
        }
        stack->addWidget(form);
        widget.show();
    }
    void open(QWidget *overlay)
    {
        form->setEnabled(false);
        stack->addWidget(overlay);
        stack->setCurrentWidget(overlay);
        overlay->setFocus();
        QTest::qWait(50);
    }
    QLineEdit *field(int row) const { return form->findChildren<QLineEdit *>().at(row); }

    QWidget widget;
    QStackedLayout *stack;
    QWidget *form;
};

void save(QWidget *widget, const QString &name, QWidget *popup = nullptr)
{
    QPixmap shot = widget->grab();
    if (popup) {
        QPainter painter(&shot);
        painter.drawPixmap(popup->pos() - widget->mapToGlobal(QPoint(0, 0)), popup->grab());
    }
    const QString path = g_folder + QLatin1Char('/') + name + QStringLiteral(".png");
    shot.save(path);
    qInfo("saved %s", qPrintable(path));
}

Pb::Dialog dialog(int type)
{
    Pb::Dialog message;
    message.set_type(type);
    message.set_allow_cancel(true);
    if (type == 1) {
        message.set_title("Save Changes");
        message.set_prompt("The student record was changed. Save the changes?");
        for (auto [text, key] : { std::pair { "Yes", 'Y' }, { "No", 'N' }, { "Cancel", 'C' } }) {
            Pb::Dialog::Option *option = message.add_option();
            option->set_text(text);
            option->set_key(key);
        }
        message.set_default_choice(0);
    } else {
        message.set_title("Print Transcript");
        message.set_prompt("Choose the kind of transcript:");
        for (auto [text, key] : { std::pair { "OFFICIAL TRANSCRIPT", 'O' },
                                  { "UNOFFICIAL COPY", 'U' },
                                  { "GRADES BY TERM", 'G' },
                                  { "DEGREE AUDIT", 'D' },
                                  { "ENROLMENT LETTER", 'E' } }) {
            Pb::Dialog::Option *option = message.add_option();
            option->set_text(text);
            option->set_key(key);
        }
        message.set_default_choice('U');
    }
    return message;
}

Pb::GridLookup courses(int rows)
{
    Pb::GridLookup message;
    message.set_title("Course Lookup");
    const std::pair<const char *, Pb::DisplayType> columns[]
        = { { "Course", Pb::CHARACTER }, { "Title", Pb::CHARACTER }, { "Credits", Pb::INTEGER },
            { "Fee", Pb::FLOAT },        { "Starts", Pb::DATE },     { "Internal", Pb::INTEGER } };
    for (const auto &[name, type] : columns) {
        Pb::GridLookup::GridColumn *column = message.add_column();
        column->set_header(name);
        column->set_type(type);
        column->set_is_hidden(std::string(name) == "Internal");
    }
    const char *titles[]
        = { "Introduction to History",        "Calculus I",    "Organic Chemistry", "Academic Writing",
            "Statistics for Social Sciences", "Drawing Studio" };
    for (int r = 0; r < rows; ++r) {
        Pb::GridLookup::GridRow *row = message.add_row();
        row->set_index(5000 + r);
        char code[16], fee[16], date[16];
        std::snprintf(code, sizeof code, "C%03d", (r * 37) % 1000);
        std::snprintf(fee, sizeof fee, "%d.%02d", 100 + (r * 71) % 900, (r * 13) % 100);
        std::snprintf(date, sizeof date, "%02d/%02d/%d", 1 + r % 12, 1 + (r * 7) % 28, 2019 + r % 3);
        for (const std::string &item :
             { std::string(code), std::string(titles[r % 6]), std::to_string(1 + (r * 5) % 12),
               std::string(fee), std::string(date), std::to_string(r) })
            row->add_item(item);
    }
    return message;
}

Pb::IdSec idCard()
{
    Pb::IdSec card;
    card.set_title("Amelia Adams (100001)");
    QImage portrait(150, 190, QImage::Format_RGB32);
    portrait.fill(QColor(176, 196, 222));
    QPainter painter(&portrait);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(46, 64, 104));
    painter.drawEllipse(QRectF(-3, 142, 156, 120));
    painter.setBrush(QColor(241, 194, 155));
    painter.drawEllipse(QRectF(44, 40, 62, 78));
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    portrait.save(&buffer, "PNG");
    card.set_image(png.toStdString());
    Pb::IdSec::PermittedPerson *mother = card.add_permitted_person();
    mother->set_name("Helen Adams");
    mother->set_relation("Mother");
    for (const auto &[category, permissions] :
         { std::pair { "Academic records", "View grades|View timetable|Discuss progress with tutors" },
           { "Finance", "View fees due|Pay fees" } }) {
        Pb::IdSec::PermitCategory *granted = mother->add_category();
        granted->set_name(category);
        for (const QString &permission : QString(permissions).split('|'))
            granted->add_permission(permission.toStdString());
    }
    Pb::IdSec::PermittedPerson *sponsor = card.add_permitted_person();
    sponsor->set_name("Baker & Sons <Ltd>");
    sponsor->set_relation("Sponsor");
    Pb::IdSec::PermitCategory *finance = sponsor->add_category();
    finance->set_name("Finance");
    finance->add_permission("Pay fees");
    card.add_permitted_person()->set_name("Peter Adams");
    return card;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestEnvironment environment;
    g_folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/overlay-shots");
    QDir().mkpath(g_folder);
    for (const char *font : { ":/fonts/OpenSans-Regular.ttf", ":/fonts/OpenSans-Semibold.ttf",
                              ":/fonts/OpenSans-Bold.ttf", ":/fonts/SourceCodePro-Regular.ttf" })
        QFontDatabase::addApplicationFont(QLatin1String(font));
    // An optional second argument names the theme.
    const QString theme = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    StyleManager::setThemeNameSource([theme] { return theme; });
    StyleManager::loadTheme();

    {
        Page page(QSize(900, 600));
        page.open(new OverlayDialog(dialog(1), &page.widget));
        save(&page.widget, QStringLiteral("dialog"));
    }
    {
        Page page(QSize(900, 600));
        page.open(new OverlaySelectorDialog(dialog(2), &page.widget));
        save(&page.widget, QStringLiteral("selector"));
    }
    {
        Page page(QSize(900, 600));
        page.open(new OverlayPause(
            QStringLiteral("Transcript queued for printing. Press any key to continue."), &page.widget));
        save(&page.widget, QStringLiteral("pause"));
    }
    for (const auto &[size, name] :
         { std::pair { QSize(1100, 800), "grid" }, { QSize(640, 420), "grid-small" } }) {
        Page page(size);
        GridLookupModelBuilder builder(courses(40));
        auto *overlay = new OverlayGridLookup(builder.title(), builder.takeModel().release(),
                                              builder.hiddenColumns(), &page.widget);
        page.open(overlay);
        overlay->tableView()->horizontalHeader()->setSortIndicator(2, Qt::AscendingOrder);
        QTest::qWait(50);
        save(&page.widget, QLatin1String(name));
    }
    {
        Page page(QSize(900, 600));
        page.open(new OverlayIdSec(idCard(), &page.widget));
        save(&page.widget, QStringLiteral("idsec"));
    }
    for (const auto &[readOnly, wide, name] : { std::tuple { false, true, "blob" },
                                                { false, false, "blob-narrow" },
                                                { true, true, "blob-readonly" } }) {
        Page page(QSize(900, 600));
        QLineEdit *field = page.field(2);
        auto *overlay = new OverlayBlobEdit(QStringLiteral("Scholarship holder\nPart-time from May"),
                                            readOnly, field->mapToGlobal(QPoint(0, 0)), &page.widget);
        page.open(overlay);
        overlay->findChild<QCheckBox *>("wideCheckbox")->setChecked(wide);
        if (!readOnly)
            overlay->textEdit()->appendPlainText(QStringLiteral("Mentor: Dr. Okafor"));
        QTest::qWait(50);
        save(&page.widget, QLatin1String(name));
    }
    {
        Page page(QSize(900, 600));
        QLineEdit *field = page.field(4);
        field->setText(QStringLiteral("C074"));
        TableLookupDialog lookup(field,
                                 { "C037\tIntroduction to History", "C074\tCalculus I",
                                   "C111\tOrganic Chemistry", "C148\tAcademic Writing",
                                   "C185\tStatistics for Social Sciences" },
                                 field->text(), &page.widget);
        lookup.show();
        QTest::qWait(50);
        save(&page.widget, QStringLiteral("tablelookup"), &lookup);
    }
    return 0;
}
