#include "shell/settingsdialog.h"
#include "shell/settingsbinding.h"

#include "classic/classicapplicationwidget.h"
#include "classic/keymapper.h"
#include "classic/pagegrid.h"
#include "classic/ringmenuwidget.h"
#include "classic/zufieldwidget.h"
#include "hub/certificatepins.h"
#include "hub/extraauthorities.h"
#include "menu/mainconnection.h"
#include "settings/settingsmanager.h"
#include "style/stylemanager.h"

#include "fakemenufiles.h"
#include "modaldriver.h"
#include "testcertificates.h"
#include "testenvironment.h"

#include "uidlg.pb.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QStackedWidget>
#include <QTest>

#include <memory>

namespace {

const QString LightTheme = QStringLiteral("Default (Light)");
const QString DarkTheme = QStringLiteral("Default (Dark)");

template<class T>
T *child(const QWidget *dialog, const char *name)
{
    T *found = dialog->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no %s", name);
    return found;
}

void click(const QWidget *dialog, const char *name)
{
    child<QAbstractButton>(dialog, name)->click();
}

// A screen of two ten-character fields side by side.
QByteArray twoFieldScreen()
{
    return QByteArrayLiteral(R"(<ui version="4.0"><widget class="ZuScreen" name="s">
<property name="extents"><rect><x>0</x><y>0</y><width>40</width><height>2</height></rect></property>
<widget class="QWidget" name="visible_widgets"><layout class="QGridLayout" name="g">
<item row="0" column="0" colspan="10"><widget class="ZuFieldWidget" name="first">
<property name="propLength"><number>10</number></property></widget></item>
<item row="0" column="12" colspan="10"><widget class="ZuFieldWidget" name="second">
<property name="propLength"><number>10</number></property></widget></item>
</layout></widget></widget></ui>)");
}

// The page with the screen, its fields editable text fields.
void showScreen(ClassicApplicationWidget *page)
{
    QVERIFY(page->renderUi(twoFieldScreen(), 1, false, -1, -1));
    for (const char *name : { "first", "second" })
        page->getField(1, QLatin1String(name))->setAttributes(0, 0);
}

int columnWidthOf(ClassicApplicationWidget *page)
{
    return page->grid()->pageLayout(0)->columnMinimumWidth(0);
}

} // namespace

