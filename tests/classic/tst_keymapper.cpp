#include "classic/expandkeymarkers.h"
#include "classic/keymapper.h"
#include "testpaths.h"

#include <QFile>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

class tst_KeyMapper : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { mapper()->setDoneKeySource({}); }

    void pbKeyFor_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("arrows");
        QTest::addColumn<int>("code");

        const int ctrl = Qt::ControlModifier;
        const int shift = Qt::ShiftModifier;
        const int none = Qt::NoModifier;
        const struct
        {
            const char *name;
            int key;
            int code;
        } ctrlLetters[] = { { "B", Qt::Key_B, 2009 }, { "E", Qt::Key_E, 2014 }, { "F", Qt::Key_F, 2010 },
                            { "G", Qt::Key_G, 2015 }, { "N", Qt::Key_N, 2016 }, { "O", Qt::Key_O, 2013 },
                            { "P", Qt::Key_P, 2012 }, { "T", Qt::Key_T, 2003 }, { "U", Qt::Key_U, 2017 },
                            { "V", Qt::Key_V, 2018 }, { "W", Qt::Key_W, 2020 }, { "Y", Qt::Key_Y, 2019 } };
        for (const auto &letter : ctrlLetters) {
            QTest::addRow("Ctrl+%s", letter.name) << letter.key << ctrl << false << letter.code;
            QTest::addRow("%s alone", letter.name) << letter.key << none << true << 0;
        }
        QTest::newRow("Ctrl+Shift+W") << int(Qt::Key_W) << (ctrl | shift) << false << 2020;
        QTest::newRow("Ctrl+Alt+T") << int(Qt::Key_T) << (ctrl | int(Qt::AltModifier)) << false << 2003;
        QTest::newRow("Ctrl+A") << int(Qt::Key_A) << ctrl << false << 0;
        QTest::newRow("F9 done") << int(Qt::Key_F9) << none << false << 2001;
        QTest::newRow("F1") << int(Qt::Key_F1) << none << false << 0;
        QTest::newRow("Shift+F9") << int(Qt::Key_F9) << shift << false << 0;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << none << false << 2000;
        QTest::newRow("Tab") << int(Qt::Key_Tab) << none << false << 2004;
        QTest::newRow("Return") << int(Qt::Key_Return) << none << false << 2004;
        QTest::newRow("Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << false << 2004;
        QTest::newRow("Backtab") << int(Qt::Key_Backtab) << shift << false << 2007;
        QTest::newRow("Shift+Delete") << int(Qt::Key_Delete) << shift << false << 2021;
        QTest::newRow("Delete") << int(Qt::Key_Delete) << none << false << 0;
        QTest::newRow("Left with arrows") << int(Qt::Key_Left) << none << true << 2007;
        QTest::newRow("Left in field") << int(Qt::Key_Left) << none << false << 0;
        QTest::newRow("Right with arrows") << int(Qt::Key_Right) << none << true << 2008;
        QTest::newRow("Right in field") << int(Qt::Key_Right) << none << false << 0;
        QTest::newRow("Up") << int(Qt::Key_Up) << none << false << 2005;
        QTest::newRow("Down") << int(Qt::Key_Down) << none << false << 2006;
        QTest::newRow("Page Up") << int(Qt::Key_PageUp) << none << false << 2009;
        QTest::newRow("Page Down") << int(Qt::Key_PageDown) << none << false << 2010;
        QTest::newRow("F3") << int(Qt::Key_F3) << none << false << 2011;
        QTest::newRow("F5") << int(Qt::Key_F5) << none << false << 2022;
        QTest::newRow("F6") << int(Qt::Key_F6) << none << false << 2003;
        QTest::newRow("Space") << int(Qt::Key_Space) << none << true << 0;
        QTest::newRow("Home") << int(Qt::Key_Home) << none << true << 0;
    }

    void pbKeyFor()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, arrows);
        QFETCH(int, code);
        const QKeyEvent event(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(mapper()->pbKeyFor(&event, arrows), code);
    }

    void keySequenceFor_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QKeySequence>("sequence");
        // ZUGUI_ABORT (2000) upwards; empty where a code has no key.
        const char *const shown[]
            = { "Esc",    "F9",     "",       "F6",     "Enter",  "Up",        "Down",   "Left",
                "Right",  "PgUp",   "PgDown", "F3",     "Ctrl+P", "Ctrl+O",    "Ctrl+E", "Ctrl+G",
                "Ctrl+N", "Ctrl+U", "Ctrl+V", "Ctrl+Y", "Ctrl+W", "Shift+Del", "F5",     "Space" };
        int code = 2000;
        for (const char *key : shown) {
            QTest::addRow("%d", code) << code << QKeySequence(QString::fromLatin1(key));
            ++code;
        }
        QTest::newRow("NONE") << 0 << QKeySequence();
        QTest::newRow("plain character") << 150 << QKeySequence();
        QTest::newRow("past the table") << 2024 << QKeySequence();
        QTest::newRow("negative") << -2001 << QKeySequence();
    }

    void keySequenceFor()
    {
        QFETCH(int, code);
        QFETCH(QKeySequence, sequence);
        QCOMPARE(mapper()->keySequenceFor(code), sequence);
    }

    // Every shown key produces its code again, except Space (text blocks open through the field).
    void shownKeysProduceTheirCodes()
    {
        for (int code = 2000; code <= 2023; ++code) {
            const QKeySequence sequence = mapper()->keySequenceFor(code);
            if (sequence.isEmpty())
                continue;
            const int combined = sequence[0];
            const QKeyEvent event(QEvent::KeyPress, combined & ~Qt::KeyboardModifierMask,
                                  Qt::KeyboardModifiers(combined & Qt::KeyboardModifierMask));
            const int expected = code == 2023 ? 0 : code;
            QVERIFY2(mapper()->pbKeyFor(&event, true) == expected, qPrintable(QString::number(code)));
        }
    }

    void doneKeyFollowsSetting()
    {
        QKeySequence setting(Qt::Key_F9);
        mapper()->setDoneKeySource([&setting] { return setting; });
        const QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
        const QKeyEvent f9(QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier);
        QCOMPARE(mapper()->pbKeyFor(&f9, false), 2001);
        QCOMPARE(mapper()->pbKeyFor(&f1, false), 0);

        setting = QKeySequence(Qt::Key_F1);
        QCOMPARE(mapper()->pbKeyFor(&f1, false), 2001);
        QCOMPARE(mapper()->pbKeyFor(&f9, false), 0);
        QCOMPARE(mapper()->keySequenceFor(2001), QKeySequence(Qt::Key_F1));
        QCOMPARE(expandKeyMarkers("Press \xFE"
                                  "2001 to finish"),
                 QStringLiteral("Press [F1] to finish"));
    }

    // Every key the map translates, in its plainest form, is named in a key table of the guide.
    void userGuideListsEveryKey()
    {
        QFile guide(QStringLiteral(ZU_USER_GUIDE));
        QVERIFY2(guide.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(guide.fileName()));
        QSet<QString> listed;
        const QRegularExpression quoted(QStringLiteral("`([^`]+)`"));
        for (const QString &line : QString::fromUtf8(guide.readAll()).split(QLatin1Char('\n'))) {
            if (!line.startsWith(QLatin1Char('|')))
                continue;
            for (auto match = quoted.globalMatch(line); match.hasNext();)
                listed.insert(match.next().captured(1));
        }
        QVERIFY(listed.contains(QStringLiteral("F9")));

        QStringList missing;
        const auto probe = [&] {
            const QList<int> keys = probedKeys();
            for (const Qt::KeyboardModifiers modifiers :
                 { Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::ControlModifier),
                   Qt::KeyboardModifiers(Qt::ShiftModifier) }) {
                for (const int key : keys) {
                    const QKeyEvent plain(QEvent::KeyPress, key, Qt::NoModifier);
                    const QKeyEvent event(QEvent::KeyPress, key, modifiers);
                    if (mapper()->pbKeyFor(&event, true) == 0
                        || (modifiers != Qt::NoModifier && mapper()->pbKeyFor(&plain, true) != 0))
                        continue;
                    const QString name = key == Qt::Key_Backtab
                        ? QStringLiteral("Shift+Tab")
                        : QKeySequence(key | int(modifiers)).toString(QKeySequence::PortableText);
                    if (!listed.contains(name) && !missing.contains(name))
                        missing << name;
                }
            }
        };
        probe();
        mapper()->setDoneKeySource([] { return QKeySequence(Qt::Key_F1); });
        probe();
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1String(", "))));
    }

    void markers_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("expanded");
        QTest::newRow("no marker") << QByteArray("Enter the customer") << "Enter the customer";
        QTest::newRow("empty") << QByteArray() << "";
        QTest::newRow("one") << QByteArray("Press \xFE"
                                           "2001 to save")
                             << "Press [F9] to save";
        QTest::newRow("several") << QByteArray("\xFE"
                                               "2000 quits, \xFE"
                                               "2003 lists, \xFE"
                                               "2012 goes back")
                                 << "[Esc] quits, [F6] lists, [Ctrl+P] goes back";
        QTest::newRow("adjacent") << QByteArray("\xFE"
                                                "2005 \xFE"
                                                "2006 move")
                                  << "[Up] [Down] move";
        QTest::newRow("runs to the end") << QByteArray("Save with \xFE"
                                                       "2001")
                                         << "Save with ";
        QTest::newRow("after one, runs to the end") << QByteArray("\xFE"
                                                                  "2009 or \xFE"
                                                                  "2010")
                                                    << "[PgUp] or ";
        QTest::newRow("unknown code") << QByteArray("Key \xFE"
                                                    "150 here")
                                      << "Key [??] here";
        QTest::newRow("done-x") << QByteArray("\xFE"
                                              "2002 ")
                                << "[??] ";
        QTest::newRow("not a number") << QByteArray("\xFE"
                                                    "abc x")
                                      << "[??] x";
        QTest::newRow("no number") << QByteArray("\xFE x") << "[??] x";
        QTest::newRow("digits then letters") << QByteArray("\xFE"
                                                           "2020abc help")
                                             << "[Ctrl+W] help";
        QTest::newRow("latin-1") << QByteArray("Caf\xE9 \xFE"
                                               "2004 ok")
                                 << QString::fromUtf8("Caf\u00e9 [Enter] ok");
    }

    void markers()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, expanded);
        QCOMPARE(expandKeyMarkers(text.toStdString()), expanded);
    }

private:
    static KeyMapper *mapper() { return KeyMapper::instance(); }

    static QList<int> probedKeys()
    {
        QList<int> keys;
        for (int key = Qt::Key_A; key <= Qt::Key_Z; ++key)
            keys << key;
        for (int key = Qt::Key_0; key <= Qt::Key_9; ++key)
            keys << key;
        for (int key = Qt::Key_F1; key <= Qt::Key_F12; ++key)
            keys << key;
        for (int key = Qt::Key_Escape; key <= Qt::Key_PageDown; ++key)
            keys << key; // Escape, Tab, Backtab, Backspace, Return, Enter … Home, End, arrows, paging
        keys << Qt::Key_Space << Qt::Key_Minus << Qt::Key_Equal << Qt::Key_Plus;
        return keys;
    }
};

QTEST_MAIN(tst_KeyMapper)
#include "tst_keymapper.moc"
