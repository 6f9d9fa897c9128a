// The archive client against a real HTTP server on 127.0.0.1: Python's http.server over a
// folder, which answers the paths below a fault's name with that fault (support/faultyhttp.py).
// A cut connection or a stall never leaves a partial copy in the cache, a stall ends after the
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

using namespace Mirel;

namespace {

enum Server { Served, Down, Unconfigured };

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

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

void setMirelSetting(const QString& key, const QString& value)
{
    std::unique_ptr<ICfg> cfg(CfgCenter::GetAppCfg().GetSubCfg(QStringLiteral("Mirel")));
    QVERIFY(cfg && cfg->WriteString(key, value));
}

// Records every load (file name, display name, whether local) and runs the frame's own.
class FetchFrame : public TestFrame
{
public:
    using CFrameMainWnd::m_currentFile;
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

const QString kOlder = QStringLiteral("older copy, longer than some new ones");

} // namespace

class TestMirel : public QObject
{
    Q_OBJECT
    QTemporaryDir m_archive;
    QMap<QString, QByteArray> m_files; // in m_archive
    HttpServer m_server; // serves m_archive and the faults
    std::unique_ptr<TestConfigDir> m_config; // fresh for each test: no entry carries over
    std::unique_ptr<QTemporaryDir> m_cache;
    int m_roots = 0;

    QString serverUrl(int server) const
    {
        if (server == Down)
            return QStringLiteral("http://127.0.0.1:%1/").arg(HttpServer::freePort());
        return server == Served ? m_server.baseUrl() : QString();
    }

    std::unique_ptr<FetchFrame> makeFrame()
    {
        auto frame = std::make_unique<FetchFrame>(QStringLiteral("App"), QStringLiteral("frontend"),
            QStringLiteral("/Mirel%1").arg(++m_roots));
        frame->initialize(true);
        return frame;
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("tst_mirel"));
        m_files = { { "top.rec", "top level" },
            { "campaign/2026/run1.rec", QByteArray("run one\r\n\0binary", 16) },
            { "odd name %2e%2e.rec", "encoded" }, { "empty.rec", "" },
            { "big.bin", pattern(1 << 20) } };
        for (auto it = m_files.cbegin(); it != m_files.cend(); ++it)
            writeFile(m_archive.filePath(it.key()), it.value());
        QVERIFY(m_server.start(m_archive.path(), QFINDTESTDATA("support/faultyhttp.py")));
    }

    void init()
    {
        m_config.reset();
        m_config = std::make_unique<TestConfigDir>();
        m_cache = std::make_unique<QTemporaryDir>();
        qputenv("TEV_MIREL_SERVER", m_server.baseUrl().toUtf8());
        qputenv("TEV_MIREL_CACHE", m_cache->path().toUtf8());
        // Short, so that the program is quick; long enough for a loaded machine to answer.
        qputenv("TEV_MIREL_STALL_TIMEOUT_MS", "500");
        qputenv("TEV_MIREL_CONNECT_TIMEOUT_MS", "1000");
    }

