#include <tevbase/errorhandler.h>
#include <tevbase/observable.h>

#include <QtTest>

#include <functional>
#include <map>
#include <utility>

namespace {

// Logs "<name><code>" for each call and runs `action` (once) from inside Update.
class Recorder : public IObserver
{
public:
    Recorder(QStringList* log, const QString& name)
        : m_log(log)
        , m_name(name)
    { }
    void Update(Observable*, TChangeCode code) override
    {
        m_log->append(m_name + QString::number(code));
        if (action)
            std::exchange(action, nullptr)();
    }
    std::function<void()> action;

private:
    QStringList* m_log;
    QString m_name;
};

struct LogEntry
{
    QtMsgType type;
    QString category;
    QString message;
};
QList<LogEntry> g_log;

void recordMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    g_log.append({ type, QString::fromLatin1(context.category), message });
}

// Collects what is logged while it lives; QtTest's own handler is back afterwards.
class LogCapture
{
public:
    LogCapture()
        : m_previous(qInstallMessageHandler(recordMessage))
    {
        g_log.clear();
    }
    ~LogCapture() { qInstallMessageHandler(m_previous); }

private:
    QtMessageHandler m_previous;
};

enum Reentry {
    NoReentry,
    RemoveSelf,
    RemoveLater,
    RemoveEarlier,
    AddNew,
    RemoveAll,
    MoveLaterFirst
};

} // namespace

Q_DECLARE_METATYPE(Reentry)

class TestObservable : public QObject
{
    Q_OBJECT
private slots:
    void defaultFlags();
    void notifyReentrant_data();
    void notifyReentrant();
    void addObserverRefused();
    void parseFlags_data();
    void parseFlags();
    void assertion_data();
    void assertion();
    void trace();
};

void TestObservable::defaultFlags()
{
    if (qEnvironmentVariableIsSet("TEV_ERROR_FLAGS"))
        QSKIP("TEV_ERROR_FLAGS is set");
    QCOMPARE(ErrorHandler::Instance().GetFlags(), 0x02u);
}

void TestObservable::notifyReentrant_data()
{
    // Observers a, b, c are registered in that order; b acts during the first notification.
    QTest::addColumn<Reentry>("reentry");
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second");
    const QStringList abc { "a3", "b3", "c3" };
    QTest::newRow("plain") << NoReentry << abc << abc;
    QTest::newRow("b removes itself") << RemoveSelf << abc << QStringList { "a3", "c3" };
    QTest::newRow("b removes c") << RemoveLater << QStringList { "a3", "b3" }
                                 << QStringList { "a3", "b3" };
    QTest::newRow("b removes a") << RemoveEarlier << abc << QStringList { "b3", "c3" };
    QTest::newRow("b adds d") << AddNew << abc << QStringList { "a3", "b3", "c3", "d3" };
    QTest::newRow("b removes all") << RemoveAll << QStringList { "a3", "b3" } << QStringList {};
    // Moving c must neither skip it in the running round nor lose the move.
    QTest::newRow("b moves c first") << MoveLaterFirst << abc << QStringList { "c3", "a3", "b3" };
}

void TestObservable::notifyReentrant()
{
    QFETCH(Reentry, reentry);
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);

    QStringList log;
    Recorder a(&log, "a"), b(&log, "b"), c(&log, "c"), d(&log, "d");
    Observable subject;
    for (Recorder* r : { &a, &b, &c })
        QVERIFY(subject.AddObserver(r));

    const std::map<Reentry, std::function<void()>> actions {
        { NoReentry, nullptr },
        { RemoveSelf, [&] { QVERIFY(subject.DeleteObserver(&b)); } },
        { RemoveLater, [&] { QVERIFY(subject.DeleteObserver(&c)); } },
        { RemoveEarlier, [&] { QVERIFY(subject.DeleteObserver(&a)); } },
        { AddNew, [&] { QVERIFY(subject.AddObserver(&d)); } },
        { RemoveAll, [&] { subject.DeleteObservers(); } },
        { MoveLaterFirst, [&] { QVERIFY(subject.MakeFirstObserver(&c)); } },
    };
    b.action = actions.at(reentry);

    subject.NotifyObservers(CC_Changed);
    QCOMPARE(log, first);
    QCOMPARE(subject.ObserverCount(), second.size());
    log.clear();
    subject.NotifyObservers(CC_Changed);
    QCOMPARE(log, second);
}

