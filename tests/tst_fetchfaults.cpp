// Archive fetches against a real local HTTP server that misbehaves (support/faultyhttp.py): a
// cut connection or a stall never leaves a partial copy in the cache, a stall ends after the
// stall timeout instead of hanging, and only an archive that says a file does not exist costs
// the user a recent entry.

#include "archivefetch_p.h"
#include "httpserver.h"
#include "modaldialog.h"
#include "testenvironment.h"
#include "testframe.h"

#include <mirel/mirelclient.h>
#include <startup/cfgcenter.h>

#include <QtTest>

#include <csettings.h>
#include <memory>
#include <utility>

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

// The archive URL of a file that faultyhttp.py serves with the fault `mode`.
QString faultyUrl(const QString& mode)
{
    return QStringLiteral("mirel:/%1/run1.rec").arg(mode);
}

void setMirelSetting(const QString& key, const QString& value)
{
    std::unique_ptr<ICfg> cfg(CfgCenter::GetAppCfg().GetSubCfg(QStringLiteral("Mirel")));
    QVERIFY(cfg && cfg->WriteString(key, value));
}

struct LoadCall
{
    QString fileName;
    QString displayName;
    bool isLocal;
};

// Records every load and runs the frame's own, which sets the title.
class FetchFrame : public TestFrame
{
public:
    using CFrameMainWnd::m_currentFile;
    using CFrameMainWnd::save;
    using TestFrame::TestFrame;
    QList<LoadCall> loads;

protected:
    bool load(const QString& fileName, const QString& displayName, bool isLocal) override
    {
        loads << LoadCall { fileName, displayName, isLocal };
        return CFrameMainWnd::load(fileName, displayName, isLocal);
    }
};

// Short, so that the program is quick; long enough for a loaded machine to answer in time.
const QByteArray kStallTimeoutMs = "500";
const QByteArray kConnectTimeoutMs = "1000";

} // namespace