    void urlParsing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("path"); // empty: not a mirel URL
        const auto row = [](const char* tag, const QString& text, const char* path) {
            QTest::newRow(tag) << text << path;
        };
        row("absolute", "mirel:/campaign/2026/run1.rec", "campaign/2026/run1.rec");
        row("relative", "mirel:campaign/run1.rec", "campaign/run1.rec");
        row("scheme case", "MIREL:/run1.rec", "run1.rec");
        row("dots inside a name", "mirel:/run..1.rec", "run..1.rec");
        row("percent taken literally", "mirel:/a%2e%2e", "a%2e%2e");
        row("other scheme", "file:/run1.rec", "");
        row("no scheme", "/campaign/run1.rec", "");
        row("empty text", "", "");
        row("empty path", "mirel:/", "");
        row("parent", "mirel:../run1.rec", "");
        row("parent inside", "mirel:/campaign/../../etc/passwd", "");
        row("current", "mirel:/./run1.rec", "");
        row("backslash", "mirel:/campaign\\..\\run1.rec", "");
        row("drive letter", "mirel:C:/Windows/run1.rec", "");
        row("authority", "mirel://host/run1.rec", "");
        row("empty segment", "mirel:/campaign//run1.rec", "");
        row("trailing slash", "mirel:/campaign/", "");
        row("NUL", QStringLiteral("mirel:/run1.rec") + QChar(0) + "x", "");
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
        QFETCH(int, result);
        const char* variable = key == "Server" ? "TEV_MIREL_SERVER"
            : key == "StallTimeoutMs"          ? "TEV_MIREL_STALL_TIMEOUT_MS"
                                               : "TEV_MIREL_CONNECT_TIMEOUT_MS";
        qputenv(variable, environment.toUtf8()); // an empty variable counts as unset
        setMirelSetting(key, configured);
        QCOMPARE(key == "Server"          ? int(MirelClient::IsMirelAvailable())
                : key == "StallTimeoutMs" ? StallTimeoutMs()
                                          : ArchiveFetch::connectTimeoutMs(),
            result);
    }

    void fromConfiguration()
    {
        qunsetenv("TEV_MIREL_SERVER");
        qunsetenv("TEV_MIREL_CACHE");
        setMirelSetting("Server", m_server.baseUrl());
        setMirelSetting("CacheFolder", m_cache->filePath("configured"));
        MirelClient client;
        QTRY_VERIFY_WITH_TIMEOUT(client.IsConnected(), 10000); // the caller's polling
        QCOMPARE(client.RequestFile(MirelUrl("mirel:top.rec"), LockReadShared),
            m_cache->filePath("configured/top.rec"));
    }

    // One request of a fresh client: a failure keeps an older copy in the cache, a complete
    // fetch replaces it, and nothing partial is ever left there.
    void request_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("olderCopy");
        QTest::addColumn<int>("error");
        QTest::addColumn<QByteArray>("body"); // of the copy fetched
        QTest::addColumn<int>("server");
        QTest::addColumn<int>("lock");
        const auto row
            = [](const char* tag, const QString& text, bool older, int error,
                  const QByteArray& body = {}, int server = Served, int lock = LockReadShared) {
                  QTest::newRow(tag) << text << older << error << body << server << lock;
              };
        row("root file", "mirel:/top.rec", false, NoError, m_files["top.rec"]);
        row("nested, older copy replaced", "mirel:campaign/2026/run1.rec", true, NoError,
            m_files["campaign/2026/run1.rec"]);
        row("name needing encoding", "mirel:/odd name %2e%2e.rec", false, NoError, "encoded");
        row("empty file, older copy replaced", "mirel:/empty.rec", true, NoError, "");
        row("1 MiB", "mirel:/big.bin", false, NoError, m_files["big.bin"]);
        row("unknown, older copy kept", "mirel:/missing.rec", true, ErrorUnknownUrl);
        row("folder", "mirel:campaign/2026", false, ErrorUnknownUrl);
        // Sent undecoded, the server would turn this into campaign/../top.rec.
        row("encoded parent stays a name", "mirel:campaign/%2e%2e/top.rec", false, ErrorUnknownUrl);
        row("traversal", "mirel:../top.rec", false, ErrorInvalidUrl);
        row("not mirel", "file:/top.rec", false, ErrorInvalidUrl);
        row("exclusive lock", "mirel:/top.rec", false, ErrorLockRefused, {}, Served, LockExclusive);
        row("nothing listens", "mirel:/top.rec", false, ErrorNotConnected, {}, Down);
        row("not configured", "mirel:/top.rec", false, ErrorNotConfigured, {}, Unconfigured);
        row("closed after the headers, older copy kept", faulty("close-after-headers"), true,
            ErrorTransferFailed);
        row("reset mid-body", faulty("reset-mid-body"), false, ErrorTransferFailed);
        row("chunked body cut off", faulty("chunked-cut"), false, ErrorTransferFailed);
        row("no answer at all", faulty("stall-before-headers"), false, ErrorStalled);
        row("stall mid-body, older copy kept", faulty("stall-mid-body"), true, ErrorStalled);
        // 8 pieces 150 ms apart: longer in all than the stall timeout, never silent that long.
        row("slow but steady", faulty("slow"), false, NoError, pattern(64 << 10));
    }

    void request()
    {
        QFETCH(QString, text);
        QFETCH(bool, olderCopy);
        QFETCH(int, error);
        QFETCH(QByteArray, body);
        QFETCH(int, server);
        QFETCH(int, lock);
        qputenv("TEV_MIREL_SERVER", serverUrl(server).toUtf8());
        const MirelUrl url(text);
        const QString local = m_cache->filePath(url.archivePath());
        if (olderCopy)
            writeFile(local, kOlder.toUtf8());
        MirelClient client;
        QElapsedTimer timer;
        timer.start();
        const QString path = client.RequestFile(url, LockState(lock));
        // A stall must have lasted the whole stall timeout, and must not wait much longer.
        const int minMs = error == ErrorStalled ? 500 : 0;
        QVERIFY2(timer.elapsed() >= minMs && timer.elapsed() < 10000,
            qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(client.GetError(), error);
        QCOMPARE(path, error == NoError ? local : QString());
        const bool fileExpected = error == NoError || olderCopy;
        QCOMPARE(filesBelow(m_cache->path()),
            fileExpected ? QStringList { url.archivePath() } : QStringList());
        if (fileExpected)
            QCOMPARE(fileBytes(local), error == NoError ? body : kOlder.toUtf8());
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

    // Opening a "mirel:" recent entry: an outage or a server fault is named in a box and the
    // entry stays for the next try; only "no such file" from the archive removes it.
    void recentEntry_data()
    {
        // A fault of faultyhttp.py, or "down": nothing listens, "unconfigured": no archive,
        // "unwritable": the cache folder is a file.
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("title"); // of the one box shown, "" none
        QTest::addColumn<QString>("says"); // a part of its text, %1: the URL
        QTest::addColumn<bool>("keepsEntry");
        const auto row
            = [](const char* tag, const char* mode, const char* title, const char* says,
                  bool keepsEntry) { QTest::newRow(tag) << mode << title << says << keepsEntry; };
        const char* notFound = "File: %1 not found";
        const char* failed = "an error when asked for %1. Please try again later.";
        const char* brokeOff = "broke off while asking for %1. Please try again later.";
        const char* transfer = "Perhaps the file transmission is not yet finished.";
        row("fetched", "ok", "", "", true);
        row("404", "status-404", "File Error", notFound, false);
        row("410", "status-410", "File Error", notFound, false);
        row("no archive configured", "unconfigured", "File Error", notFound, false);
        row("500", "status-500", "Mirel Error", failed, true);
        row("403", "status-403", "Mirel Error", failed, true);
        row("silent past the stall timeout", "stall-before-headers", "Connection Error",
            "did not answer in time when asked for %1.", true);
        row("dropped before the headers", "close-before-headers", "Connection Error", brokeOff,
            true);
        row("reset before the headers", "reset-before-headers", "Connection Error", brokeOff, true);
        row("cut mid-body", "close-after-headers", "Mirel Error", transfer, true);
        row("cache unwritable", "unwritable", "Mirel Error", transfer, true);
        row("archive down", "down", "Connection Error", "Connection to Mirel failed.", true);
    }

    void recentEntry()
    {
        QFETCH(QString, mode);
        QFETCH(QString, title);
        QFETCH(QString, says);
        QFETCH(bool, keepsEntry);
        const bool served = !QStringList { "down", "unconfigured", "unwritable" }.contains(mode);
        const QString url = faulty(served ? mode : "ok");
        if (mode == "down" || mode == "unconfigured")
            qputenv("TEV_MIREL_SERVER", serverUrl(mode == "down" ? Down : Unconfigured).toUtf8());
        if (mode == "unwritable") {
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
        if (!title.isEmpty()) {
            const QString text = answers.dialog().text;
            QVERIFY2(text.contains(says.replace(QLatin1String("%1"), url)), qPrintable(text));
        }
        QCOMPARE(
            frame->m_settings->recentFiles(), keepsEntry ? QStringList { url } : QStringList());
        QCOMPARE(
            frame->m_fileMenu->actions().size(), frame->m_firstRecentId + (keepsEntry ? 1 : 0));
        const QString local = m_cache->filePath("ok/run1.rec");
        const QStringList loaded { local, url, "remote" };
        QCOMPARE(frame->loads, title.isEmpty() ? loaded : QStringList());
        if (title.isEmpty()) {
            QCOMPARE(fileBytes(local), pattern(64 << 10));
            QCOMPARE(frame->m_fileName->GetValue(), local);
            QCOMPARE(frame->windowTitle(), QStringLiteral("App - [%1]").arg(url));
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
        frame->m_currentFile = faulty(mode);
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

QTEST_MAIN(TestMirel)
#include "tst_mirel.moc"
