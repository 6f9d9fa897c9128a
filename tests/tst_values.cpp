#include "testenvironment.h"

#include <tevbase/errorhandler.h>
#include <values/persistant.h>
#include <values/tree.h>
#include <values/value.h>
#include <values/valueselection.h>

#include <QtTest>

#include <functional>
#include <memory>

using namespace values;

// The observable and the value tree built on it.
namespace {
// Logs its name for each call and runs `action` from inside Update.
struct Recorder : IObserver
{
    Recorder(QStringList* log = nullptr, const QString& name = QString())
        : log(log)
        , name(name)
    { }
    void Update(Observable*, TChangeCode code) override
    {
        codes << code;
        if (log)
            log->append(name);
        if (action)
            action();
    }
    QStringList* log;
    QString name;
    QVector<int> codes;
    std::function<void()> action;
};

QStringList g_messages; // "<category>: <message>"
void recordMessage(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    g_messages << QLatin1String(context.category) + QLatin1String(": ") + message;
}

// Keeps a number in its working form and stores it as text.
struct ZoomOwner : PersistantOwner
{
    void ApplyPersistantBeforeWrite() override { zoomText = QString::number(zoom), ++hooks; }
    void ApplyPersistantAfterRead() override { zoom = zoomText.toInt(), hooks += 10; }
    Persistant group(const QString& name = QStringLiteral("View"))
    {
        Persistant group(name, this);
        group.Add(&zoomText, QStringLiteral("Zoom"), QStringLiteral("100"));
        return group;
    }
    int zoom = 0, hooks = 0;
    QString zoomText;
};
} // namespace

class TestValues : public QObject
{
    Q_OBJECT
    TestConfigDir m_config;

private slots:
    void notifyReentrant_data()
    {
        // Observers a, b, c are registered in that order; b acts in each notification: "-x"
        // removes x, "+x" adds x, "^x" moves x first, "clear" removes all.
        for (const char* column : { "act", "first", "second" }) // the calls of two rounds
            QTest::addColumn<QString>(column);
        const auto row = [](const char* tag, const char* act, const char* first,
                             const char* second) { QTest::newRow(tag) << act << first << second; };
        row("plain", "", "abc", "abc");
        row("b removes itself", "-b", "abc", "ac");
        row("b removes c", "-c", "ab", "ab");
        row("b removes a", "-a", "abc", "bc");
        row("b adds d", "+d", "abc", "abcd");
        row("b adds a again", "+a", "abc", "abc");
        row("b removes all", "clear", "ab", "");
        // Moving c must neither skip it in the running round nor lose the move.
        row("b moves c first", "^c", "abc", "cab");
    }
    void notifyReentrant()
    {
        QFETCH(QString, act);
        QStringList log;
        Recorder observers[] = { { &log, "a" }, { &log, "b" }, { &log, "c" }, { &log, "d" } };
        Observable subject;
        for (int i = 0; i < 3; ++i)
            QVERIFY(subject.AddObserver(&observers[i]));
        observers[1].action = [&] {
            Recorder* other = act.size() == 2 ? &observers[act.at(1).unicode() - 'a'] : nullptr;
            if (act == QLatin1String("clear"))
                subject.DeleteObservers();
            else if (act.startsWith('-'))
                subject.DeleteObserver(other);
            else if (act.startsWith('+'))
                subject.AddObserver(other);
            else if (act.startsWith('^'))
                subject.MakeFirstObserver(other);
        };
        subject.NotifyObservers(CC_Changed);
        QTEST(log.join(QString()), "first");
        log.clear();
        subject.NotifyObservers(CC_Changed);
        QTEST(log.join(QString()), "second");
        QCOMPARE(subject.ObserverCount(), log.size());
    }

    // TEV_ASSERT under the flag words that TEV_ERROR_FLAGS can give, and a trace.
    void assertion_data()
    {
        QTest::addColumn<QString>("flags");
        QTest::addColumn<bool>("condition");
        QTest::addColumn<int>("evaluated");
        // Text that is no flag word gives the fallback, here none.
        QTest::newRow("enabled, fails") << "2" << false << 1;
        QTest::newRow("enabled, holds") << "0x22" << true << 1;
        QTest::newRow("hex, spaces, traces only") << " 0x20 " << false << 0;
        QTest::newRow("zero") << "0" << false << 0;
        QTest::newRow("trailing junk") << "2x" << false << 0;
        QTest::newRow("negative") << "-1" << false << 0;
    }
    void assertion()
    {
        QFETCH(QString, flags);
        QFETCH(bool, condition);
        if (!qEnvironmentVariableIsSet("TEV_ERROR_FLAGS"))
            QCOMPARE(ErrorHandler::Instance().GetFlags(), uint(ErrorHandler::Assertions));
        const unsigned int saved = ErrorHandler::Instance().GetFlags();
        ErrorHandler::Instance().SetFlags(ErrorHandler::ParseFlags(flags, 0));
        int calls = 0;
        auto check = [&] { return ++calls, condition; };
        g_messages.clear();
        const QtMessageHandler previous = qInstallMessageHandler(recordMessage);
        const int line = __LINE__ + 1;
        TEV_ASSERT(check());
        _Q_Trace(QStringLiteral("traced"), QStringLiteral("player.cpp"), 42); // whatever the flags
        qInstallMessageHandler(previous);
        ErrorHandler::Instance().SetFlags(saved);
        QTEST(calls, "evaluated");
        const QString report = QStringLiteral("tev.assert: Assertion failed: check() (%1:%2)");
        QCOMPARE(g_messages.join('\n'),
            (calls && !condition ? report.arg(QStringLiteral(__FILE__)).arg(line) + '\n'
                                 : QString())
                + QStringLiteral("tev.trace: traced (player.cpp:42)"));
    }