void TestObservable::addObserverRefused()
{
    QStringList log;
    Recorder a(&log, "a");
    Observable subject;
    QVERIFY(!subject.AddObserver(nullptr));
    QVERIFY(subject.AddObserver(&a));
    QVERIFY(!subject.AddObserver(&a));
    QVERIFY(!subject.MakeFirstObserver(nullptr));
    subject.NotifyObservers(CC_Ending);
    QCOMPARE(log, QStringList { "a2" });
    QVERIFY(subject.DeleteObserver(&a));
    QVERIFY(!subject.DeleteObserver(&a));
}

void TestObservable::parseFlags_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("expected");
    QTest::newRow("decimal") << "34" << 34u;
    QTest::newRow("hex") << "0x22" << 34u;
    QTest::newRow("spaces") << " 0x20 " << 32u;
    QTest::newRow("zero is a value") << "0" << 0u;
    QTest::newRow("empty") << "" << 99u;
    QTest::newRow("word") << "traces" << 99u;
    QTest::newRow("negative") << "-1" << 99u;
    QTest::newRow("trailing junk") << "2x" << 99u;
}

void TestObservable::parseFlags()
{
    QFETCH(QString, text);
    QFETCH(uint, expected);
    QCOMPARE(ErrorHandler::ParseFlags(text, 99u), expected);
}

void TestObservable::assertion_data()
{
    QTest::addColumn<uint>("flags");
    QTest::addColumn<bool>("condition");
    QTest::addColumn<int>("evaluated");
    QTest::addColumn<bool>("reported");
    QTest::newRow("enabled, fails") << 0x02u << false << 1 << true;
    QTest::newRow("enabled, holds") << 0x22u << true << 1 << false;
    QTest::newRow("disabled") << 0u << false << 0 << false;
    QTest::newRow("traces only") << 0x20u << false << 0 << false;
}

void TestObservable::assertion()
{
    QFETCH(uint, flags);
    QFETCH(bool, condition);
    QFETCH(int, evaluated);
    QFETCH(bool, reported);

    const unsigned int saved = ErrorHandler::Instance().GetFlags();
    ErrorHandler::Instance().SetFlags(flags);
    int calls = 0;
    auto check = [&] { return ++calls, condition; };
    int line = 0;
    {
        LogCapture capture;
        line = __LINE__ + 1;
        TEV_ASSERT(check());
    }
    ErrorHandler::Instance().SetFlags(saved);

    QCOMPARE(calls, evaluated);
    QCOMPARE(g_log.size(), reported ? 1 : 0);
    if (reported) {
        QCOMPARE(g_log.first().category, QStringLiteral("tev.assert"));
        QCOMPARE(g_log.first().type, QtWarningMsg);
        QVERIFY2(g_log.first().message.contains("check()"), qPrintable(g_log.first().message));
        QVERIFY(g_log.first().message.contains(QStringLiteral("tst_observable.cpp:%1").arg(line)));
    }
}

void TestObservable::trace()
{
    LogCapture capture;
    _Q_Trace(QStringLiteral("file opened"), QStringLiteral("player.cpp"), 42);
    QCOMPARE(g_log.size(), 1);
    QCOMPARE(g_log.first().category, QStringLiteral("tev.trace"));
    QVERIFY(g_log.first().message.contains("file opened"));
    QVERIFY(g_log.first().message.contains("player.cpp:42"));
}

QTEST_GUILESS_MAIN(TestObservable)
#include "tst_observable.moc"