class TestFetchFaults : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestConfigDir> m_config; // fresh for each test: no recent entry carries over
    std::unique_ptr<QTemporaryDir> m_cache;
    // One server for every fault: the interpreter's start is paid once.
    QProcess m_server;
    QByteArray m_serverUrl;
    int m_roots = 0;

    std::unique_ptr<FetchFrame> makeFrame()
    {
        auto frame = std::make_unique<FetchFrame>(QStringLiteral("App"), QStringLiteral("frontend"),
            QStringLiteral("/FetchFaults%1").arg(++m_roots));
        frame->initialize(true);
        return frame;
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("tst_fetchfaults"));
        const QString script = QFINDTESTDATA("support/faultyhttp.py");
        QVERIFY(!script.isEmpty());
        m_server.start(QStringLiteral("python3"), { script });
        QVERIFY(m_server.waitForReadyRead(10000));
        const QByteArray port = m_server.readLine().trimmed();
        QVERIFY(!port.isEmpty());
        m_serverUrl = "http://127.0.0.1:" + port + "/";
    }

    void cleanupTestCase()
    {
        m_server.kill();
        m_server.waitForFinished();
    }

    void init()
    {
        m_config.reset();
        m_config = std::make_unique<TestConfigDir>();
        m_cache = std::make_unique<QTemporaryDir>();
        qputenv("TEV_MIREL_SERVER", m_serverUrl);
        qputenv("TEV_MIREL_CACHE", m_cache->path().toUtf8());
        qputenv("TEV_MIREL_STALL_TIMEOUT_MS", kStallTimeoutMs);
        qputenv("TEV_MIREL_CONNECT_TIMEOUT_MS", kConnectTimeoutMs);
    }

    // The waits the other tests shorten, and their defaults, without waiting them out.
    void timeouts_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("environment"); // "" unset
        QTest::addColumn<QString>("configured"); // "" absent
        QTest::addColumn<int>("ms");
        for (const auto& [key, defaultMs] : { std::pair { QStringLiteral("StallTimeoutMs"), 30000 },
                 std::pair { QStringLiteral("ConnectTimeoutMs"), 10000 } }) {
            const auto row = [&key = key](const char* name) -> QTestData& {
                return QTest::newRow(qPrintable(key + QLatin1String(": ") + QLatin1String(name)))
                    << key;
            };
            row("nothing configured") << ""
                                      << "" << defaultMs;
            row("configured") << ""
                              << "700" << 700;
            row("environment wins") << "700"
                                    << "60000" << 700;
            row("not a number") << ""
                                << "soon" << defaultMs;
            row("zero") << ""
                        << "0" << defaultMs;
            row("negative") << "-5"
                            << "" << defaultMs;
        }
    }

    void timeouts()
    {
        QFETCH(QString, key);
        QFETCH(QString, environment);
        QFETCH(QString, configured);
        QFETCH(int, ms);
        const bool stall = key == QLatin1String("StallTimeoutMs");
        qunsetenv("TEV_MIREL_STALL_TIMEOUT_MS");
        qunsetenv("TEV_MIREL_CONNECT_TIMEOUT_MS");
        if (!environment.isEmpty()) {
            qputenv(stall ? "TEV_MIREL_STALL_TIMEOUT_MS" : "TEV_MIREL_CONNECT_TIMEOUT_MS",
                environment.toUtf8());
        }
        setMirelSetting(key, configured);
        QCOMPARE(stall ? StallTimeoutMs() : ArchiveFetch::connectTimeoutMs(), ms);
    }

    void request_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("configured"); // "StallTimeoutMs"; "" keeps the environment's
        QTest::addColumn<bool>("olderCopy"); // in the cache before; a failure must keep it
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("minMs"); // the request must take at least this long
        QTest::addColumn<int>("maxMs"); // and end before this
        QTest::newRow("closed after the headers, older copy kept")
            << "close-after-headers"
            << "" << true << ErrorTransferFailed << 0 << 4000;
        QTest::newRow("reset mid-body") << "reset-mid-body"
                                        << "" << false << ErrorTransferFailed << 0 << 4000;
        QTest::newRow("chunked body cut off") << "chunked-cut"
                                              << "" << false << ErrorTransferFailed << 0 << 4000;
        QTest::newRow("no answer at all") << "stall-before-headers"
                                          << "" << false << ErrorStalled << 500 << 4000;
        QTest::newRow("stall timeout from the configuration, older copy kept")
            << "stall-mid-body"
            << "300" << true << ErrorStalled << 300 << 4000;
        // 8 pieces 150 ms apart: longer in all than the stall timeout, never silent that long.
        QTest::newRow("slow but steady") << "slow"
                                         << "" << false << NoError << 500 << 10000;
    }

    void request()
    {
        QFETCH(QString, mode);
        QFETCH(QString, configured);
        QFETCH(bool, olderCopy);
        QFETCH(int, error);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        if (!configured.isEmpty()) {
            qunsetenv("TEV_MIREL_STALL_TIMEOUT_MS");
            setMirelSetting(QStringLiteral("StallTimeoutMs"), configured);
        }
        const QString target = m_cache->filePath(mode + "/run1.rec");
        if (olderCopy) {
            QVERIFY(QDir().mkpath(QFileInfo(target).path()));
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("older copy") == 10);
        }

        MirelClient client;
        QTRY_VERIFY(client.IsConnected());
        QElapsedTimer timer;
        timer.start();
        const QString local = client.RequestFile(MirelUrl(faultyUrl(mode)), LockReadShared);
        const qint64 elapsed = timer.elapsed();

        QCOMPARE(client.GetError(), error);
        QVERIFY2(elapsed >= minMs && elapsed < maxMs, qPrintable(QString::number(elapsed)));
        QCOMPARE(local, error == NoError ? target : QString());
        const bool fileExpected = error == NoError || olderCopy;
        QCOMPARE(filesBelow(m_cache->path()),
            fileExpected ? QStringList { mode + "/run1.rec" } : QStringList());
        if (fileExpected)
            QCOMPARE(fileBytes(target), error == NoError ? serverBody() : "older copy");
    }

    // Deleting the client from an event that its blocked request processes ends the request
    // at once, long before the stall timeout.
    void clientDeletedDuringRequest()
    {
        qputenv("TEV_MIREL_STALL_TIMEOUT_MS", "20000");
        auto client = std::make_unique<MirelClient>();
        QTimer::singleShot(300, [&client] { client.reset(); });
        QElapsedTimer timer;
        timer.start();
        QVERIFY(
            client->RequestFile(MirelUrl(faultyUrl("stall-mid-body")), LockReadShared).isEmpty());
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!client); // it was the deletion that ended the request
        QCOMPARE(filesBelow(m_cache->path()), QStringList());
    }

    // Opening a "mirel:" recent entry: an outage or a server fault is named in a box and the
    // entry stays for the next try; only "no such file" from the archive removes it.
    void recentEntry_data()
    {
        // A fault of faultyhttp.py, or "down": nothing listens, "unconfigured": no archive,
        // "unwritable": the cache folder is a file.
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("title"); // of the one box shown, "" none
        QTest::addColumn<QString>("text"); // %1: the URL
        QTest::addColumn<bool>("keepsEntry");
        const QString notFound = QStringLiteral("File: %1 not found");
        const QString transfer = QStringLiteral(
            "Replay tried to open a Mirel file but did not succeed. Perhaps the file transmission "
            "is not yet finished. Please try again later. \n\n");
        const QString serverError = QStringLiteral(
            "Mirel answered with an error when asked for %1. Please try again later.");
        const QString brokeOff = QStringLiteral(
            "The connection to Mirel broke off while asking for %1. Please try again later.");
        QTest::newRow("fetched") << "ok"
                                 << "" << QString() << true;
        QTest::newRow("404") << "status-404"
                             << "File Error" << notFound << false;
        QTest::newRow("410") << "status-410"
                             << "File Error" << notFound << false;
        QTest::newRow("no archive configured") << "unconfigured"
                                               << "File Error" << notFound << false;
        QTest::newRow("500") << "status-500"
                             << "Mirel Error" << serverError << true;
        QTest::newRow("503") << "status-503"
                             << "Mirel Error" << serverError << true;
        QTest::newRow("403") << "status-403"
                             << "Mirel Error" << serverError << true;
        QTest::newRow("silent past the stall timeout")
            << "stall-before-headers"
            << "Connection Error"
            << "Mirel did not answer in time when asked for %1. Please try again later." << true;
        QTest::newRow("dropped before the headers") << "close-before-headers"
                                                    << "Connection Error" << brokeOff << true;
        QTest::newRow("reset before the headers") << "reset-before-headers"
                                                  << "Connection Error" << brokeOff << true;
        QTest::newRow("cut mid-body") << "close-after-headers"
                                      << "Mirel Error" << transfer << true;
        QTest::newRow("cache unwritable") << "unwritable"
                                          << "Mirel Error" << transfer << true;
        QTest::newRow("archive down") << "down"
                                      << "Connection Error"
                                      << "Connection to Mirel failed." << true;
    }

    void recentEntry()
    {
        QFETCH(QString, mode);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(bool, keepsEntry);
        const bool served = !QStringList { "down", "unconfigured", "unwritable" }.contains(mode);
        const QString url = faultyUrl(served ? mode : QStringLiteral("ok"));
        if (mode == QLatin1String("down")) {
            qputenv("TEV_MIREL_SERVER",
                QStringLiteral("http://127.0.0.1:%1/").arg(HttpServer::freePort()).toUtf8());
        } else if (mode == QLatin1String("unconfigured")) {
            qunsetenv("TEV_MIREL_SERVER");
        } else if (mode == QLatin1String("unwritable")) {
            const QString notAFolder = m_cache->filePath("not-a-folder");
            QVERIFY(QFile(notAFolder).open(QIODevice::WriteOnly));
            qputenv("TEV_MIREL_CACHE", QFile::encodeName(notAFolder));
        }

        auto frame = makeFrame();
        frame->updateRecentFiles(url);
        ModalAnswer answers(ModalAnswer::pressButton("OK"));
        frame->m_fileMenu->actions().at(frame->m_firstRecentId)->trigger();

        QStringList titles;
        for (const SeenDialog& dialog : answers.dialogs())
            titles << dialog.title;
        QCOMPARE(titles, title.isEmpty() ? QStringList() : QStringList { title });
        if (!title.isEmpty())
            QCOMPARE(answers.dialog().text, QString(text).replace(QLatin1String("%1"), url));
        QCOMPARE(
            frame->m_settings->recentFiles(), keepsEntry ? QStringList { url } : QStringList());
        QCOMPARE(
            frame->m_fileMenu->actions().size(), frame->m_firstRecentId + (keepsEntry ? 1 : 0));
        QCOMPARE(frame->loads.size(), title.isEmpty() ? 1 : 0);
        if (title.isEmpty()) {
            const LoadCall call = frame->loads.first();
            QCOMPARE(call.fileName, m_cache->filePath("ok/run1.rec"));
            QCOMPARE(fileBytes(call.fileName), serverBody());
            QCOMPARE(call.displayName, url);
            QVERIFY(!call.isLocal);
            QCOMPARE(frame->windowTitle(), QStringLiteral("App - [%1]").arg(url));
            QCOMPARE(frame->m_fileName->GetValue(), call.fileName);
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
        QTemporaryDir target;
        auto frame = makeFrame();
        frame->m_currentFile = faultyUrl(mode);
        const QString title = frame->windowTitle();

        ModalAnswer answers(ModalAnswer::pressButton("OK"));
        frame->save(target.filePath("copy.rec"));

        QCOMPARE(answers.dialogs().size(), 1);
        QCOMPARE(answers.dialog().title, QStringLiteral("Mirel Error"));
        QCOMPARE(filesBelow(m_cache->path()), QStringList());
        QCOMPARE(filesBelow(target.path()), QStringList());
        QCOMPARE(frame->windowTitle(), title);
    }
};

QTEST_MAIN(TestFetchFaults)
#include "tst_fetchfaults.moc"
