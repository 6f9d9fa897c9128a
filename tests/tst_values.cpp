#include "tracecollector.h"

#include <values/tree.h>
#include <values/value.h>
#include <values/valueselection.h>

#include <QtTest>

#include <functional>
#include <memory>

using namespace values;

namespace {
struct Recorder : IObserver
{
    void Update(Observable*, TChangeCode) override
    {
        ++calls;
        action();
    }
    int calls = 0;
    std::function<void()> action = [] {};
};
} // namespace

class TestValues : public QObject
{
    Q_OBJECT

private slots:
    // Observers a, b, c watch a text in that order; b acts in each notification: "-x" removes
    // x, "+x" adds x, "^x" moves x first, "clear" removes all, "=t" sets the text to t.
    void notifyReentrant_data()
    {
        for (const char* column : { "act", "first", "second" }) // the calls of two sets, the text
            QTest::addColumn<QString>(column);
        const auto row
            = [](const char* tag, const char* act, const char* first, const char* second) {
                  QTest::newRow(tag) << QString(act) << QString(first) << QString(second);
              };
        row("b removes itself", "-b", "abc", "ac b");
        row("b removes c", "-c", "ab", "ab b");
        row("b removes a", "-a", "abc", "bc b");
        row("b adds d", "+d", "abc", "abcd b");
        row("b adds a again", "+a", "abc", "abc b");
        row("b removes all", "clear", "ab", " b");
        // Moving c must neither skip it in the running round nor lose the move.
        row("b moves c first", "^c", "abc", "cab b");
        // A set of the same text from inside its own notification stays silent.
        row("b sets the same text", "=b", "abc", "abc b");
        row("b corrects the text", "=fixed", "ababcc", "ababcc fixed");
    }
    void notifyReentrant()
    {
        QFETCH(QString, act);
        QString log;
        Recorder observers[4];
        StringValue subject(QStringLiteral("Text"));
        for (int i = 0; i < 4; ++i)
            observers[i].action = [&log, i] { log += QChar('a' + i); };
        for (int i = 0; i < 3; ++i)
            QVERIFY(subject.AddObserver(&observers[i]));
        Recorder* other = act.size() == 2 ? &observers[act.at(1).unicode() - 'a'] : nullptr;
        observers[1].action = [&] {
            log += 'b';
            if (act == QLatin1String("clear"))
                subject.DeleteObservers();
            else if (act.startsWith('-'))
                subject.DeleteObserver(other);
            else if (act.startsWith('+'))
                subject.AddObserver(other);
            else if (act.startsWith('^'))
                subject.MakeFirstObserver(other);
            else if (act.startsWith('=') && observers[1].calls < 50) // a loop fails the row
                subject.SetValue(act.mid(1));
        };
        // The second set is of the same text, which is an event all the same.
        subject.SetValue(QStringLiteral("b"));
        QTEST(std::exchange(log, {}), "first");
        subject.SetValue(QStringLiteral("b"));
        QTEST(log + ' ' + subject.GetValue(), "second");
        QCOMPARE(subject.ObserverCount(), QSet<QChar>(log.begin(), log.end()).size());
    }

    // Text that is no flag word gives the fallback; TEV_ASSERT evaluates and reports only while
    // assertions are on; a trace is reported whatever the flags.
    void assertion()
    {
        QList<uint> parsed;
        for (const char* text : { "2", " 0x22 ", "0", "2x", "-1", "" })
            parsed << ErrorHandler::ParseFlags(text, 7);
        QCOMPARE(parsed, QList<uint>({ 2, 0x22, 0, 7, 7, 7 }));
        TraceCollector traces(ErrorHandler::Traces); // puts the flags back at the end
        int calls = 0;
        TEV_ASSERT(++calls == 2);
        ErrorHandler::Instance().SetFlags(ErrorHandler::Assertions);
        QTest::ignoreMessage(QtWarningMsg,
            QRegularExpression(R"(^Assertion failed: \+\+calls == 2 \(.*tst_values\.cpp:\d+\)$)"));
        TEV_ASSERT(++calls == 2); // fails
        TEV_ASSERT(++calls > 1); // holds
        _Q_Trace(QStringLiteral("traced"), QStringLiteral("player.cpp"), 42);
        QCOMPARE(traces.messages << QString::number(calls),
            QStringList({ "traced (player.cpp:42)", "2" }));
    }

