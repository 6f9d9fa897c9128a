#include "httpserver.h"
#include "testenvironment.h"

#include <mirel/mirelclient.h>
#include <startup/cfgcenter.h>

#include <QtTest>

#include <memory>

using namespace Mirel;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

void setAppSetting(const QString& key, const QString& value)
{
    std::unique_ptr<ICfg> cfg(CfgCenter::GetAppCfg().GetSubCfg(QStringLiteral("Mirel")));
    QVERIFY(cfg && cfg->WriteString(key, value));
}

} // namespace

class TestMirel : public QObject
{
    Q_OBJECT
    TestConfigDir m_config;
    QTemporaryDir m_archive;
    std::unique_ptr<QTemporaryDir> m_cache;
    HttpServer m_server;
    QMap<QString, QByteArray> m_files;

private slots:
    void initTestCase()
    {
        QByteArray big(1 << 20, '\0');
        for (int i = 0; i < big.size(); ++i)
            big[i] = char(i * 7 + i / 251);
        m_files = { { "top.rec", "top level" },
            { "campaign/2026/run1.rec", QByteArray("run one\r\n\0binary", 16) },
            { "odd name %2e%2e.rec", "encoded" }, { "empty.rec", "" }, { "big.bin", big } };
        for (auto it = m_files.cbegin(); it != m_files.cend(); ++it)
            writeFile(m_archive.filePath(it.key()), it.value());
        QVERIFY(m_server.start(m_archive.path()));
    }

    void init()
    {
        m_cache = std::make_unique<QTemporaryDir>();
        qputenv("TEV_MIREL_SERVER", m_server.baseUrl().toUtf8());
        qputenv("TEV_MIREL_CACHE", m_cache->path().toUtf8());
        qunsetenv("TEV_MIREL_STALL_TIMEOUT_MS");
        setAppSetting("Server", QString());
        setAppSetting("CacheFolder", QString());
    }