    // Paths as parent and name give them; an empty path is a refused value.
    void treePath_data()
    {
        for (const char* column : { "parent", "name", "path" })
            QTest::addColumn<QString>(column);
        const auto row = [](const char* tag, const char* parent, const char* name,
                             const char* path) { QTest::newRow(tag) << parent << name << path; };
        row("canonical", "/Replay", "A", "/Replay/A");
        row("trailing slash", "/Replay/", "B", "/Replay/B");
        row("no leading slash", "Replay", "C", "/Replay/C");
        row("root", "", "TreeD", "/TreeD");
        row("empty segment", "/Replay//Deck", "E", "/Replay/Deck/E");
        row("existing name", "/T", "Taken", "");
        row("slash in the name", "/T", "a/b", "");
        row("empty name", "/T", "", "");
    }
    void treePath()
    {
        QFETCH(QString, parent);
        QFETCH(QString, name);
        QFETCH(QString, path);
        Tree* tree = Tree::Instance();
        auto* taken = new StringValue(QStringLiteral("Taken"));
        QVERIFY(tree->AddValue("/T", taken));
        const int count = tree->Count();
        // Refused values stay ours: the unique_ptr deletes them.
        auto value = std::make_unique<StringValue>(name);
        QCOMPARE(tree->AddValue(parent, value.get()), !path.isEmpty());
        QCOMPARE(value->GetPath(), path);
        QCOMPARE(tree->Count(), count + !path.isEmpty());
        if (!path.isEmpty()) {
            StringValue* added = value.release();
            QCOMPARE(tree->FindValue(path.mid(1) + "/"), added); // lookups follow the same rule
            QVERIFY(!tree->AddValue("/Elsewhere", added)); // not twice under another parent
            QVERIFY(tree->RemoveValue(path));
        }
        // Removal ends the value; the widgets' tests check what its observers then hear.
        QVERIFY(tree->RemoveValue("T/Taken/"));
        QVERIFY(!tree->FindValue("/T/Taken") && !tree->RemoveValue("/T/Taken"));
    }

    // Thousands of values added and removed in a scrambled order: every value left is found at
    // its path, every removed one is gone, and a path can be taken again once it is free. The
    // index is one probed array, where a removal moves later entries of a probe run, and the
    // paths a second array that is packed once removed paths fill half of it.
    void manyAddsAndRemoves()
    {
        Tree* tree = Tree::Instance();
        const int before = tree->Count();
        constexpr int kValues = 3000;
        const auto group = [](int i) { return QStringLiteral("/Many/Group%1").arg(i % 37); };
        const auto path = [&](int i) { return group(i) + QStringLiteral("/Value%1").arg(i); };
        const auto add = [&](int i) {
            return tree->AddValue(group(i), new StringValue(QStringLiteral("Value%1").arg(i)));
        };
        for (int i = 0; i < kValues; ++i)
            QVERIFY(add(i));
        QSet<int> removed; // every third value, in an order unrelated to the insertion order
        for (int step = 0; step < kValues; ++step) {
            const int i = (step * 7919) % kValues;
            if (i % 3 == 0 && (removed << i, !tree->RemoveValue(path(i))))
                QFAIL(qPrintable(path(i)));
        }
        QCOMPARE(tree->Count(), before + kValues - removed.size());
        for (int i = 0; i < kValues; ++i) {
            ValueBase* found = tree->FindValue(path(i));
            QVERIFY2(removed.contains(i) ? !found : found && found->GetPath() == path(i),
                qPrintable(path(i)));
        }
        for (int i : removed)
            QVERIFY(add(i));
        // Removing them all packs the index's records on the way: each value left is found.
        for (int i = 0; i < kValues; ++i) {
            ValueBase* found = tree->FindValue(path(i));
            QVERIFY2(found && found->GetPath() == path(i), qPrintable(path(i)));
            QVERIFY(tree->RemoveValue(path(i)));
        }
        QCOMPARE(tree->Count(), before);
    }

