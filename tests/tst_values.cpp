#include "testenvironment.h"

#include <values/persistant.h>
#include <values/tree.h>
#include <values/value.h>
#include <values/valueselection.h>

#include <QtTest>

#include <memory>

using namespace values;

namespace {

// Records the code and the value's state at each call.
class Recorder : public IObserver
{
public:
    void Update(Observable* observable, TChangeCode code) override
    {
        codes.append(code);
        states.append(static_cast<ValueBase*>(observable)->GetState());
    }
    QVector<int> codes;
    QVector<int> states;
};

// Keeps a number in its working form and stores it as text.
class ZoomOwner : public PersistantOwner
{
public:
    void ApplyPersistantBeforeWrite() override
    {
        ++beforeWrite;
        zoomText = QString::number(zoom);
    }
    void ApplyPersistantAfterRead() override
    {
        ++afterRead;
        zoom = zoomText.toInt();
    }
    int zoom = 0;
    QString zoomText;
    QString title;
    int beforeWrite = 0;
    int afterRead = 0;
};

Persistant viewGroup(ZoomOwner* owner, const QString& name = QStringLiteral("View"))
{
    Persistant group(name, owner);
    group.Add(&owner->zoomText, QStringLiteral("Zoom"), QStringLiteral("100"));
    group.Add(&owner->title, QStringLiteral("Title"), QStringLiteral("none"));
    return group;
}

} // namespace

class TestValues : public QObject
{
    Q_OBJECT
private slots:
    void treePath_data();
    void treePath();
    void addValueRefused_data();
    void addValueRefused();
    void removeValue();
    void manyAddsAndRemoves();
    void selection_data();
    void selection();
    void setValue_data();
    void setValue();
    void boolFromString_data();
    void boolFromString();
    void persistantRoundTrip_data();
    void persistantRoundTrip();

private:
    TestConfigDir m_config;
};

void TestValues::treePath_data()
{
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    QTest::newRow("canonical") << "/Replay"
                               << "A"
                               << "/Replay/A";
    QTest::newRow("trailing slash") << "/Replay/"
                                    << "B"
                                    << "/Replay/B";
    QTest::newRow("no leading slash") << "Replay"
                                      << "C"
                                      << "/Replay/C";
    QTest::newRow("root") << ""
                          << "TreeD"
                          << "/TreeD";
    QTest::newRow("empty segments") << "//Replay//Deck/"
                                    << "E"
                                    << "/Replay/Deck/E";
}

void TestValues::treePath()
{
    QFETCH(QString, parent);
    QFETCH(QString, name);
    QFETCH(QString, path);
    Tree* tree = Tree::Instance();
    auto* value = new StringValue(name);
    QVERIFY(tree->AddValue(parent, value));
    QCOMPARE(value->GetPath(), path);
    QCOMPARE(tree->Find<StringValue>(path), value);
    QCOMPARE(tree->Find<BoolValue>(path), nullptr);
    // Lookups follow the same rule as AddValue.
    QCOMPARE(tree->FindValue(path.mid(1) + "/"), value);
    QVERIFY(tree->RemoveValue(path));
}

void TestValues::addValueRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("existing name") << "Taken";
    QTest::newRow("slash") << "a/b";
    QTest::newRow("empty") << "";
}

void TestValues::addValueRefused()
{
    QFETCH(QString, name);
    Tree* tree = Tree::Instance();
    auto* taken = new StringValue(QStringLiteral("Taken"));
    QVERIFY(tree->AddValue("/Refused", taken));
    const int count = tree->Count();

    // Refused values stay ours: the unique_ptr deletes them.
    auto candidate = std::make_unique<StringValue>(name);
    const bool added = tree->AddValue("/Refused", candidate.get());
    if (added)
        candidate.release();
    QVERIFY(!added);
    QVERIFY(candidate->GetPath().isEmpty());
    QCOMPARE(tree->Count(), count);
    QCOMPARE(tree->FindValue("/Refused/Taken"), taken);
    // A value already in the tree is not added a second time under another parent.
    QVERIFY(!tree->AddValue("/Elsewhere", taken));
    QVERIFY(!tree->AddValue("/Refused", nullptr));
    QVERIFY(tree->RemoveValue("/Refused/Taken"));
}

void TestValues::removeValue()
{
    Tree* tree = Tree::Instance();
    auto* value = new StringValue(QStringLiteral("Gone"));
    QVERIFY(tree->AddValue("/Remove", value));
    Recorder first, second;
    value->AddObserver(&first);
    value->AddObserver(&second);

    QVERIFY(tree->RemoveValue("Remove/Gone"));
    for (const Recorder* r : { &first, &second }) {
        QCOMPARE(r->codes, QVector<int> { CC_Ending });
        QCOMPARE(r->states, QVector<int> { VS_Ending });
    }
    QCOMPARE(tree->FindValue("/Remove/Gone"), nullptr);
    QVERIFY(!tree->RemoveValue("/Remove/Gone"));
}

