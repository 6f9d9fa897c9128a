#include "testenvironment.h"
#include "tracecollector.h"
#include "valueselmenu.h"

#include <startup/cfgcenter.h>
#include <values/tree.h>
#include <values/valueselection.h>

#include <QAction>
#include <QRegularExpression>
#include <QSettings>
#include <QtTest>

#include <functional>
#include <memory>

class TestValueSelMenu : public QObject
{
    Q_OBJECT

private slots:
    // Steps: "i3" inserts entry 3, "s3:mode=k1" binds it to selection "mode", item "k1", "b3:flag"
    // to boolean "flag", "p3" makes it persistent (default key 1), "c3" checkable, "t3" triggers
    // it, "v:mode=k1" selects "k1" from outside, "r:mode" ends "mode", "n" replaces the menu.
    // Values: selections "mode" and "other" of "k0" to "k14" (keys 0 to 14, k0 current), boolean
    // "flag" (false). The state afterwards: the key of "mode", the boolean ("gone" once ended),
    // the key stored for "mode" ("-": none), the check marks in menu order (the toolkit flips
    // those of entries that are not checkable).
    void steps_data()
    {
        for (const char* column : { "steps", "state", "reports" })
            QTest::addColumn<QString>(column);
        const auto row = [](const char* tag, const QString& steps, const char* state,
                             const char* reports = "") {
            QTest::newRow(tag) << steps << QString(state) << QString(reports);
        };
        row("selection wins over boolean", "i2 s2:mode=k2 b2:flag t2", "2 false - x");
        row("empty item name flips boolean", "i2 s2:mode b2:flag t2", "0 true - x");
        row("empty item name, no boolean; boolean", "i2 s2:mode t2 i3 b3:flag t3", "0 true - xx");
        // A negative id is not reported either.
        row("ids outside the tables", "i14 i-1 s-1:mode=k0 p14 c-1 t14 t-1", "0 false - xx");
        row("ending values are dropped", "i0 i1 s0:mode=k1 p0 c0 b1:flag r:mode r:flag t0 t1",
            "gone gone - -x");
        row("persistent, nothing stored: the default", "s0:mode=k0 p0", "1 false 1");
        row("persistent round trip", "s0:mode=k0 p0 v:mode=k2 n v:mode=k0 s0:mode=k0 p0",
            "2 false 2");
        row("only persistent selections are stored", "s0:mode=k0 v:mode=k2 b1:flag", "2 false -");

        const QString marked = "i0 s0:mode=k0 c0 i1 s1:mode=k1 c1 "; // two checkable entries
        row("check mark of the current item", marked, "0 false - x-");
        row("check marks follow the value", marked + "t1 v:mode=k0", "0 false - x-");
        // The second trigger: the toolkit clears the mark; the selection neither changes nor says.
        row("check marks follow a trigger, and stay", marked + "t1 t1", "1 false - -x");
        row("shared selection stays observed when one item rebinds",
            "i0 i1 s0:mode=k0 s1:mode=k1 c1 s0:other=k0 v:mode=k1", "1 false - -x",
            "m_pValueSelection[itemId] == NULL");

        row("selection id too large", "s14:mode=k0", "0 false -", "(itemId < iMAX_ITEMID)");
        row("selection path to a boolean", "s0:flag=k0", "0 false -", "m_pValueSelection[itemId]");
        row("boolean path holds a selection", "b0:mode", "0 false -", "m_pValueBoolean[itemId]");
        row("persistent without selection", "p3", "0 false -", "m_pValueSelection");
    }
    void steps()
    {
        QFETCH(QString, steps);
        const TestConfigDir config; // nothing stored by another row
        // The tree is shared by the whole process: each row works under a root of its own.
        const QString root = QStringLiteral("/Menu%1/").arg(QTest::currentDataTag());
        values::Tree& tree = *values::Tree::Instance();
        for (const char* name : { "mode", "other" }) {
            auto* selection = new values::ValueSelection(name);
            for (int key = 0; key < 15; ++key)
                selection->AddItem(new values::SelectionItem("k" + QString::number(key), 0, key));
            selection->SelectIndex(0);
            tree.AddValue(root, selection);
        }
        tree.AddValue(root, new values::BoolValue(QStringLiteral("flag")));
        TraceCollector asserts(ErrorHandler::Assertions, "tev.assert");
        auto menu = std::make_unique<ValueSelMenu>();
        int id = 0;
        QString name, item;
        const QHash<QChar, std::function<void()>> ops {
            { 'i', [&] { menu->InsertItem(QString::number(id), id, Qt::Key_F1 + id); } },
            { 's', [&] { menu->SetSelection_ValuePath(id, root, name, item); } },
            { 'b', [&] { menu->SetBoolean_ValuePath(id, root, name); } },
            { 'p', [&] { menu->SetPersistant(id, 1); } },
            { 'c', [&] { menu->SetCheckable(id); } },
            { 't', [&] { menu->FindItem(id)->trigger(); } },
            { 'v', [&] { tree.Find<values::ValueSelection>(root + name)->Select(item); } },
            { 'r', [&] { tree.RemoveValue(root + name); } },
            { 'n', [&] { menu = std::make_unique<ValueSelMenu>(); } },
        };
        for (const QString& step : steps.split(' ', Qt::SkipEmptyParts)) {
            id = step.mid(1).section(':', 0, 0).toInt();
            name = step.section(':', 1).section('=', 0, 0);
            item = step.section('=', 1);
            ops[step.at(0)]();
        }
        auto* mode = tree.Find<values::ValueSelection>(root + "mode");
        auto* flag = tree.Find<values::BoolValue>(root + "flag");
        QString marks;
        for (QAction* entry : menu->actions())
            marks += entry->isChecked() ? 'x' : '-';
        menu.reset();
        CfgCenter::Sync();
        QSettings ini(config.iniPath(QCoreApplication::applicationName()), QSettings::IniFormat);
        const QStringList state { mode ? QString::number(mode->GetCurrentKey()) : "gone",
            flag ? QVariant(flag->GetValue()).toString() : "gone",
            ini.value("MenuSettings/mode", "-").toString(), marks };
        QTEST(state.join(' ').trimmed(), "state");
        // The menu's source as the platform's tools know it, whatever the build tree.
        static const QRegularExpression form(QStringLiteral(
            R"(^Assertion failed: | \(devicecontrol\\tevframebase\\src\\valueselmenu:\d+\)$)"));
        QTEST(asserts.messages.replaceInStrings(form, {}).join('|'), "reports");
        // The menu lets go of every value it watched, once, whatever the binding.
        for (const char* name : { "mode", "other", "flag" }) {
            const values::ValueBase* value = tree.FindValue(root + name);
            QVERIFY2(!value || value->ObserverCount() == 0, name);
        }
    }
};

QTEST_MAIN(TestValueSelMenu)
#include "tst_valueselmenu.moc"