    // Only a change of the selection is told, and not to the observer that made it.
    void selection()
    {
        ValueSelection quality(QStringLiteral("Quality"));
        QVERIFY(quality.AddItem(new SelectionItem(QStringLiteral("Low"), 1.0, 10)));
        QVERIFY(quality.AddItem(new SelectionItem(QStringLiteral("High"), 2.0, 20)));
        QVERIFY(!quality.AddItem(new SelectionItem(QStringLiteral("High"), 3.0, 30)));
        QCOMPARE(quality.GetCurrentKey(), -1L);
        Recorder origin, other;
        quality.AddObserver(&origin);
        quality.AddObserver(&other);
        QVERIFY(quality.Select(20L, &origin));
        QVERIFY(quality.Select(QStringLiteral("High")));
        QVERIFY(!quality.Select(QStringLiteral("Mid")) && !quality.Select(99L));
        QCOMPARE(quality.GetStringValue(), QStringLiteral("High"));
        QCOMPARE(quality.GetCurrentKey(), 20L);
        QCOMPARE(other.codes.size(), 1);
        QCOMPARE(origin.codes.size(), 0);
        QVERIFY(quality.Select(QStringLiteral("Low"), &other));
        QCOMPARE(quality.GetCurrentKey(), 10L);
        QCOMPARE(origin.codes.size() + other.codes.size(), 2);
    }

    // A set is an event: observers hear of every set, also of the same text, and a set from
    // inside a notification neither loops nor goes unheard.
    void setValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("echo"); // what a second observer sets from its Update
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("notified"); // calls of a third observer that only watches
        const auto row
            = [](const char* tag, const char* text, const char* echo, const char* result,
                  int notified) { QTest::newRow(tag) << text << echo << result << notified; };
        // The value holds "a" before each row.
        row("change", "b", "", "b", 1);
        row("same text notifies too", "a", "", "a", 1);
        row("same text, observer sets it again", "a", "same", "a", 1);
        row("change, observer sets it again", "b", "same", "b", 1);
        row("observer corrects the text", "b", "fixed", "fixed", 2);
        row("two values echo each other", "a", "mirror", "a", 1);
    }
    void setValue()
    {
        QFETCH(QString, text);
        QFETCH(QString, echo);
        QFETCH(int, notified);
        StringValue value(QStringLiteral("Text"), QStringLiteral("a"));
        StringValue mirror(QStringLiteral("Mirror"), QStringLiteral("a"));
        Recorder origin, echoer, back, other;
        // An echo gives up after 50 calls, so that a loop fails the row instead of the stack.
        echoer.action = [&] {
            if (echoer.codes.size() < 50)
                (echo == "mirror" ? mirror : value)
                    .SetValue(echo == "fixed" ? QStringLiteral("fixed") : value.GetValue());
        };
        back.action = [&] {
            if (back.codes.size() < 50)
                value.SetValue(mirror.GetValue());
        };
        value.AddObserver(&origin);
        if (!echo.isEmpty())
            value.AddObserver(&echoer);
        if (echo == "mirror")
            mirror.AddObserver(&back);
        value.AddObserver(&other);

        QCOMPARE(value.SetValue(text, &origin), text != "a");
        QTEST(value.GetValue(), "result");
        QCOMPARE(other.codes, QVector<int>(notified, CC_Changed));
        QCOMPARE(origin.codes.size(), notified - 1); // all but its own set
        QCOMPARE(echoer.codes.size(), echo.isEmpty() ? 0 : notified);
        QCOMPARE(back.codes.size(), echo == "mirror" ? notified : 0);
    }

    void persistantRoundTrip_data()
    {
        QTest::addColumn<QString>("cfgName");
        QTest::newRow("named configuration") << "viewer";
        // The application configuration is written at once, not left to the event loop.
        QTest::newRow("application configuration") << "";
    }
    void persistantRoundTrip()
    {
        QFETCH(QString, cfgName);
        ZoomOwner written, read, fresh;
        written.zoom = 150;
        QVERIFY(written.group().Write(cfgName, ICfg::DefaultView));
        QCOMPARE(written.hooks, 1);
        const QByteArray bytes = fileBytes(
            m_config.iniPath(cfgName.isEmpty() ? QCoreApplication::applicationName() : cfgName));
        QVERIFY2(bytes.contains("[View]") && bytes.contains("Zoom=150"), bytes.constData());

        Persistant in = read.group();
        QVERIFY(in.Read(cfgName, ICfg::DefaultView));
        QCOMPARE(read.hooks, 10);
        QCOMPARE(read.zoom, 150);
        in.RestoreDefaults();
        QCOMPARE(read.zoomText, QStringLiteral("100"));
        QVERIFY(fresh.group(QStringLiteral("NeverWritten")).Read(cfgName, ICfg::DefaultView));
        QCOMPARE(fresh.zoom, 100);
    }
};

QTEST_GUILESS_MAIN(TestValues)
#include "tst_values.moc"
