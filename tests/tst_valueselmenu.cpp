#include "testenvironment.h"
#include "valueselmenu.h"

#include <startup/cfgcenter.h>
#include <tevbase/errorhandler.h>
#include <values/tree.h>
#include <values/valueselection.h>

#include <QAction>
#include <QRegularExpression>
#include <QSettings>
#include <QtTest>

namespace {
QStringList g_reports; // the expression of each failed check of the menu
QtMessageHandler g_previousHandler = nullptr;

void captureAsserts(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (qstrcmp(context.category, "tev.assert") != 0)
        return g_previousHandler(type, context, message);
    // The menu's source as the platform's tools know it, whatever the build tree.
    static const QRegularExpression form(QStringLiteral(
        R"(^Assertion failed: (.*) \(devicecontrol\\tevframebase\\src\\valueselmenu:\d+\)$)"));
    const QRegularExpressionMatch match = form.match(message);
    g_reports << (match.hasMatch() ? match.captured(1) : QStringLiteral("unexpected: ") + message);
}

// Runs `steps` on `menu`, whose values live under `root`: "i3" inserts entry 3 with the key
// F1 + 3, "s3:mode=k1" binds it to the selection "mode" and its item "k1", "b3:flag" to the
// boolean "flag", "p3" makes it persistent (default key 1), "c3" checkable, "t3" triggers it,
// "v:mode=k1" selects "k1" in "mode" from outside.
void run(ValueSelMenu& menu, const QString& root, const QString& steps)
{
    for (const QString& step : steps.split(' ', Qt::SkipEmptyParts)) {
        const QChar op = step.at(0);
        const int id = step.mid(1).section(':', 0, 0).toInt();
        const QString name = step.section(':', 1).section('=', 0, 0);
        const QString item = step.section('=', 1);
        if (op == 'i')
            menu.InsertItem(QString::number(id), id, Qt::Key_F1 + id);
        else if (op == 's')
            menu.SetSelection_ValuePath(id, root, name, item);
        else if (op == 'b')
            menu.SetBoolean_ValuePath(id, root, name);
        else if (op == 'p')
            menu.SetPersistant(id, 1);
        else if (op == 'c')
            menu.SetCheckable(id);
        else if (op == 't')
            menu.FindItem(id)->trigger();
        else if (op == 'v')
            values::Tree::Instance()->Find<values::ValueSelection>(root + name)->Select(item);
    }
}

// Items "k0", "k1", ... with the keys 0, 1, ...; the first one current.
values::ValueSelection* addSelection(const QString& root, const QString& name, int count = 15)
{
    auto* selection = new values::ValueSelection(name);
    for (int key = 0; key < count; ++key)
        selection->AddItem(new values::SelectionItem(QStringLiteral("k%1").arg(key), 0.0, key));
    selection->SelectIndex(0);
    values::Tree::Instance()->AddValue(root, selection);
    return selection;
}

values::BoolValue* addBoolean(const QString& root, const QString& name)
{
    auto* boolean = new values::BoolValue(name);
    values::Tree::Instance()->AddValue(root, boolean);
    return boolean;
}
} // namespace

class TestValueSelMenu : public QObject
{
    Q_OBJECT
    TestConfigDir m_config;
    int m_rootCount = 0;
    // The tree is shared by the whole process: every test works under a root of its own.
    QString freshRoot() { return QStringLiteral("/Menu%1/").arg(++m_rootCount); }

    int storedKey(const QString& name)
    {
        CfgCenter::Sync();
        QSettings ini(m_config.iniPath(QCoreApplication::applicationName()), QSettings::IniFormat);
        return ini.value(QStringLiteral("MenuSettings/") + name, -99).toInt();
    }

private slots:
    void initTestCase()
    {
        ErrorHandler::Instance().SetFlags(ErrorHandler::Assertions);
        g_previousHandler = qInstallMessageHandler(captureAsserts);
    }

    // The menu's values are the selection "mode" (k0 current) and the boolean "flag" (false).
    void steps_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("key"); // of "mode" afterwards
        QTest::addColumn<bool>("flag");
        QTest::addColumn<QString>("marks"); // the entries' check marks, in menu order, if checked
        QTest::addColumn<QString>("reports");
        const auto row = [](const char* tag, const QString& steps, int key, bool flag,
                             const char* marks, const char* reports) {
            QTest::newRow(tag) << steps << key << flag << marks << reports;
        };
        row("selection", "i2 s2:mode=k2 t2", 2, false, "", "");
        row("selection wins over boolean", "i2 s2:mode=k2 b2:flag t2", 2, false, "", "");
        row("empty item name flips boolean", "i2 s2:mode b2:flag t2", 0, true, "", "");
        row("empty item name, no boolean", "i2 s2:mode t2", 0, false, "", "");
        row("boolean", "i2 b2:flag t2", 0, true, "", "");
        // A negative id is not reported either.
        row("ids outside the tables", "i14 i-1 s-1:mode=k0 p14 c-1 t14 t-1", 0, false, "", "");