// Thousands of values added and removed in a scrambled order: every value left is found at its
// path, every removed one is gone, and a path can be taken again once it is free. The tree
// keeps its index in one probed array, where a removal moves later entries of a probe run, and
// the paths in a second array that is packed once removed paths fill half of it.
void TestValues::manyAddsAndRemoves()
{
    Tree* tree = Tree::Instance();
    const int before = tree->Count();
    constexpr int kValues = 3000;
    const auto path
        = [](int i) { return QStringLiteral("/Many/Group%1/Value%2").arg(i % 37).arg(i); };
    for (int i = 0; i < kValues; ++i) {
        QVERIFY(tree->AddValue(QStringLiteral("/Many/Group%1").arg(i % 37),
            new StringValue(QStringLiteral("Value%1").arg(i))));
    }
    // Every third value, in an order unrelated to the insertion order.
    QSet<int> removed;
    for (int step = 0; step < kValues; ++step) {
        const int i = (step * 7919) % kValues;
        if (i % 3 == 0) {
            QVERIFY(tree->RemoveValue(path(i)));
            removed.insert(i);
        }
    }
    QCOMPARE(tree->Count(), before + kValues - removed.size());
    for (int i = 0; i < kValues; ++i) {
        ValueBase* found = tree->FindValue(path(i));
        if (removed.contains(i)) {
            QVERIFY2(!found, qPrintable(path(i)));
        } else {
            QVERIFY2(found, qPrintable(path(i)));
            QCOMPARE(found->GetPath(), path(i));
        }
    }
    for (int i : removed)
        QVERIFY(tree->AddValue(QStringLiteral("/Many/Group%1/").arg(i % 37),
            new StringValue(QStringLiteral("Value%1").arg(i))));
    // Removing them all packs the index's records on the way: each value left is still found.
    for (int i = 0; i < kValues; ++i) {
        ValueBase* found = tree->FindValue(path(i));
        QVERIFY2(found && found->GetPath() == path(i), qPrintable(path(i)));
        QVERIFY(tree->RemoveValue(path(i)));
    }
    QCOMPARE(tree->Count(), before);
}

void TestValues::selection_data()
{
    QTest::addColumn<QString>("preselected");
    QTest::addColumn<QVariant>("select"); // a name or a key
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("currentKey");
    QTest::addColumn<QString>("currentName");
    QTest::addColumn<int>("notified");
    QTest::newRow("nothing selected") << "" << QVariant() << false << -1 << "" << 0;
    QTest::newRow("by name") << "" << QVariant("High") << true << 20 << "High" << 1;
    QTest::newRow("by key") << "" << QVariant(10) << true << 10 << "Low" << 1;
    QTest::newRow("same again") << "High" << QVariant("High") << true << 20 << "High" << 0;
    QTest::newRow("other by key") << "High" << QVariant(10) << true << 10 << "Low" << 1;
    QTest::newRow("unknown name") << "" << QVariant("Mid") << false << -1 << "" << 0;
    QTest::newRow("unknown key keeps current")
        << "Low" << QVariant(99) << false << 10 << "Low" << 0;
}

void TestValues::selection()
{
    QFETCH(QString, preselected);
    QFETCH(QVariant, select);
    QFETCH(bool, ok);
    QFETCH(int, currentKey);
    QFETCH(QString, currentName);
    QFETCH(int, notified);

    ValueSelection quality(QStringLiteral("Quality"));
    QVERIFY(quality.AddItem(new SelectionItem(QStringLiteral("Low"), 1.0, 10)));
    QVERIFY(quality.AddItem(new SelectionItem(QStringLiteral("High"), 2.0, 20)));
    QVERIFY(!quality.AddItem(new SelectionItem(QStringLiteral("High"), 3.0, 30)));
    if (!preselected.isEmpty())
        QVERIFY(quality.Select(preselected));
    Recorder origin, other;
    quality.AddObserver(&origin);
    quality.AddObserver(&other);

    bool selected = false;
    if (select.userType() == QMetaType::QString)
        selected = quality.Select(select.toString(), &origin);
    else if (select.isValid())
        selected = quality.Select(long(select.toInt()), &origin);
    QCOMPARE(selected, ok);
    QCOMPARE(quality.GetCurrentKey(), long(currentKey));
    QCOMPARE(quality.GetStringValue(), currentName);
    QCOMPARE(other.codes, QVector<int>(notified, CC_Changed));
    QVERIFY(origin.codes.isEmpty());
}

void TestValues::setValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("echo"); // what an observer sets from its Update
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("notified"); // calls of an observer that only watches
    QTest::addColumn<int>("echoCalls");
    // The value holds "a" before each row.
    QTest::newRow("change") << "b"
                            << "" << true << "b" << 1 << 0;
    QTest::newRow("same text notifies too") << "a"
                                            << "" << false << "a" << 1 << 0;
    QTest::newRow("same text, observer sets it again") << "a"
                                                       << "same" << false << "a" << 1 << 1;
    QTest::newRow("change, observer sets it again") << "b"
                                                    << "same" << true << "b" << 1 << 1;
    QTest::newRow("observer corrects the text") << "b"
                                                << "fixed" << true << "fixed" << 2 << 2;
    QTest::newRow("two values echo each other") << "a"
                                                << "mirror" << false << "a" << 1 << 1;
}

