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
enum Server { Served, Down, Unconfigured };
const QByteArray kOlder = "older copy, longer than some new ones";

// The bytes of big.bin, and of every fault's body (64 KiB of them).
QByteArray pattern(int size)
{
    QByteArray body(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        body[i] = char((i * 7 + i / 251) & 0xff);
    return body;
}

// The URL of a file that the server answers with `fault`.
QString faulty(const QString& fault)
{
    return QStringLiteral("mirel:/%1/run1.rec").arg(fault);
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

// One request of a fresh client.
struct Request
{
    const char* tag;
    QString url;
    bool olderCopy; // in the cache before
    int error;
    QByteArray body = {}; // of the copy fetched
    int server = Served;
    int lock = LockReadShared;
};

// Opening a recent entry, or saving as. The mode is a fault of faultyhttp.py, or "down": nothing
// listens, "unconfigured": no archive, "unwritable": the cache folder is a file; "save " first:
// the archive recording is saved as a local file instead of opened.
struct FrameRun
{
    const char* tag;
    const char* mode;
    const char* title; // of the one box shown, "" none
    const char* says; // a part of its text, %1 the URL
    bool keepsEntry;
};

// Records every load (file name, display name, whether local) and runs the frame's own.
class FetchFrame : public TestFrame
{
public:
    using CFrameMainWnd::save;
    using TestFrame::TestFrame;
    QStringList loads;

protected:
    bool load(const QString& fileName, const QString& displayName, bool isLocal) override
    {
        loads << fileName << displayName << (isLocal ? "local" : "remote");
        return CFrameMainWnd::load(fileName, displayName, isLocal);
    }
};
} // namespace
Q_DECLARE_METATYPE(Request)
Q_DECLARE_METATYPE(FrameRun)

class TestMirel : public QObject
{
    Q_OBJECT
    QTemporaryDir m_archive;
    const QMap<QString, QByteArray> m_files { { "top.rec", "top level" },
        { "campaign/2026/run1.rec", QByteArray("run one\r\n\0binary", 16) },
        { "odd name %2e%2e.rec", "encoded" }, { "empty.rec", "" },
        { "big.bin", pattern(1 << 20) } };
    HttpServer m_server; // serves m_archive and the faults
    std::unique_ptr<TestConfigDir> m_config; // fresh for each test: no entry carries over
    std::unique_ptr<QTemporaryDir> m_cache;
    int m_roots = 0;

    void useServer(int server)
    {
        const QString down = QStringLiteral("http://127.0.0.1:%1/").arg(HttpServer::freePort());
        const QString url = server == Served ? m_server.baseUrl() : server == Down ? down : "";
        qputenv("TEV_MIREL_SERVER", url.toUtf8());
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("tst_mirel"));
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
        qputenv("TEV_MIREL_CACHE", m_cache->path().toUtf8());
        // Short, so that the program is quick; long enough for a loaded machine to answer.
        qputenv("TEV_MIREL_STALL_TIMEOUT_MS", "500");
        qputenv("TEV_MIREL_CONNECT_TIMEOUT_MS", "1000");
    }

    // The server and the waits: a set environment variable wins over the configuration, and
    // a wait that is not a positive number of milliseconds counts as not configured.
    void settings_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("environment"); // "" unset
        QTest::addColumn<QString>("configured"); // "" absent
        QTest::addColumn<int>("result"); // IsMirelAvailable() for "Server", else the wait in ms
        const auto row = [](const char* key, const char* tag, const char* environment,
                             const char* configured, int result) {
            QTest::newRow(qPrintable(QStringLiteral("%1: %2").arg(key, tag)))
                << key << environment << configured << result;
        };
        row("Server", "nothing", "", "", 0);
        row("Server", "configuration", "", "https://archive.example:8080/root/", 1);
        row("Server", "environment wins", "http://127.0.0.1:1/", "not a url", 1);
        row("Server", "other scheme", "", "ftp://archive.example/", 0);
        row("Server", "no host", "", "http:///root/", 0);
        for (const char* key : { "StallTimeoutMs", "ConnectTimeoutMs" }) {
            const int byDefault = key[0] == 'S' ? 30000 : 10000;
            row(key, "nothing", "", "", byDefault);
            row(key, "configured", "", "700", 700);
            row(key, "environment wins", "700", "60000", 700);
            row(key, "zero", "", "0", byDefault);
            row(key, "negative", "-5", "", byDefault);
        }
    }

    void settings()
    {
        QFETCH(QString, key);
        QFETCH(QString, environment);
        QFETCH(QString, configured);
        // "StallTimeoutMs" from TEV_MIREL_STALL_TIMEOUT_MS; an empty variable counts as unset.
        const QString variable = QString(key).replace(QRegularExpression("\\B([A-Z])"), "_\\1");
        qputenv(qPrintable("TEV_MIREL_" + variable.toUpper()), environment.toUtf8());
        QVERIFY(setMirelSetting(key, configured));
        const int wait
            = key == "StallTimeoutMs" ? StallTimeoutMs() : ArchiveFetch::connectTimeoutMs();
        QTEST(key == "Server" ? int(MirelClient::IsMirelAvailable()) : wait, "result");
    }

    void fromConfiguration()
    {
        qunsetenv("TEV_MIREL_SERVER");
        qunsetenv("TEV_MIREL_CACHE");
        QVERIFY(setMirelSetting("Server", m_server.baseUrl()));
        QVERIFY(setMirelSetting("CacheFolder", m_cache->filePath("configured")));
        MirelClient client;
        QTRY_VERIFY_WITH_TIMEOUT(client.IsConnected(), 10000); // the caller's polling
        QCOMPARE(client.RequestFile(MirelUrl("mirel:top.rec"), LockReadShared),
            m_cache->filePath("configured/top.rec"));
    }

    // A URL never reaches outside the cache; a failure keeps an older copy there, a complete
    // fetch replaces it, and nothing partial is ever left, also when the server cuts or stalls.
    void request_data()
    {
        QTest::addColumn<Request>("row");
        const Request rows[] = {
            { "root file", "mirel:/top.rec", false, NoError, m_files["top.rec"] },
            { "nested, older copy replaced", "mirel:campaign/2026/run1.rec", true, NoError,
                m_files["campaign/2026/run1.rec"] },
            { "name needing encoding", "mirel:/odd name %2e%2e.rec", false, NoError, "encoded" },
            { "empty file, older copy replaced", "mirel:/empty.rec", true, NoError, "" },
            { "1 MiB", "mirel:/big.bin", false, NoError, m_files["big.bin"] },
            { "unknown, older copy kept", "mirel:/missing.rec", true, ErrorUnknownUrl },
            { "folder", "mirel:campaign/2026", false, ErrorUnknownUrl },
            // Sent undecoded, the server would turn this into campaign/../top.rec.
            { "encoded parent stays a name", "mirel:campaign/%2e%2e/top.rec", false,
                ErrorUnknownUrl },
            { "scheme case", "MIREL:/top.rec", false, NoError, m_files["top.rec"] },
            { "dots inside a name", "mirel:/run..1.rec", false, ErrorUnknownUrl }, // asked
            { "percent taken literally", "mirel:/a%2e%2e", false, ErrorUnknownUrl },
            { "other scheme", "file:/top.rec", false, ErrorInvalidUrl },
            { "no scheme", "/top.rec", false, ErrorInvalidUrl },
            { "empty text", "", false, ErrorInvalidUrl },
            { "empty path", "mirel:/", false, ErrorInvalidUrl },
            { "parent", "mirel:../top.rec", false, ErrorInvalidUrl },
            { "parent inside", "mirel:/campaign/../../etc/passwd", false, ErrorInvalidUrl },
            { "current", "mirel:/./top.rec", false, ErrorInvalidUrl },
            { "backslash", "mirel:/campaign\\..\\top.rec", false, ErrorInvalidUrl },
            { "drive letter", "mirel:C:/Windows/top.rec", false, ErrorInvalidUrl },
            { "authority", "mirel://host/top.rec", false, ErrorInvalidUrl },
            { "empty segment", "mirel:/campaign//top.rec", false, ErrorInvalidUrl },
            { "trailing slash", "mirel:/campaign/", false, ErrorInvalidUrl },
            { "NUL", QStringLiteral("mirel:/top.rec") + QChar(0) + "x", false, ErrorInvalidUrl },
            { "exclusive lock", "mirel:/top.rec", false, ErrorLockRefused, {}, Served,
                LockExclusive },
            { "nothing listens", "mirel:/top.rec", false, ErrorNotConnected, {}, Down },
            { "not configured", "mirel:/top.rec", false, ErrorNotConfigured, {}, Unconfigured },
            { "closed after the headers, older copy kept", faulty("close-after-headers"), true,
                ErrorTransferFailed },
            { "reset mid-body", faulty("reset-mid-body"), false, ErrorTransferFailed },
            { "chunked body cut off", faulty("chunked-cut"), false, ErrorTransferFailed },
            { "no answer at all", faulty("stall-before-headers"), false, ErrorStalled },
            { "stall mid-body, older copy kept", faulty("stall-mid-body"), true, ErrorStalled },
            // 8 pieces 150 ms apart: longer in all than the stall timeout, never silent that long.
            { "slow but steady", faulty("slow"), false, NoError, pattern(64 << 10) },
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
        MirelClient client;
        QElapsedTimer timer;
        timer.start();
        const QString path = client.RequestFile(url, LockState(row.lock));
        // A stall must have lasted the whole stall timeout, and must not wait much longer.
        const qint64 ms = timer.elapsed();
        QVERIFY2(ms >= (row.error == ErrorStalled ? 500 : 0) && ms < 10000,
            qPrintable(QString::number(ms)));
        QCOMPARE(client.GetError(), row.error);
        const bool fetched = row.error == NoError;
        QCOMPARE(path, fetched ? local : QString());
        const QStringList kept { url.archivePath() }; // the copy fetched, or the older one
        QCOMPARE(filesBelow(m_cache->path()), fetched || row.olderCopy ? kept : QStringList());
        QCOMPARE(fileBytes(local), fetched ? row.body : row.olderCopy ? kOlder : QByteArray());
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
        QVERIFY(client->RequestFile(MirelUrl(faulty("stall-mid-body")), LockReadShared).isEmpty());
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!client); // it was the deletion that ended the request
        QCOMPARE(filesBelow(m_cache->path()), QStringList());
    }

    // An outage or a server fault is named in a box, and nothing partial is cached or copied. An
    // opened entry stays for the next try: only "no such file" from the archive removes it.
    void fromTheFrame_data()
    {
        QTest::addColumn<FrameRun>("row");
        const char* failed = "an error when asked for %1.";
        const char* brokeOff = "broke off while asking for %1.";
        const char* transfer = "Perhaps the file transmission is not yet finished.";
        static const FrameRun rows[] = {
            { "fetched", "ok", "", "", true },
            { "404", "status-404", "File Error", "File: %1 not found", false },
            { "410", "status-410", "File Error", "File: %1 not found", false },
            { "no archive configured", "unconfigured", "File Error", "File: %1 not found", false },
            { "500", "status-500", "Mirel Error", failed, true },
            { "403", "status-403", "Mirel Error", failed, true },
            { "silent", "stall-before-headers", "Connection Error", "not answer in time", true },
            { "dropped before the headers", "close-before-headers", "Connection Error", brokeOff,
                true },
            { "reset before the headers", "reset-before-headers", "Connection Error", brokeOff,
                true },
            { "cut mid-body", "close-after-headers", "Mirel Error", transfer, true },
            { "cache unwritable", "unwritable", "Mirel Error", transfer, true },
            { "archive down", "down", "Connection Error", "Connection to Mirel failed.", true },
            { "save, cut mid-body", "save close-after-headers", "Mirel Error", transfer, true },
            { "save, stall mid-body", "save stall-mid-body", "Mirel Error", transfer, true },
        };
        for (const FrameRun& row : rows)
            QTest::newRow(row.tag) << row;
    }

    void fromTheFrame()
    {
        QFETCH(FrameRun, row);
        const bool save = QByteArray(row.mode).startsWith("save ");
        const QString mode = QString(row.mode).remove("save ");
        const bool served = !QStringList { "down", "unconfigured", "unwritable" }.contains(mode);
        const QString url = faulty(served ? mode : "ok");
        useServer(mode == "down" ? Down : mode == "unconfigured" ? Unconfigured : Served);
        const QString notAFolder = m_config->path() + "/not-a-folder";
        if (mode == "unwritable")
            QVERIFY(writeFile(notAFolder, {})
                && qputenv("TEV_MIREL_CACHE", QFile::encodeName(notAFolder)));
        QTemporaryDir target;
        FetchFrame frame("App", "frontend", QStringLiteral("/Mirel%1").arg(++m_roots));
        frame.initialize(true);
        frame.updateRecentFiles(url);
        frame.m_currentFile = url;
        ModalAnswer answers(ModalAnswer::pressButton("OK"));
        if (save)
            frame.save(target.filePath("copy.rec"));
        else
            frame.m_fileMenu->actions().at(frame.m_firstRecentId)->trigger();

        const QString says = QString(row.says).replace("%1", url);
        QStringList seen; // each box's title and whether it says what it must
        for (const SeenDialog& box : answers.dialogs())
            seen << box.title << (box.text.contains(says) ? "says it" : box.text);
        const bool fetched = !*row.title;
        QCOMPARE(seen, fetched ? QStringList() : QStringList({ row.title, "says it" }));
        QCOMPARE(
            frame.m_settings->recentFiles(), row.keepsEntry ? QStringList { url } : QStringList());
        QCOMPARE(frame.m_fileMenu->actions().size(), frame.m_firstRecentId + int(row.keepsEntry));
        const QString local = m_cache->filePath("ok/run1.rec");
        QCOMPARE(frame.loads, fetched ? QStringList({ local, url, "remote" }) : QStringList());
        const QStringList shown { frame.m_fileName->GetValue(), frame.windowTitle() };
        QCOMPARE(shown,
            fetched ? QStringList({ local, "App - [" + url + ']' })
                    : QStringList({ "No File Loaded", "App" }));
        const QStringList left = filesBelow(m_cache->path()) + filesBelow(target.path());
        QCOMPARE(left, fetched ? QStringList { "ok/run1.rec" } : QStringList());
    }
};

QTEST_MAIN(TestMirel)
#include "tst_mirel.moc"
