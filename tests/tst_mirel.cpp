// The archive client against a real HTTP server on 127.0.0.1: support/faultyhttp.py, Python's
// http.server over a folder, which answers the paths below a fault's name with that fault.

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

using namespace Mirel;

namespace {
enum Server { Served, Down, Unconfigured, NoHost, Configured, CacheIsAFile };
const QByteArray kOlder = "older copy, longer than some new ones";

QByteArray faultBody()
{
    QByteArray body(64 << 10, Qt::Uninitialized);
    for (int i = 0; i < body.size(); ++i)
        body[i] = char((i * 7 + i / 251) & 0xff);
    return body;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool setMirelSetting(const QString& key, const QString& value)
{
    std::unique_ptr<ICfg> cfg(CfgCenter::GetAppCfg().GetSubCfg(QStringLiteral("Mirel")));
    return cfg && cfg->WriteString(key, value);
}

// One request of a fresh client; a fetched copy holds the served file, else a fault's body.
struct Request
{
    const char* tag;
    QString url;
    bool olderCopy; // in the cache before
    int error;
    int server = Served;
    int lock = LockReadShared;
};

// Records every load (file name, display name, whether local) and runs the frame's own.
class FetchFrame : public TestFrame
{
public:
    using CFrameMainWnd::save;
    using TestFrame::TestFrame;
    QStringList loads;

    bool load(const QString& fileName, const QString& displayName, bool isLocal) override
    {
        loads << fileName << displayName << (isLocal ? "local" : "remote");
        return CFrameMainWnd::load(fileName, displayName, isLocal);
    }
};
} // namespace
Q_DECLARE_METATYPE(Request)

class TestMirel : public QObject
{
    Q_OBJECT
    QTemporaryDir m_archive;
    // Dots, a space and an encoded-looking percent inside a name are plain characters.
    const QMap<QString, QByteArray> m_files { { "top.rec", "top level" },
        { "campaign/2026/run..1 %2e.rec", QByteArray("run one\r\n\0binary", 16) },
        { "empty.rec", "" }, { "big.bin", faultBody().repeated(16) } };
    HttpServer m_server; // serves m_archive and the faults
    std::unique_ptr<TestConfigDir> m_config; // fresh for each test: no entry carries over
    std::unique_ptr<QTemporaryDir> m_cache;
    int m_roots = 0;

    void useServer(int server)
    {
        const QString down = QStringLiteral("http://127.0.0.1:%1/").arg(HttpServer::freePort());
        const QString urls[] = { m_server.baseUrl(), down, "", "http:///root/", "", "" };
        qputenv("TEV_MIREL_SERVER", urls[server].toUtf8());
        if (server != Configured && server != CacheIsAFile)
            return;
        // The environment, set and empty, counts as unset.
        qputenv("TEV_MIREL_CACHE", "");
        QVERIFY(setMirelSetting("Server", m_server.baseUrl())
            && setMirelSetting("CacheFolder",
                server == Configured ? m_cache->path() : m_archive.filePath("top.rec")));
    }

private slots:
    void initTestCase()
    {
        for (auto it = m_files.cbegin(); it != m_files.cend(); ++it)
            QVERIFY(writeFile(m_archive.filePath(it.key()), it.value()));
        QVERIFY(m_server.start(m_archive.path(), QFINDTESTDATA("support/faultyhttp.py")));
    }

    void init()
    {
        m_config.reset();
        m_config = std::make_unique<TestConfigDir>();
        m_cache = std::make_unique<QTemporaryDir>();
        useServer(Served);
        // Every request but "configured" must take the environment's server over this one.
        QVERIFY(setMirelSetting("Server", "ftp://archive.example/"));
        qputenv("TEV_MIREL_CACHE", m_cache->path().toUtf8());
        // Short, so that the program is quick; long enough for a loaded machine to answer.
        qputenv("TEV_MIREL_STALL_TIMEOUT_MS", "500");
        qputenv("TEV_MIREL_CONNECT_TIMEOUT_MS", "1000");
    }