    void urlParsing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("path"); // empty: not a mirel URL
        QTest::newRow("absolute") << "mirel:/campaign/2026/run1.rec"
                                  << "campaign/2026/run1.rec";
        QTest::newRow("relative") << "mirel:campaign/run1.rec"
                                  << "campaign/run1.rec";
        QTest::newRow("scheme case") << "MIREL:/run1.rec"
                                     << "run1.rec";
        QTest::newRow("dots inside a name") << "mirel:/run..1.rec"
                                            << "run..1.rec";
        QTest::newRow("percent taken literally") << "mirel:/a%2e%2e"
                                                 << "a%2e%2e";
        QTest::newRow("other scheme") << "file:/run1.rec"
                                      << "";
        QTest::newRow("no scheme") << "/campaign/run1.rec"
                                   << "";
        QTest::newRow("empty text") << ""
                                    << "";
        QTest::newRow("empty path") << "mirel:/"
                                    << "";
        QTest::newRow("parent") << "mirel:../run1.rec"
                                << "";
        QTest::newRow("parent inside") << "mirel:/campaign/../../etc/passwd"
                                       << "";
        QTest::newRow("current") << "mirel:/./run1.rec"
                                 << "";
        QTest::newRow("backslash") << "mirel:/campaign\\..\\run1.rec"
                                   << "";
        QTest::newRow("drive letter") << "mirel:C:/Windows/run1.rec"
                                      << "";
        QTest::newRow("authority") << "mirel://host/run1.rec"
                                   << "";
        QTest::newRow("empty segment") << "mirel:/campaign//run1.rec"
                                       << "";
        QTest::newRow("trailing slash") << "mirel:/campaign/"
                                        << "";
        QTest::newRow("NUL") << QStringLiteral("mirel:/run1.rec") + QChar(0) + "x"
                             << "";
    }

    void urlParsing()
    {
        QFETCH(QString, text);
        QFETCH(QString, path);
        const MirelUrl url(text);
        QCOMPARE(url.isMirelUrl(), !path.isEmpty());
        QCOMPARE(url.archivePath(), path);
        QCOMPARE(url.toString(), text);
    }

    void availability_data()
    {
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("configured");
        QTest::addColumn<bool>("available");
        QTest::newRow("nothing") << ""
                                 << "" << false;
        QTest::newRow("environment") << "http://127.0.0.1:1/"
                                     << "" << true;
        QTest::newRow("configuration") << ""
                                       << "https://archive.example:8080/root/" << true;
        QTest::newRow("environment wins") << "http://127.0.0.1:1/"
                                          << "not a url" << true;
        QTest::newRow("other scheme") << ""
                                      << "ftp://archive.example/" << false;
        QTest::newRow("no host") << ""
                                 << "http:///root/" << false;
    }

    void availability()
    {
        QFETCH(QString, environment);
        QFETCH(QString, configured);
        QFETCH(bool, available);
        qputenv("TEV_MIREL_SERVER", environment.toUtf8());
        setAppSetting("Server", configured);
        QCOMPARE(MirelClient::IsMirelAvailable(), available);
    }

    void fromConfiguration()
    {
        qunsetenv("TEV_MIREL_SERVER");
        qunsetenv("TEV_MIREL_CACHE");
        setAppSetting("Server", m_server.baseUrl());
        setAppSetting("CacheFolder", m_cache->filePath("configured"));
        MirelClient client;
        QTRY_VERIFY_WITH_TIMEOUT(client.IsConnected(), 10000); // the caller's polling
        QCOMPARE(client.RequestFile(MirelUrl("mirel:top.rec"), LockReadShared),
            m_cache->filePath("configured/top.rec"));
    }

    void unreachable_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("error");
        QTest::newRow("nothing listens")
            << QString("http://127.0.0.1:%1/").arg(HttpServer::freePort()) << ErrorNotConnected;
        QTest::newRow("not configured") << "" << ErrorNotConfigured;
    }

    void unreachable()
    {
        QFETCH(QString, server);
        QFETCH(int, error);
        qputenv("TEV_MIREL_SERVER", server.toUtf8());
        MirelClient client;
        QTest::qWait(500);
        QVERIFY(!client.IsConnected());
        QVERIFY(client.RequestFile(MirelUrl("mirel:/top.rec"), LockReadShared).isEmpty());
        QCOMPARE(client.GetError(), error);
        QVERIFY(filesBelow(m_cache->path()).isEmpty());
    }

    void request_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lock");
        QTest::addColumn<bool>("olderCopy");
        QTest::addColumn<int>("error");
        const int shared = LockReadShared;
        QTest::newRow("root file") << "mirel:/top.rec" << shared << false << NoError;
        QTest::newRow("nested, older copy replaced")
            << "mirel:campaign/2026/run1.rec" << shared << true << NoError;
        QTest::newRow("name needing encoding")
            << "mirel:/odd name %2e%2e.rec" << shared << false << NoError;
        QTest::newRow("empty file") << "mirel:/empty.rec" << shared << true << NoError;
        QTest::newRow("1 MiB") << "mirel:/big.bin" << shared << false << NoError;
        QTest::newRow("unknown, older copy kept")
            << "mirel:/missing.rec" << shared << true << ErrorUnknownUrl;
        QTest::newRow("folder") << "mirel:campaign/2026" << shared << false << ErrorUnknownUrl;
        // Sent undecoded, the server would turn this into campaign/../top.rec.
        QTest::newRow("encoded parent stays a name")
            << "mirel:campaign/%2e%2e/top.rec" << shared << false << ErrorUnknownUrl;
        QTest::newRow("traversal") << "mirel:../top.rec" << shared << false << ErrorInvalidUrl;
        QTest::newRow("not mirel") << "file:/top.rec" << shared << false << ErrorInvalidUrl;
        QTest::newRow("exclusive lock")
            << "mirel:/top.rec" << int(LockExclusive) << false << ErrorLockRefused;
    }

    void request()
    {
        QFETCH(QString, text);
        QFETCH(int, lock);
        QFETCH(bool, olderCopy);
        QFETCH(int, error);
        const MirelUrl url(text);
        const QString local = m_cache->filePath(url.archivePath());
        if (olderCopy)
            writeFile(local, "older copy, longer than the new one");
        MirelClient client;
        QCOMPARE(client.IsValidURL(url), error == NoError || error == ErrorLockRefused);
        const QString path = client.RequestFile(url, LockState(lock));
        QCOMPARE(client.GetError(), error);
        QCOMPARE(path, error == NoError ? local : QString());
        const bool fileExpected = error == NoError || olderCopy;
        QCOMPARE(filesBelow(m_cache->path()),
            fileExpected ? QStringList { url.archivePath() } : QStringList());
        if (fileExpected)
            QCOMPARE(fileBytes(local),
                error == NoError ? m_files.value(url.archivePath())
                                 : "older copy, longer than the new one");
    }
};

QTEST_MAIN(TestMirel)
#include "tst_mirel.moc"
