// Archive fetches against a real local HTTP server that misbehaves (support/faultyhttp.py):
// a cut connection or a stall never leaves a partial copy in the cache, a stall ends after the
// stall timeout instead of hanging, and a slow but steady transfer completes.

#include "modaldialog.h"
#include "testenvironment.h"
#include "testframe.h"

#include <mirel/mirelclient.h>
#include <startup/cfgcenter.h>

#include <QtTest>

#include <memory>

using namespace Mirel;

namespace {

// What faultyhttp.py sends as the body of every file.
QByteArray serverBody()
{
    QByteArray body(64 * 1024, Qt::Uninitialized);
    for (int i = 0; i < body.size(); ++i)
        body[i] = char((i * 7 + i / 251) & 0xff);
    return body;
}

void setMirelSetting(const QString& key, const QString& value)
{
    std::unique_ptr<ICfg> cfg(CfgCenter::GetAppCfg().GetSubCfg(QStringLiteral("Mirel")));
    QVERIFY(cfg && cfg->WriteString(key, value));
}

class SaveFrame : public TestFrame
{
public:
    using CFrameMainWnd::m_currentFile;
    using CFrameMainWnd::save;
    using TestFrame::TestFrame;
};

} // namespace

class TestFetchFaults : public QObject
{
    Q_OBJECT
    TestConfigDir m_config;
    std::unique_ptr<QTemporaryDir> m_cache;
    QProcess m_server;
    int m_roots = 0;

    // Starts faultyhttp.py in `mode` and points the archive client at it.
    bool startServer(const QString& mode)
    {
        const QString script = QFINDTESTDATA("support/faultyhttp.py");
        if (script.isEmpty())
            return false;
        m_server.start(QStringLiteral("python3"), { script, mode });
        if (!m_server.waitForReadyRead(5000))
            return false;
        const QByteArray port = m_server.readLine().trimmed();
        qputenv("TEV_MIREL_SERVER", "http://127.0.0.1:" + port + "/");
        return !port.isEmpty();
    }

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("tst_fetchfaults")); }

    void init()
    {
        m_cache = std::make_unique<QTemporaryDir>();
        qputenv("TEV_MIREL_CACHE", m_cache->path().toUtf8());
        qunsetenv("TEV_MIREL_STALL_TIMEOUT_MS");
        setMirelSetting(QStringLiteral("StallTimeoutMs"), QString());
    }

    void cleanup()
    {
        m_server.kill();
        m_server.waitForFinished();
    }

    void request_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("environment"); // TEV_MIREL_STALL_TIMEOUT_MS, "" unset
        QTest::addColumn<QString>("configured"); // "StallTimeoutMs", "" absent
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("minMs"); // the request must take at least this long
        QTest::addColumn<int>("maxMs"); // and end before this
        QTest::newRow("closed after the headers") << "close-after-headers"
                                                  << "5000"
                                                  << "" << ErrorTransferFailed << 0 << 4000;
        QTest::newRow("reset mid-body") << "reset-mid-body"
                                        << "5000"
                                        << "" << ErrorTransferFailed << 0 << 4000;
        QTest::newRow("chunked body cut off") << "chunked-cut"
                                              << "5000"
                                              << "" << ErrorTransferFailed << 0 << 4000;
        QTest::newRow("no answer at all") << "stall-before-headers"
                                          << "800"
                                          << "" << ErrorStalled << 800 << 4000;
        QTest::newRow("stall timeout from the configuration")
            << "stall-mid-body"
            << ""
            << "800" << ErrorStalled << 800 << 4000;
        QTest::newRow("environment wins over the configuration")
            << "stall-mid-body"
            << "800"
            << "60000" << ErrorStalled << 800 << 4000;
        // 16 pieces 150 ms apart: longer in all than the stall timeout, never silent that long.
        QTest::newRow("slow but steady") << "slow"
                                         << "1000"
                                         << "" << NoError << 1000 << 10000;
        QTest::newRow("stall with the default timeout of 30 s")
            << "stall-mid-body"
            << ""
            << "" << ErrorStalled << 29500 << 45000;
    }

    void request()
    {
        QFETCH(QString, mode);
        QFETCH(QString, environment);
        QFETCH(QString, configured);
        QFETCH(int, error);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        QVERIFY(startServer(mode));
        if (!environment.isEmpty())
            qputenv("TEV_MIREL_STALL_TIMEOUT_MS", environment.toUtf8());
        setMirelSetting(QStringLiteral("StallTimeoutMs"), configured);

        MirelClient client;
        QTRY_VERIFY(client.IsConnected());
        const MirelUrl url(QStringLiteral("mirel:/campaign/run1.rec"));
        QVERIFY(client.IsValidURL(url));
        QElapsedTimer timer;
        timer.start();
        const QString local = client.RequestFile(url, LockReadShared);
        const qint64 elapsed = timer.elapsed();

        QCOMPARE(client.GetError(), error);
        QVERIFY2(elapsed >= minMs && elapsed < maxMs, qPrintable(QString::number(elapsed)));
        if (error == NoError) {
            QCOMPARE(local, m_cache->filePath("campaign/run1.rec"));
            QCOMPARE(fileBytes(local), serverBody());
            QCOMPARE(filesBelow(m_cache->path()), QStringList { "campaign/run1.rec" });
        } else {
            QVERIFY(local.isEmpty());
            QCOMPARE(filesBelow(m_cache->path()), QStringList());
        }
    }

    // Save as of an archive recording: the failed fetch is reported, and nothing is left in
    // the cache or copied.
    void saveFromTheArchive_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("closed after the headers") << "close-after-headers";
        QTest::newRow("stalls mid-body") << "stall-mid-body";
    }

    void saveFromTheArchive()
    {
        QFETCH(QString, mode);
        QVERIFY(startServer(mode));
        qputenv("TEV_MIREL_STALL_TIMEOUT_MS", "800");
        QTemporaryDir target;
        SaveFrame frame(QStringLiteral("App"), QStringLiteral("frontend"),
            QStringLiteral("/FetchFaults%1").arg(++m_roots));
        frame.initialize(true);
        frame.m_currentFile = QStringLiteral("mirel:/campaign/run1.rec");
        const QString title = frame.windowTitle();

        ModalAnswer answers(ModalAnswer::pressButton("OK"), 10000);
        frame.save(target.filePath("copy.rec"));

        QCOMPARE(answers.dialogs().size(), 1);
        QCOMPARE(answers.dialog().title, QStringLiteral("Mirel Error"));
        QCOMPARE(filesBelow(m_cache->path()), QStringList());
        QCOMPARE(filesBelow(target.path()), QStringList());
        QCOMPARE(frame.windowTitle(), title);
    }
};

QTEST_MAIN(TestFetchFaults)
#include "tst_fetchfaults.moc"