    // A URL never reaches outside the cache; a failure keeps an older copy there, a complete
    // fetch replaces it, and nothing partial is ever left, also when the server cuts or stalls.
    void request_data()
    {
        QTest::addColumn<Request>("row");
        const Request rows[] = {
            { "nested, older copy replaced", "mirel:campaign/2026/run..1 %2e.rec", true, NoError },
            { "empty file, older copy replaced", "mirel:/empty.rec", true, NoError },
            { "1 MiB", "mirel:/big.bin", false, NoError },
            { "scheme in capitals", "MIREL:/top.rec", false, NoError },
            { "from the configuration", "mirel:top.rec", false, NoError, Configured },
            { "unknown, older copy kept", "mirel:/missing.rec", true, ErrorUnknownUrl },
            { "folder", "mirel:campaign/2026", false, ErrorUnknownUrl },
            // Sent undecoded, the server would turn this into campaign/../top.rec.
            { "encoded parent", "mirel:campaign/%2e%2e/top.rec", false, ErrorUnknownUrl },
            { "other scheme", "file:/top.rec", false, ErrorInvalidUrl },
            { "parent", "mirel:/campaign/../../etc/passwd", false, ErrorInvalidUrl },
            { "authority", "mirel://host/top.rec", false, ErrorInvalidUrl },
            { "backslash", "mirel:/campaign\\..\\top.rec", false, ErrorInvalidUrl },
            { "drive letter", "mirel:C:/Windows/top.rec", false, ErrorInvalidUrl },
            { "NUL", QStringLiteral("mirel:/top.rec") + QChar(0) + "x", false, ErrorInvalidUrl },
            { "exclusive lock", "mirel:/top.rec", false, ErrorLockRefused, Served, LockExclusive },
            { "nothing listens", "mirel:/top.rec", false, ErrorNotConnected, Down },
            { "not configured", "mirel:/top.rec", false, ErrorNotConfigured, Unconfigured },
            { "server without a host", "mirel:/top.rec", false, ErrorNotConfigured, NoHost },
            { "cache unwritable", "mirel:/top.rec", false, ErrorCacheFile, CacheIsAFile },
            { "cut, older kept", "mirel:/close-after-headers/run1.rec", true, ErrorTransferFailed },
            { "reset mid-body", "mirel:/reset-mid-body/run1.rec", false, ErrorTransferFailed },
            { "chunked body cut off", "mirel:/chunked-cut/run1.rec", false, ErrorTransferFailed },
            { "no answer at all", "mirel:/stall-before-headers/run1.rec", false, ErrorStalled },
            { "stall mid-body, older kept", "mirel:/stall-mid-body/run1.rec", true, ErrorStalled },
            // Deleted from an event that its blocked request processes: it ends at once.
            { "client deleted", "mirel:/stall-mid-body/run1.rec", true, ErrorCancelled },
            // 8 pieces 150 ms apart: longer in all than the stall timeout, never silent that long.
            { "slow but steady", "mirel:/slow/run1.rec", false, NoError },
        };
        for (const Request& row : rows)
            QTest::newRow(row.tag) << row;
    }

    void request()
    {
        QFETCH(Request, row);
        useServer(row.server);
        const MirelUrl url(row.url);
        const QString local = m_cache->filePath(url.archivePath());
        QVERIFY(!row.olderCopy || writeFile(local, kOlder));
        std::unique_ptr<MirelClient> client;
        if (row.error == ErrorCancelled) {
            // A wait of 0 counts as unset, 30 s: taken as it is, the request would stall at once.
            qputenv("TEV_MIREL_STALL_TIMEOUT_MS", "0");
            QTimer::singleShot(300, [&client] { client.reset(); });
        }
        client = std::make_unique<MirelClient>();
        const QDeadlineTimer patience(10000); // a stall lasts the stall timeout, not much longer
        const QString path = client->RequestFile(url, LockState(row.lock));
        const qint64 ms = 10000 - patience.remainingTime();
        QVERIFY2(ms >= (row.error == ErrorStalled ? 500 : 0) && ms < 10000,
            qPrintable(QString::number(ms)));
        QCOMPARE(client ? client->GetError() : ErrorCancelled, row.error);
        const bool fetched = row.error == NoError, kept = fetched || row.olderCopy;
        QCOMPARE(path, fetched ? local : QString());
        QCOMPARE(
            filesBelow(m_cache->path()), kept ? QStringList { url.archivePath() } : QStringList());
        const QByteArray body = m_files.value(url.archivePath(), faultBody());
        QCOMPARE(fileBytes(local), fetched ? body : kept ? kOlder : QByteArray());
    }

