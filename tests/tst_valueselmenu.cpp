#include "testenvironment.h"
#include "valueselmenu.h"

#include <startup/cfgcenter.h>
#include <tevbase/errorhandler.h>
#include <values/tree.h>
#include <values/valueselection.h>

#include <QAction>
#include <QSettings>
#include <QtTest>

#include <functional>

using MenuSetup = std::function<void(ValueSelMenu&, const QString& root)>;
Q_DECLARE_METATYPE(MenuSetup)

namespace {
QStringList g_reports;
QStringList g_sources; // "<file>:<line>" of each report
QtMessageHandler g_previousHandler = nullptr;

void captureAsserts(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (qstrcmp(context.category, "tev.assert") == 0) {
        // "Assertion failed: <expression> (<file>:<line>)"
        g_reports << message.section(QStringLiteral(": "), 1).section(QStringLiteral(" ("), 0, 0);
        g_sources << message.section(QStringLiteral(" ("), -1).chopped(1);
        return;
    }
    g_previousHandler(type, context, message);
}

values::Tree& tree()
{
    return *values::Tree::Instance();
}

// Items "k0", "k1", ... with the keys 0, 1, ...; the first one current.
values::ValueSelection* addSelection(const QString& root, const QString& name, int count = 3)
{
    auto* selection = new values::ValueSelection(name);
    for (int key = 0; key < count; ++key)
        selection->AddItem(new values::SelectionItem(QStringLiteral("k%1").arg(key), 0.0, key));
    selection->SelectIndex(0);
    tree().AddValue(root, selection);
    return selection;
}

values::BoolValue* addBoolean(const QString& root, const QString& name)
{
    auto* boolean = new values::BoolValue(name);
    tree().AddValue(root, boolean);
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
    void init()
    {
        g_reports.clear();
        g_sources.clear();
    }

    void activation_data()
    {
        QTest::addColumn<bool>("bindSelection");
        QTest::addColumn<QString>("itemName");
        QTest::addColumn<bool>("bindBoolean");
        QTest::addColumn<long>("key");
        QTest::addColumn<bool>("flag");
        QTest::newRow("selection") << true << "k2" << false << 2L << false;
        QTest::newRow("selection wins over boolean") << true << "k2" << true << 2L << false;
        QTest::newRow("empty item name flips boolean") << true << "" << true << 0L << true;
        QTest::newRow("empty item name, no boolean") << true << "" << false << 0L << false;
        QTest::newRow("boolean") << false << "" << true << 0L << true;
    }
    void activation()
    {
        QFETCH(bool, bindSelection);
        QFETCH(QString, itemName);
        QFETCH(bool, bindBoolean);
        const QString root = freshRoot();
        values::ValueSelection* selection = addSelection(root, "mode");
        values::BoolValue* boolean = addBoolean(root, "flag");
        ValueSelMenu menu;
        menu.InsertItem("Entry", 2, Qt::Key_F5);
        QCOMPARE(menu.FindItem(2)->shortcut(), QKeySequence(Qt::Key_F5));
        if (bindSelection)
            menu.SetSelection_ValuePath(2, root, "mode", itemName);
        if (bindBoolean)
            menu.SetBoolean_ValuePath(2, root, "flag");
        menu.FindItem(2)->trigger();
        QTEST(selection->GetCurrentKey(), "key");
        QTEST(boolean->GetValue(), "flag");
        QVERIFY(g_reports.isEmpty());
    }

    void idsOutsideTheTablesChangeNothing()
    {
        const QString root = freshRoot();
        values::ValueSelection* selection = addSelection(root, "mode", 15);
        ValueSelMenu menu;
        menu.InsertItem("Fourteen", 14);
        menu.InsertItem("Negative", -1);
        menu.SetSelection_ValuePath(-1, root, "mode", "k0");
        menu.SetPersistant(14, 3);
        menu.SetCheckable(-1);
        menu.FindItem(14)->trigger();
        menu.FindItem(-1)->trigger();
        QCOMPARE(selection->GetCurrentKey(), 0L);
        QCOMPARE(selection->ObserverCount(), 0);
        QVERIFY(g_reports.isEmpty()); // a negative id is not reported
    }

    void assertions_data()
    {
        QTest::addColumn<MenuSetup>("setup");
        QTest::addColumn<QStringList>("reports");
        QTest::newRow("selection id too large") << MenuSetup([](ValueSelMenu& m, const QString& r) {
            m.SetSelection_ValuePath(14, r, "sel", "k0");
        }) << QStringList { "(itemId < iMAX_ITEMID)" };
        QTest::newRow("boolean id too large") << MenuSetup([](ValueSelMenu& m, const QString& r) {
            m.SetBoolean_ValuePath(20, r, "flag");
        }) << QStringList { "(itemId < iMAX_ITEMID)" };
        QTest::newRow("missing selection") << MenuSetup([](ValueSelMenu& m, const QString& r) {
            m.SetSelection_ValuePath(0, r, "none", "k0");
        }) << QStringList { "m_pValueSelection[itemId]" };
        QTest::newRow("selection path holds a boolean") << MenuSetup(
            [](ValueSelMenu& m, const QString& r) {
                m.SetSelection_ValuePath(0, r, "flag", "k0");
            }) << QStringList { "m_pValueSelection[itemId]" };
        QTest::newRow("boolean path holds a selection")
            << MenuSetup(
                   [](ValueSelMenu& m, const QString& r) { m.SetBoolean_ValuePath(0, r, "sel"); })
            << QStringList { "m_pValueBoolean[itemId]" };
        QTest::newRow("selection rebound") << MenuSetup([](ValueSelMenu& m, const QString& r) {
            m.SetSelection_ValuePath(0, r, "sel", "k0");
            m.SetSelection_ValuePath(0, r, "sel", "k1");
        }) << QStringList { "m_pValueSelection[itemId] == NULL" };
        QTest::newRow("boolean rebound") << MenuSetup([](ValueSelMenu& m, const QString& r) {
            m.SetBoolean_ValuePath(0, r, "flag");
            m.SetBoolean_ValuePath(0, r, "flag");
        }) << QStringList { "m_pValueBoolean[itemId] == NULL" };
        QTest::newRow("persistent without selection")
            << MenuSetup([](ValueSelMenu& m, const QString&) { m.SetPersistant(3, 1); })
            << QStringList { "m_pValueSelection" };
        QTest::newRow("checkable without selection")
            << MenuSetup([](ValueSelMenu& m, const QString&) { m.SetCheckable(3); })
            << QStringList { "m_pValueSelection" };
    }
    void assertions()
    {
        QFETCH(MenuSetup, setup);
        const QString root = freshRoot();
        addSelection(root, "sel");
        addBoolean(root, "flag");
        {
            ValueSelMenu menu;
            menu.InsertItem("Entry", 3);
            setup(menu, root);
        }
        QTEST(g_reports, "reports");
        for (const QString& source : qAsConst(g_sources))
            QVERIFY2(source.startsWith(
                         QStringLiteral("devicecontrol\\tevframebase\\src\\valueselmenu:")),
                qPrintable(source));
    }

    void checkMarksFollowTheSelection()
    {
        const QString root = freshRoot();
        values::ValueSelection* selection = addSelection(root, "mode", 2);
        ValueSelMenu menu;
        for (int id : { 0, 1 }) {
            menu.InsertItem(QString::number(id), id);
            menu.SetSelection_ValuePath(id, root, "mode", QStringLiteral("k%1").arg(id));
            menu.SetCheckable(id);
        }
        const auto marks = [&] {
            return qMakePair(menu.FindItem(0)->isChecked(), menu.FindItem(1)->isChecked());
        };
        QCOMPARE(marks(), qMakePair(true, false));
        menu.FindItem(1)->trigger();
        QCOMPARE(selection->GetCurrentKey(), 1L);
        QCOMPARE(marks(), qMakePair(false, true));
        selection->Select(QStringLiteral("k0"));
        QCOMPARE(marks(), qMakePair(true, false));
        // Triggering the current item leaves its mark set although the toolkit cleared it.
        menu.FindItem(0)->trigger();
        QCOMPARE(marks(), qMakePair(true, false));
    }

    void sharedSelectionStaysObservedWhenOneItemRebinds()
    {
        const QString root = freshRoot();
        values::ValueSelection* shared = addSelection(root, "shared", 2);
        values::ValueSelection* other = addSelection(root, "other", 2);
        ValueSelMenu menu;
        menu.InsertItem("0", 0);
        menu.InsertItem("1", 1);
        menu.SetSelection_ValuePath(0, root, "shared", "k0");
        menu.SetSelection_ValuePath(1, root, "shared", "k1");
        menu.SetCheckable(1);
        menu.SetSelection_ValuePath(0, root, "other", "k0");
        QVERIFY(shared->HasObserver(&menu));
        QVERIFY(other->HasObserver(&menu));
        shared->Select(QStringLiteral("k1"));
        QVERIFY(menu.FindItem(1)->isChecked());
    }

    void persistenceRoundTrip()
    {
        const QString root = freshRoot();
        values::ValueSelection* kept = addSelection(root, "KeptMode");
        values::ValueSelection* passing = addSelection(root, "PassingMode");
        addBoolean(root, "PassingFlag");
        {
            ValueSelMenu menu;
            menu.SetSelection_ValuePath(0, root, "KeptMode", "k0");
            menu.SetPersistant(0, 1); // nothing stored yet: the default
            QCOMPARE(kept->GetCurrentKey(), 1L);
            menu.SetSelection_ValuePath(1, root, "PassingMode", "k0");
            menu.SetBoolean_ValuePath(2, root, "PassingFlag");
            kept->Select(2L);
            passing->Select(2L);
        }
        QCOMPARE(storedKey("KeptMode"), 2);
        QCOMPARE(storedKey("PassingMode"), -99);
        QCOMPARE(storedKey("PassingFlag"), -99);

        kept->Select(0L);
        ValueSelMenu menu;
        menu.SetSelection_ValuePath(0, root, "KeptMode", "k0");
        menu.SetPersistant(0, 1);
        QCOMPARE(kept->GetCurrentKey(), 2L);
    }

    void endingValuesAreDropped()
    {
        const QString root = freshRoot();
        addSelection(root, "EndingMode");
        addBoolean(root, "EndingFlag");
        {
            ValueSelMenu menu;
            menu.InsertItem("Mode", 0);
            menu.InsertItem("Flag", 1);
            menu.SetSelection_ValuePath(0, root, "EndingMode", "k1");
            menu.SetPersistant(0, 1);
            menu.SetCheckable(0);
            menu.SetBoolean_ValuePath(1, root, "EndingFlag");
            QVERIFY(tree().RemoveValue(root + "EndingMode"));
            QVERIFY(tree().RemoveValue(root + "EndingFlag"));
            QCOMPARE(menu.actions().size(), 2);
            menu.FindItem(0)->trigger(); // must not touch the deleted values
            menu.FindItem(1)->trigger();
        }
        QCOMPARE(storedKey("EndingMode"), -99);
    }
};

QTEST_MAIN(TestValueSelMenu)
#include "tst_valueselmenu.moc"
