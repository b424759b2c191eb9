#include "classic/overlayblobedit.h"

#include "overlaypage.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <memory>

// The text-block overlay: where its box sits, Save following the editor's changes (undo
// included), the answers of an editable and a read-only block, and the wide toggle.
class tst_OverlayBlobEdit : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_page = std::make_unique<OverlayPage>(QSize(900, 700));
    }
    void cleanup() { m_page.reset(); }

    void saveFollowsTheChanges()
    {
        OverlayBlobEdit *overlay = open("Scholarship holder", false, 150);
        QSignalSpy accepted(overlay, &OverlayBlobEdit::accepted);
        QSignalSpy rejected(overlay, &OverlayBlobEdit::rejected);
        auto *save = overlay->findChild<QPushButton *>("saveButton");
        QCOMPARE(save->text(), QString("&Save"));
        QVERIFY(!overlay->findChild<QWidget *>("formMenuLayout")->isHidden());
        QVERIFY(!save->isEnabled());
        QCOMPARE(overlay->textEdit()->toPlainText(), QString("Scholarship holder"));

        QTest::keyClicks(overlay->textEdit(), "Late ");
        QVERIFY(save->isEnabled());
        QVERIFY(overlay->isModified());
        // Undoing every change is no change.
        for (int i = 0; i < 5 && overlay->isModified(); ++i)
            overlay->textEdit()->undo();
        QVERIFY(!overlay->isModified());
        QVERIFY(!save->isEnabled());
        QCOMPARE(overlay->textEdit()->toPlainText(), QString("Scholarship holder"));

        overlay->textEdit()->moveCursor(QTextCursor::End);
        QTest::keyClick(overlay->textEdit(), Qt::Key_Return);
        QTest::keyClicks(overlay->textEdit(), "Part-time");
        save->click();
        QCOMPARE(accepted.count(), 1);
        QCOMPARE(accepted.at(0).at(0).toString(), QString("Scholarship holder\nPart-time"));
        QCOMPARE(rejected.count(), 0);
        // No key reaches the page.
        QVERIFY(m_page->keys.isEmpty());
    }

    void emptiedTextIsSavedNotCancelled()
    {
        OverlayBlobEdit *overlay = open("Transfer student", false, 0);
        QSignalSpy accepted(overlay, &OverlayBlobEdit::accepted);
        overlay->textEdit()->selectAll();
        QTest::keyClick(overlay->textEdit(), Qt::Key_Delete);
        overlay->findChild<QPushButton *>("saveButton")->click();
        QCOMPARE(accepted.count(), 1);
        const QString text = accepted.at(0).at(0).toString();
        QVERIFY(text.isEmpty() && !text.isNull());
    }

    void cancelAndEscape()
    {
        OverlayBlobEdit *overlay = open("x", false, 0);
        QSignalSpy rejected(overlay, &OverlayBlobEdit::rejected);
        overlay->findChild<QPushButton *>("cancelButton")->click();
        QCOMPARE(rejected.count(), 1);
        QTest::keyClick(overlay->textEdit(), Qt::Key_Escape);
        QTRY_COMPARE(rejected.count(), 2);
    }

    void readOnlyClosesOnReturnEnterEscape()
    {
        OverlayBlobEdit *overlay = open("Needs accessible rooms", true, 0);
        QSignalSpy rejected(overlay, &OverlayBlobEdit::rejected);
        QSignalSpy accepted(overlay, &OverlayBlobEdit::accepted);
        QVERIFY(overlay->findChild<QWidget *>("formMenuLayout")->isHidden());
        QVERIFY(overlay->textEdit()->isReadOnly());
        QVERIFY(overlay->findChild<QPushButton *>("closeButton")->isDefault());

        QTest::ignoreMessage(QtDebugMsg,
                             QRegularExpression("OverlayBlobEdit::keyPressEvent - key 65 dropped."));
        QTest::keyClick(overlay->textEdit(), Qt::Key_A);
        QCOMPARE(overlay->textEdit()->toPlainText(), QString("Needs accessible rooms"));
        QCOMPARE(rejected.count(), 0);
        QTest::keyClick(overlay->textEdit(), Qt::Key_Return);
        QTest::keyClick(overlay->textEdit(), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(rejected.count(), 2);
        QTest::keyClick(overlay->textEdit(), Qt::Key_Escape);
        QTRY_COMPARE(rejected.count(), 3);
        QCOMPARE(accepted.count(), 0);
        QVERIFY(m_page->keys.isEmpty());
    }

    void boxStartsAtTheFieldAndTogglesWidth()
    {
        OverlayBlobEdit *overlay = open("x", false, 120);
        auto *box = overlay->findChild<QFrame *>("dialogBox");
        QCOMPARE(box->y(), 120);
        QVERIFY(overlay->findChild<QCheckBox *>("wideCheckbox")->isChecked());
        QCOMPARE(box->width(), overlay->width() - 48);

        overlay->findChild<QCheckBox *>("wideCheckbox")->setChecked(false);
        QTRY_VERIFY(box->width() < overlay->width() - 48);
        QVERIFY(box->width() >= 300);
        QCOMPARE(box->geometry().right(), overlay->width() - 24 - 1);

        overlay->findChild<QCheckBox *>("wideCheckbox")->setChecked(true);
        QTRY_COMPARE(box->width(), overlay->width() - 48);
    }

private:
    OverlayBlobEdit *open(const QString &text, bool readOnly, int fieldY)
    {
        // The page is placed first: the field's position is global.
        m_page->QWidget::show();
        const QPoint field = m_page->mapToGlobal(QPoint(40, fieldY));
        OverlayBlobEdit *overlay = m_page->show(new OverlayBlobEdit(text, readOnly, field, m_page.get()));
        QCoreApplication::processEvents();
        return overlay;
    }

    std::unique_ptr<OverlayPage> m_page;
};

QTEST_MAIN(tst_OverlayBlobEdit)
#include "tst_overlayblobedit.moc"