    // Stall and connect wait: a set, non-empty environment wins; what is not > 0 ms is unset.
    void waits()
    {
        const auto ms = [](const char* environment, const char* configured) {
            qputenv("TEV_MIREL_STALL_TIMEOUT_MS", environment);
            qputenv("TEV_MIREL_CONNECT_TIMEOUT_MS", environment);
            setMirelSetting("StallTimeoutMs", configured);
            setMirelSetting("ConnectTimeoutMs", configured);
            return QString("%1 %2").arg(StallTimeoutMs()).arg(ArchiveFetch::connectTimeoutMs());
        };
        QCOMPARE((QStringList { ms("", "700"), ms("700", "60000"), ms("", "0"), ms("-5", "700") }),
            (QStringList { "700 700", "700 700", "30000 10000", "30000 10000" }));
    }

    // An outage or a server fault is named in a box, and nothing partial is cached or copied. An
    // opened entry stays for the next try: only "no such file" ("File Error") removes it.
    void fromTheFrame_data()
    {
        // The tag is the mode: a fault of faultyhttp.py, "down" or "unconfigured".
        QTest::addColumn<QString>("box"); // the title of the one box shown, "" none
        QTest::newRow("ok") << QString();
        QTest::newRow("status-410") << QString("File Error");
        QTest::newRow("status-403") << QString("Mirel Error");
        QTest::newRow("reset-before-headers") << QString("Connection Error");
        QTest::newRow("close-after-headers") << QString("Mirel Error");
        QTest::newRow("down") << QString("Connection Error");
        QTest::newRow("unconfigured") << QString("File Error"); // taken for a missing local file
        // The archive recording saved as a local file instead of opened.
        QTest::newRow("save stall-mid-body") << QString("Mirel Error");
    }

    void fromTheFrame()
    {
        const QString mode = QTest::currentDataTag();
        QFETCH(QString, box);
        const QString url = "mirel:/" + QString(mode).remove("save ") + "/run1.rec";
        useServer(mode == "down" ? Down : mode == "unconfigured" ? Unconfigured : Served);
        QTemporaryDir target;
        FetchFrame frame("App", "frontend", QStringLiteral("/Mirel%1").arg(++m_roots));
        frame.initialize(true);
        frame.updateRecentFiles(url);
        frame.m_currentFile = url;
        ModalAnswer answers(ModalAnswer::pressButton("OK"));
        if (mode.startsWith("save "))
            frame.save(target.filePath("copy.rec"));
        else
            frame.m_fileMenu->actions().at(frame.m_firstRecentId)->trigger();

        // The boxes, the entries kept, the loads and what is left in the cache and the target.
        QStringList seen;
        for (const SeenDialog& shown : answers.dialogs())
            seen << shown.title;
        const int entries = frame.m_fileMenu->actions().size() - frame.m_firstRecentId;
        seen << frame.m_settings->recentFiles() << QString::number(entries) << frame.loads
             << filesBelow(m_cache->path()) + filesBelow(target.path());
        const QStringList kept = box == "File Error" ? QStringList("0") : QStringList { url, "1" };
        const QStringList loaded { m_cache->filePath("ok/run1.rec"), url, "remote", "ok/run1.rec" };
        QCOMPARE(seen, box.isEmpty() ? kept + loaded : QStringList { box } + kept);
    }
};

QTEST_MAIN(TestMirel)
#include "tst_mirel.moc"