    // Thousands of values added and removed in a scrambled order, each path taken again once
    // free: the index is a probed array, where a removal moves later entries of a probe run,
    // and the paths a second array that is packed once removed paths fill half of it.
    void manyAddsAndRemoves()
    {
        Tree* tree = Tree::Instance();
        const int before = tree->Count();
        constexpr int kValues = 3000;
        // Parents are added and looked up in several spellings of one path.
        const QString spellings[]
            = { "/Many/Group%1", "Many/Group%1/", "/Many//Group%1", "//Many/Group%1/" };
        const auto path = [&](int i, int spelling = 0) {
            return spellings[spelling % 4].arg(i % 37) + QStringLiteral("/Value%1").arg(i);
        };
        const auto add = [&](int i) {
            return tree->AddValue(
                spellings[i % 4].arg(i % 37), new StringValue(QStringLiteral("Value%1").arg(i)));
        };
        for (int i = 0; i < kValues; ++i)
            QVERIFY(add(i));
        // Taken names, names with a slash, empty names and values already in the tree are refused.
        for (const char* name : { "Value1", "a/b", "" })
            QVERIFY(!tree->AddValue("/Many/Group1", std::make_unique<StringValue>(name).get()));
        QVERIFY(!tree->AddValue("/Elsewhere", tree->FindValue(path(2))));
        QSet<int> removed; // every third value, in an order unrelated to the insertion order
        for (int step = 0; step < kValues; ++step) {
            const int i = (step * 7919) % kValues;
            if (i % 3 == 0 && (removed << i, !tree->RemoveValue(path(i, i + 2))))
                QFAIL(qPrintable(path(i)));
        }
        QCOMPARE(tree->Count(), before + kValues - removed.size());
        for (int i : removed)
            QVERIFY(add(i));
        // Removing them all packs the index's records on the way: each value left is found.
        for (int i = 0; i < kValues; ++i) {
            const ValueBase* found = tree->FindValue(path(i, i + 1));
            QVERIFY2(found && found->GetPath() == path(i) && tree->RemoveValue(path(i)),
                qPrintable(path(i)));
        }
        QCOMPARE(tree->Count(), before);
    }

    // A selection refuses a second item of one name and unknown items, tells only a change, and
    // neither it nor a text tells the observer that made the change.
    void selection()
    {
        ValueSelection quality(QStringLiteral("Quality"));
        StringValue text(QStringLiteral("Text"));
        QVERIFY(quality.AddItem(new SelectionItem(QStringLiteral("Low"), 1.0, 10)));
        QVERIFY(quality.AddItem(new SelectionItem(QStringLiteral("High"), 2.0, 20)));
        QVERIFY(!quality.AddItem(new SelectionItem(QStringLiteral("High"), 3.0, 30)));
        Recorder origin, other;
        for (Observable* subject : std::initializer_list<Observable*> { &quality, &text })
            QVERIFY(subject->AddObserver(&origin) && subject->AddObserver(&other));
        QVERIFY(quality.Select(20L, &origin) && quality.Select(QStringLiteral("High")));
        QVERIFY(!quality.Select(QStringLiteral("Mid")) && !quality.Select(99L));
        QVERIFY(text.SetValue(QStringLiteral("set"), &origin));
        QCOMPARE(quality.GetStringValue() + QString::number(quality.GetCurrentKey()), "High20");
        QCOMPARE(QList<int>({ origin.calls, other.calls }), QList<int>({ 0, 2 }));
    }
};

QTEST_GUILESS_MAIN(TestValues)
#include "tst_values.moc"