        const QString marked = "i0 s0:mode=k0 c0 i1 s1:mode=k1 c1 "; // two checkable entries
        row("check mark of the current item", marked, 0, false, "x-", "");
        row("check marks follow a trigger", marked + "t1", 1, false, "-x", "");
        row("check marks follow the value", marked + "t1 v:mode=k0", 0, false, "x-", "");
        // The toolkit clears the mark; the selection does not change and says nothing.
        row("current item triggered keeps its mark", marked + "t0", 0, false, "x-", "");
        row("shared selection stays observed when one item rebinds",
            "i0 i1 s0:mode=k0 s1:mode=k1 c1 s0:other=k0 v:mode=k1", 1, false, "-x",
            "m_pValueSelection[itemId] == NULL");

        row("selection id too large", "s14:mode=k0", 0, false, "", "(itemId < iMAX_ITEMID)");
        row("selection path holds a boolean", "s0:flag=k0", 0, false, "",
            "m_pValueSelection[itemId]");
        row("boolean path holds a selection", "b0:mode", 0, false, "", "m_pValueBoolean[itemId]");
        row("selection rebound", "s0:mode=k0 s0:mode=k1", 0, false, "",
            "m_pValueSelection[itemId] == NULL");
        row("persistent without selection", "p3", 0, false, "", "m_pValueSelection");
    }
    void steps()
    {
        QFETCH(QString, steps);
        const QString root = freshRoot();
        values::ValueSelection* mode = addSelection(root, "mode");
        values::ValueSelection* other = addSelection(root, "other");
        values::BoolValue* flag = addBoolean(root, "flag");
        g_reports.clear();
        {
            ValueSelMenu menu;
            run(menu, root, steps);
            QString shown;
            for (QAction* entry : menu.actions()) {
                shown += entry->isChecked() ? 'x' : '-';
                QCOMPARE(entry->shortcut(), QKeySequence(Qt::Key_F1 + entry->data().toInt()));
            }
            QFETCH(QString, marks);
            if (!marks.isEmpty()) // entries that are not checkable show what the toolkit left
                QCOMPARE(shown, marks);
            QTEST(int(mode->GetCurrentKey()), "key");
            QTEST(flag->GetValue(), "flag");
        }
        QTEST(g_reports.join('|'), "reports");
        // The menu lets go of every value it watched, once, whatever the binding.
        QCOMPARE(mode->ObserverCount() + other->ObserverCount() + flag->ObserverCount(), 0);
    }

    void persistenceRoundTrip()
    {
        const QString root = freshRoot();
        values::ValueSelection* kept = addSelection(root, "KeptMode");
        values::ValueSelection* passing = addSelection(root, "PassingMode");
        addBoolean(root, "PassingFlag");
        {
            ValueSelMenu menu;
            run(menu, root, "s0:KeptMode=k0 p0 s1:PassingMode=k0 b2:PassingFlag");
            QCOMPARE(kept->GetCurrentKey(), 1L); // nothing stored yet: the default
            kept->Select(2L);
            passing->Select(2L);
        }
        QCOMPARE(storedKey("KeptMode"), 2);
        QCOMPARE(storedKey("PassingMode"), -99);
        QCOMPARE(storedKey("PassingFlag"), -99);
        kept->Select(0L);
        ValueSelMenu menu;
        run(menu, root, "s0:KeptMode=k0 p0");
        QCOMPARE(kept->GetCurrentKey(), 2L);
    }

    void endingValuesAreDropped()
    {
        const QString root = freshRoot();
        addSelection(root, "EndingMode");
        addBoolean(root, "EndingFlag");
        {
            ValueSelMenu menu;
            run(menu, root, "i0 i1 s0:EndingMode=k1 p0 c0 b1:EndingFlag");
            QVERIFY(values::Tree::Instance()->RemoveValue(root + "EndingMode"));
            QVERIFY(values::Tree::Instance()->RemoveValue(root + "EndingFlag"));
            run(menu, root, "t0 t1"); // must not touch the deleted values
        }
        QCOMPARE(storedKey("EndingMode"), -99);
    }
};

QTEST_MAIN(TestValueSelMenu)
#include "tst_valueselmenu.moc"