class tst_SettingsDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_env = std::make_unique<TestEnvironment>();
        // The session first, so the one settings manager of the run follows it.
        m_connection = std::make_unique<MainConnection>();
        SettingsManager::instance()->setMainConnection(m_connection.get());
        m_files = std::make_unique<FakeMenuFiles>(m_connection.get());
        bindUserSettings();
        StyleManager::loadTheme();
    }

    void cleanupTestCase()
    {
        m_files.reset();
        m_connection.reset();
    }

    void init() { m_dialog = new SettingsDialog; }

    void settingsManagerDrivesTheTheme()
    {
        SettingsManager::UserSettings user = SettingsManager::instance()->settings();
        QSignalSpy changed(StyleManager::instance(), &StyleManager::themeChanged);
        user.themeName = "High Contrast";
        SettingsManager::instance()->setSettings(user);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(StyleManager::currentThemeName(), QString("High Contrast"));
        user.themeName = "Default (Light)";
        SettingsManager::instance()->setSettings(user);
    }

    void cleanup() { delete m_dialog; }

    void tabButtonsSwitchPages_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("page");
        QTest::newRow("general") << "generalTabButton"
                                 << "generalPage";
        QTest::newRow("fonts") << "fontColorTabButton"
                               << "fontColorPage";
        QTest::newRow("viewers") << "viewersTabButton"
                                 << "viewersPage";
        QTest::newRow("password") << "passwordTabButton"
                                  << "passwordPage";
    }

    void tabButtonsSwitchPages()
    {
        QFETCH(QString, button);
        QFETCH(QString, page);
        auto *stack = child<QStackedWidget>(m_dialog, "stackedWidget");
        QCOMPARE(stack->currentWidget()->objectName(), QString("generalPage"));
        QVERIFY(child<QAbstractButton>(m_dialog, "generalTabButton")->isChecked());
        click(m_dialog, qPrintable(button));
        QCOMPARE(stack->currentWidget()->objectName(), page);
        QVERIFY(child<QAbstractButton>(m_dialog, qPrintable(button))->isChecked());
    }

    // The slider offers whole steps: a scale between two shows the step below, and Apply stores it.
    // Trusted hub certificates are listed on the General page and can be forgotten.
    void trustedCertificatesCanBeForgotten()
    {
        const TestCertificates &certificates = TestCertificates::instance();
        CertificatePins::trust("hub.example:4433", certificates.hubCertificate(), {});
        CertificatePins::trust("other.example:4433", certificates.replacementCertificate(), {});
        delete m_dialog;
        m_dialog = new SettingsDialog;
        auto *list = m_dialog->findChild<QListWidget *>("trustedCertificateList");
        QVERIFY(list);
        QCOMPARE(list->count(), 2);
        const QList<QListWidgetItem *> found = list->findItems("hub.example:4433", Qt::MatchStartsWith);
        QCOMPARE(found.size(), 1);
        // Shown over two lines, whole in the tool tip.
        const QString fingerprint = CertificatePins::fingerprint(certificates.hubCertificate());
        QVERIFY(found.first()->text().remove(QRegularExpression("\\s")).contains(fingerprint));
        QCOMPARE(found.first()->toolTip(), fingerprint);
        found.first()->setSelected(true);
        click(m_dialog, "forgetCertificateButton");
        QCOMPARE(CertificatePins::pins().size(), 1);
        QCOMPARE(CertificatePins::pins().first().hostPort, QString("other.example:4433"));
        QCOMPARE(list->count(), 1);
        CertificatePins::forget("other.example:4433");
    }

    // Authority files added or removed count only once applied: Cancel leaves the list in use alone.
    void authorityFilesChangeOnlyWhenApplied()
    {
        const QString authority = TestCertificates::instance().authorityPath();
        for (const bool apply : { false, true }) {
            QPointer<SettingsDialog> dialog = new SettingsDialog;
            ModalDriver driver;
            driver.expectFileChoice(authority);
            click(dialog, "addAuthorityButton");
            QTRY_VERIFY(driver.allHandled());
            QTRY_COMPARE(child<QListWidget>(dialog, "extraAuthorityList")->count(), 1);
            QVERIFY(ExtraAuthorities::files().isEmpty());
            click(dialog, apply ? "okayButton" : "cancelButton");
            delete dialog;
            QCOMPARE(ExtraAuthorities::files(), apply ? QStringList { QFileInfo(authority).absoluteFilePath() } : QStringList());
        }
        ExtraAuthorities::setFiles({});
    }

    void fontScaleInSteps_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("shown");
        QTest::newRow("110") << 110 << 4 << "100%";
        QTest::newRow("smallest") << 50 << 2 << "50%";
        QTest::newRow("largest") << 200 << 8 << "200%";
        QTest::newRow("174") << 174 << 6 << "150%";
    }

    void fontScaleInSteps()
    {
        QFETCH(int, stored);
        QFETCH(int, position);
        QFETCH(QString, shown);
        StyleManager::setFontScale(stored);
        SettingsDialog dialog;
        QCOMPARE(child<QSlider>(&dialog, "fontScaleSlider")->value(), position);
        QCOMPARE(child<QLabel>(&dialog, "fontScaleValueLabel")->text(), shown);
        click(&dialog, "applyButton");
        const int applied = position * StyleManager::FontScaleStep;
        QCOMPARE(StyleManager::fontScale(), applied);
        QCOMPARE(QSettings().value("settings/fontScale").toInt(), applied);
        StyleManager::setFontScale(StyleManager::DefaultFontScale);
    }

    // Apply always hands the theme and done key over; unchanged values must not cost an upload.
    void applyUploadsOnlyChanges()
    {
        SettingsManager::instance()->setRecentsKey("zu.example:4433:live");
        m_connection->setRelease("live", "Live");
        settle();
        QVERIFY(m_files->log.contains("put /.zudesktop_0001"));
        const int operations = m_files->log.size();

        click(m_dialog, "applyButton");
        settle();
        QCOMPARE(m_files->log.size(), operations);

        child<QComboBox>(m_dialog, "keyDoneCombo")->setCurrentText("F1");
        click(m_dialog, "applyButton");
        settle();
        QVERIFY(m_files->log.contains("put /.zudesktop_0002"));
        const QJsonObject written = QJsonDocument::fromJson(m_files->files.value("/.zudesktop_0002")).object();
        QCOMPARE(written.value("keyMapper").toObject().value("done").toString(), QString("F1"));
        resetDoneKey();
    }

    void passwordChange_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("newPassword");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<QStringList>("sent");

        QTest::newRow("trailing blank differs") << "old"
                                                << "s3cret "
                                                << "s3cret" << QStringList();
        QTest::newRow("equal, sent trimmed") << " old "
                                             << " s3cret "
                                             << " s3cret " << QStringList { "old", "s3cret" };
    }

    void passwordChange()
    {
        QFETCH(QString, current);
        QFETCH(QString, newPassword);
        QFETCH(QString, confirm);
        QFETCH(QStringList, sent);

        QSignalSpy requested(m_dialog, &SettingsDialog::passwordChangeRequested);
        QString box;
        ModalDriver driver;
        driver.expect<QMessageBox>([&box](QMessageBox *shown) {
            box = shown->windowTitle() + "|" + shown->text();
            shown->accept();
        });
        click(m_dialog, "passwordTabButton");
        auto *currentEdit = child<QLineEdit>(m_dialog, "currentPassEdit");
        auto *newEdit = child<QLineEdit>(m_dialog, "newPassEdit");
        auto *confirmEdit = child<QLineEdit>(m_dialog, "confirmPassEdit");
        currentEdit->setText(current);
        newEdit->setText(newPassword);
        confirmEdit->setText(confirm);
        click(m_dialog, "changePassButton");

        if (sent.isEmpty()) {
            QTRY_COMPARE(box, QString("Password Change Failed|New password fields must match."));
            QCOMPARE(requested.size(), 0);
            QCOMPARE(currentEdit->text(), current);
        } else {
            QVERIFY(driver.unexpected().isEmpty());
            QCOMPARE(requested.size(), 1);
            QCOMPARE(requested.at(0).at(0).toString(), sent.at(0));
            QCOMPARE(requested.at(0).at(1).toString(), sent.at(1));
            QVERIFY(currentEdit->text().isEmpty());
        }
        QVERIFY(newEdit->text().isEmpty());
        QVERIFY(confirmEdit->text().isEmpty());
    }

    void blankPasswordsCannotBeSent()
    {
        auto *change = child<QAbstractButton>(m_dialog, "changePassButton");
        child<QLineEdit>(m_dialog, "currentPassEdit")->setText("old");
        child<QLineEdit>(m_dialog, "newPassEdit")->setText("   ");
        child<QLineEdit>(m_dialog, "confirmPassEdit")->setText("   ");
        QVERIFY(!change->isEnabled());
        child<QLineEdit>(m_dialog, "newPassEdit")->setText("new");
        QVERIFY(change->isEnabled());
    }

    // The chosen key is stored, answers as "done" at once, and an open ring menu binds it.
    void doneKeyRoundTrip()
    {
        RingMenuWidget ring;
        Pb::ScreenMenu menu;
        for (const auto &[label, key] : { std::pair { "Accept", int(Pb::ZUGUI_DONE) },
                                          std::pair { "Exit", int(Pb::ZUGUI_ABORT) } }) {
            Pb::ScreenMenu::MenuItem *item = menu.add_menu_item();
            item->set_label(label);
            item->set_shortcut_key(key);
        }
        ring.buildMenu(menu, false);
        QObject *accept = ring.boundTo(QKeySequence(Qt::Key_F9));
        QVERIFY(accept);

        auto *combo = child<QComboBox>(m_dialog, "keyDoneCombo");
        QCOMPARE(combo->currentText(), QString("F9"));
        combo->setCurrentText("F1");
        click(m_dialog, "okayButton");

        QCOMPARE(SettingsManager::instance()->settings().doneKey, QKeySequence(Qt::Key_F1));
        QCOMPARE(QSettings().value("KeyMapper/done").toString(), QString("F1"));
        const QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
        const QKeyEvent f9(QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier);
        QCOMPARE(KeyMapper::instance()->pbKeyFor(&f1, false), int(Pb::ZUGUI_DONE));
        QCOMPARE(KeyMapper::instance()->pbKeyFor(&f9, false), int(Pb::ZUGUI_NONE));
        QVERIFY(ring.boundTo(QKeySequence(Qt::Key_F1)));
        QVERIFY(!ring.boundTo(QKeySequence(Qt::Key_F9)));

        SettingsDialog reopened;
        QCOMPARE(child<QComboBox>(&reopened, "keyDoneCombo")->currentText(), QString("F1"));
        resetDoneKey();
    }

    // An open classic page takes the new colours and font size, and its character grid is the one
    // a page opened afterwards gets.
    void openPageFollowsThemeAndScale()
    {
        ClassicApplicationWidget page(1, "Student Records", false);
        page.resize(1400, 700);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        showScreen(&page);
        auto *edit = page.getField(1, "first")->findChild<QLineEdit *>("fieldLineEdit");
        edit->ensurePolished();
        const int columnsBefore = columnWidthOf(&page);
        QCOMPARE(edit->palette().color(QPalette::Text), QColor(StyleManager::themeVar("color_field_text")));

        child<QComboBox>(m_dialog, "themeCombo")->setCurrentText(DarkTheme);
        child<QSlider>(m_dialog, "fontScaleSlider")->setValue(2);
        click(m_dialog, "applyButton");

        QCOMPARE(StyleManager::currentThemeName(), DarkTheme);
        QCOMPARE(edit->palette().color(QPalette::Text), QColor(StyleManager::themeVar("color_field_text")));
        QCOMPARE(edit->font().pointSize(), StyleManager::fontSize("m"));
        QVERIFY(columnWidthOf(&page) != columnsBefore);

        ClassicApplicationWidget fresh(2, "Student Records", false);
        fresh.resize(page.size());
        showScreen(&fresh);
        fresh.show();
        QVERIFY(QTest::qWaitForWindowExposed(&fresh));
        QTRY_COMPARE(columnWidthOf(&page), columnWidthOf(&fresh));

        child<QComboBox>(m_dialog, "themeCombo")->setCurrentText(LightTheme);
        child<QSlider>(m_dialog, "fontScaleSlider")->setValue(4);
        click(m_dialog, "applyButton");
    }

private:
    void settle()
    {
        QTRY_VERIFY(m_files->pendingReplies() == 0
                    && SettingsManager::instance()->syncState() == SettingsManager::Idle);
    }

    static void resetDoneKey()
    {
        SettingsManager::UserSettings user = SettingsManager::instance()->settings();
        user.doneKey = QKeySequence(Qt::Key_F9);
        SettingsManager::instance()->setSettings(user);
    }

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<MainConnection> m_connection;
    std::unique_ptr<FakeMenuFiles> m_files;
    QPointer<SettingsDialog> m_dialog;
};

QTEST_MAIN(tst_SettingsDialog)
#include "tst_settingsdialog.moc"