void TestValues::setValue()
{
    QFETCH(QString, text);
    QFETCH(QString, echo);
    QFETCH(bool, changed);
    QFETCH(QString, result);
    QFETCH(int, notified);
    QFETCH(int, echoCalls);

    // Sets `target` from its Update; gives up after 50 calls, so that a loop fails the row
    // instead of overflowing the stack.
    struct Echo : IObserver
    {
        StringValue* target = nullptr;
        StringValue* source = nullptr;
        QString fixed;
        int calls = 0;
        void Update(Observable*, TChangeCode) override
        {
            if (++calls < 50)
                target->SetValue(fixed.isNull() ? source->GetValue() : fixed);
        }
    };

    StringValue value(QStringLiteral("Text"), QStringLiteral("a"));
    StringValue mirror(QStringLiteral("Mirror"), QStringLiteral("a"));
    Recorder origin, other;
    Echo echoer, back;
    value.AddObserver(&origin);
    if (!echo.isEmpty()) {
        echoer.source = &value;
        echoer.target = echo == QLatin1String("mirror") ? &mirror : &value;
        if (echo == QLatin1String("fixed"))
            echoer.fixed = QStringLiteral("fixed");
        value.AddObserver(&echoer);
    }
    if (echo == QLatin1String("mirror")) {
        back.source = &mirror;
        back.target = &value;
        mirror.AddObserver(&back);
    }
    value.AddObserver(&other);

    QCOMPARE(value.SetValue(text, &origin), changed);
    QCOMPARE(value.GetValue(), result);
    QCOMPARE(other.codes, QVector<int>(notified, CC_Changed));
    QCOMPARE(echoer.calls, echoCalls);
    QCOMPARE(back.calls, echo == QLatin1String("mirror") ? echoCalls : 0);
    // The origin hears of everything but its own set.
    QCOMPARE(origin.codes.size(), notified - 1);
}

void TestValues::boolFromString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("value");
    QTest::newRow("true") << "true" << true << true;
    QTest::newRow("upper case, spaces") << " TRUE " << true << true;
    QTest::newRow("one") << "1" << true << true;
    QTest::newRow("false, unchanged") << "false" << true << false;
    QTest::newRow("yes") << "yes" << false << false;
    QTest::newRow("two") << "2" << false << false;
    QTest::newRow("empty") << "" << false << false;
}

void TestValues::boolFromString()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(bool, value);
    BoolValue flag(QStringLiteral("Flag"), false);
    Recorder observer;
    flag.AddObserver(&observer);
    QCOMPARE(flag.SetStringValue(text), ok);
    QCOMPARE(flag.GetValue(), value);
    // Every accepted text is a set, and every set is told.
    QCOMPARE(observer.codes.size(), ok ? 1 : 0);
}

void TestValues::persistantRoundTrip_data()
{
    QTest::addColumn<QString>("cfgName");
    QTest::addColumn<QString>("file");
    QTest::newRow("named configuration") << "viewer"
                                         << "viewer";
    // The application configuration is written at once, not left to the event loop.
    QTest::newRow("application configuration") << "" << QCoreApplication::applicationName();
}

void TestValues::persistantRoundTrip()
{
    QFETCH(QString, cfgName);
    QFETCH(QString, file);

    ZoomOwner written;
    written.zoom = 150;
    written.title = QStringLiteral("Grüße, \"quoted\"");
    QVERIFY(viewGroup(&written).Write(cfgName, ICfg::DefaultView));
    QCOMPARE(written.beforeWrite, 1);
    QCOMPARE(written.afterRead, 0);

    QFile stored(m_config.iniPath(file));
    QVERIFY(stored.open(QIODevice::ReadOnly));
    const QByteArray bytes = stored.readAll();
    QVERIFY2(bytes.contains("[View]") && bytes.contains("Zoom=150"), bytes.constData());

    ZoomOwner read;
    Persistant in = viewGroup(&read);
    QVERIFY(in.Read(cfgName, ICfg::DefaultView));
    QCOMPARE(read.afterRead, 1);
    QCOMPARE(read.beforeWrite, 0);
    QCOMPARE(read.zoom, 150);
    QCOMPARE(read.title, written.title);

    in.RestoreDefaults();
    QCOMPARE(read.zoomText, QStringLiteral("100"));
    QCOMPARE(read.title, QStringLiteral("none"));

    ZoomOwner fresh;
    QVERIFY(viewGroup(&fresh, QStringLiteral("NeverWritten")).Read(cfgName, ICfg::DefaultView));
    QCOMPARE(fresh.zoom, 100);
    QCOMPARE(fresh.title, QStringLiteral("none"));
}

QTEST_GUILESS_MAIN(TestValues)
#include "tst_values.moc"
