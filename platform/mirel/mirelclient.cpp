#include "mirelclient.h"

#include <startup/cfgcenter.h>

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <functional>

namespace Mirel {

namespace {

constexpr int DefaultStallTimeoutMs = 30000;
constexpr qint64 kReadAheadBytes = 4 << 20;
constexpr int kCopyBufferBytes = 256 << 10;

bool isPlainSegment(QStringView segment)
{
    if (segment.isEmpty() || segment == QLatin1String(".") || segment == QLatin1String(".."))
        return false;
    for (const QChar c : segment) {
        // ':' would make "C:" a drive on Windows, i.e. an absolute path inside the cache.
        if (c == QLatin1Char('\\') || c == QLatin1Char(':') || c.unicode() < 0x20
            || c.unicode() == 0x7f)
            return false;
    }
    return true;
}

// An environment variable that is set and not empty wins, so that tests and the demo need
// no configuration file.
QString setting(const char* environmentName, const QString& key)
{
    const QString fromEnvironment = qEnvironmentVariable(environmentName);
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const std::unique_ptr<ICfg> cfg(CfgCenter::GetAppCfg().GetSubCfg(QStringLiteral("Mirel")));
    return cfg ? cfg->ReadString(key, QString()) : QString();
}

QUrl configuredServer()
{
    const QUrl url(
        setting("TEV_MIREL_SERVER", QStringLiteral("Server")).trimmed(), QUrl::StrictMode);
    const bool usable = url.isValid() && !url.host().isEmpty()
        && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
    return usable ? url : QUrl();
}

QString configuredCacheFolder()
{
    QString folder = setting("TEV_MIREL_CACHE", QStringLiteral("CacheFolder"));
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation)
            + QLatin1String("/mirel");
    return QDir::cleanPath(QDir(folder).absolutePath());
}

} // namespace

int ConfiguredTimeoutMs(const char* environmentName, const QString& key, int defaultMs)
{
    bool ok = false;
    const int ms = setting(environmentName, key).toInt(&ok);
    return ok && ms > 0 ? ms : defaultMs;
}

int StallTimeoutMs()
{
    return ConfiguredTimeoutMs(
        "TEV_MIREL_STALL_TIMEOUT_MS", QStringLiteral("StallTimeoutMs"), DefaultStallTimeoutMs);
}

MirelUrl::MirelUrl(const QString& text)
    : m_text(text)
{
    const QLatin1String scheme("mirel:");
    if (!text.startsWith(scheme, Qt::CaseInsensitive))
        return;
    QString path = text.mid(scheme.size());
    if (path.startsWith(QLatin1Char('/')))
        path = path.mid(1);
    // A second leading '/' ("mirel://host/...") leaves an empty first segment: rejected, as
    // the host would be silently ignored.
    for (const QString& segment : path.split(QLatin1Char('/'))) {
        if (!isPlainSegment(segment))
            return;
    }
    m_path = path;
}

QString CachePath(const QString& cacheFolder, const MirelUrl& url)
{
    if (!url.isMirelUrl() || cacheFolder.isEmpty())
        return QString();
    QString folder = QDir::cleanPath(cacheFolder);
    if (!folder.endsWith(QLatin1Char('/'))) // only "/" itself ends in one after cleaning
        folder += QLatin1Char('/');
    const QString target = QDir::cleanPath(folder + url.archivePath());
    // The URL check already keeps the path inside; this guards against a later change there.
    return target.startsWith(folder) && target.size() > folder.size() ? target : QString();
}

class MirelClientPrivate
{
public:
    MirelClientPrivate()
        : server(configuredServer())
        , cacheFolder(configuredCacheFolder())
        , stallTimeoutMs(StallTimeoutMs())
        , error(server.isValid() ? ErrorNotConnected : ErrorNotConfigured)
    {
        manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    }

    void startProbe();
    bool isValidUrl(const MirelUrl& url);
    QString requestFile(const MirelUrl& url, LockState lock);
    void abortAll();

    const QUrl server;
    const QString cacheFolder;
    const int stallTimeoutMs;
    QNetworkAccessManager manager;
    bool connected = false;
    bool destroyed = false;
    MirelError error;

private:
    QNetworkRequest requestFor(const MirelUrl& url) const;
    MirelError precheck(const MirelUrl& url) const;
    MirelError wait(QNetworkReply* reply, const std::function<bool()>& consume);

    QList<QPointer<QNetworkReply>> m_running;
    QPointer<QNetworkReply> m_probe;
};

void MirelClientPrivate::startProbe()
{
    if (!server.isValid())
        return;
    QNetworkReply* reply = manager.head(QNetworkRequest(server));
    m_probe = reply;
    // Any HTTP answer, even an error status for the root, shows the server is there.
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply] {
        connected = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
        reply->deleteLater();
    });
    QTimer::singleShot(stallTimeoutMs, reply, [reply] { reply->abort(); });
}

namespace {
// Renames the complete temporary copy over `target`, replacing an older copy in one step.
bool publish(QTemporaryFile& file, const QString& target)
{
    if (!file.flush())
        return false;
    file.close();
    if (std::rename(
            QFile::encodeName(file.fileName()).constData(), QFile::encodeName(target).constData())
        != 0)
        return false;
    file.setAutoRemove(false); // its name is the target's now
    return true;
}
} // namespace

QNetworkRequest MirelClientPrivate::requestFor(const MirelUrl& url) const
{
    QString text = server.toString(QUrl::FullyEncoded | QUrl::RemoveQuery | QUrl::RemoveFragment);
    if (!text.endsWith(QLatin1Char('/')))
        text += QLatin1Char('/');
    // Each segment fully encoded: a literal "%2e%2e" must reach the server as a name, not be
    // decoded there into "..".
    QStringList encoded;
    for (const QString& segment : url.archivePath().split(QLatin1Char('/')))
        encoded << QString::fromLatin1(QUrl::toPercentEncoding(segment));
    QNetworkRequest request(
        QUrl::fromEncoded((text + encoded.join(QLatin1Char('/'))).toLatin1(), QUrl::StrictMode));
    // Left to itself Qt asks for gzip and unpacks it, and Content-Length then counts the
    // packed bytes: the completeness check would fail on every compressed answer.
    request.setRawHeader("Accept-Encoding", "identity");
    return request;
}

MirelError MirelClientPrivate::precheck(const MirelUrl& url) const
{
    if (!server.isValid())
        return ErrorNotConfigured;
    return url.isMirelUrl() ? NoError : ErrorInvalidUrl;
}

// Runs the reply to its end in a local event loop. `consume`, when given, takes the body as it
// arrives and returns false when it cannot store it.
MirelError MirelClientPrivate::wait(QNetworkReply* reply, const std::function<bool()>& consume)
{
    QEventLoop loop;
    QTimer stall;
    stall.setSingleShot(true);
    // A coarse timer may fire up to 5 % early: a transfer must have been silent for the whole
    // timeout before it counts as stalled.
    stall.setTimerType(Qt::PreciseTimer);
    stall.setInterval(stallTimeoutMs);
    bool stalled = false;
    bool storeFailed = false;
    QObject::connect(&stall, &QTimer::timeout, reply, [&] {
        stalled = true;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &stall, [&] { stall.start(); });
    QObject::connect(reply, &QNetworkReply::readyRead, &stall, [&] {
        stall.start();
        if (consume && !storeFailed && !consume()) {
            storeFailed = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    m_running.append(reply);
    stall.start();
    // User input is held back: a click handled in here could start a second request nested
    // inside this one.
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    m_running.removeAll(reply);
    if (consume && !storeFailed && !destroyed && reply->bytesAvailable() > 0)
        storeFailed = !consume();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (destroyed)
        return ErrorCancelled;
    connected = status.isValid();
    if (stalled)
        return ErrorStalled;
    if (storeFailed)
        return ErrorCacheFile;
    if (!status.isValid())
        return ErrorNotConnected;
    const int code = status.toInt();
    if (code == 404 || code == 410)
        return ErrorUnknownUrl;
    if (code < 200 || code > 299 || reply->error() != QNetworkReply::NoError)
        return ErrorTransferFailed;
    // A folder is redirected to "folder/" and answered with a listing, which is no file.
    if (reply->url().path().endsWith(QLatin1Char('/')))
        return ErrorUnknownUrl;
    return NoError;
}

bool MirelClientPrivate::isValidUrl(const MirelUrl& url)
{
    error = precheck(url);
    if (error != NoError)
        return false;
    QNetworkReply* reply = manager.head(requestFor(url));
    error = wait(reply, {});
    delete reply;
    return error == NoError;
}

QString MirelClientPrivate::requestFile(const MirelUrl& url, LockState lock)
{
    error = precheck(url);
    if (error == NoError && lock != LockNone && lock != LockReadShared)
        error = ErrorLockRefused;
    if (error != NoError)
        return QString();

    const QString target = CachePath(cacheFolder, url);
    if (target.isEmpty() || !QDir().mkpath(QFileInfo(target).absolutePath())) {
        error = ErrorCacheFile;
        return QString();
    }
    // The body goes to a temporary file next to the target, renamed over it once complete and
    // removed otherwise, whatever way this function is left. Unlike QSaveFile it is not synced
    // to disk: the cache holds copies that every request fetches anew, and the flush would
    // double the time a large fetch keeps the user waiting.
    QTemporaryFile file(target + QStringLiteral(".XXXXXX.part"));
    file.setAutoRemove(true);
    // A name at once: QTemporaryFile may start nameless, and the rename below needs a path.
    if (!file.open() || file.fileName().isEmpty()) {
        error = ErrorCacheFile;
        return QString();
    }
    QNetworkReply* reply = manager.get(requestFor(url));
    // Bounded read-ahead, drained through one reused buffer: letting the reply hold everything
    // that arrived and taking it with readAll() costs a fresh allocation (and its page faults)
    // per chunk, which made a fetch several times slower than the network.
    reply->setReadBufferSize(kReadAheadBytes);
    QByteArray buffer(kCopyBufferBytes, Qt::Uninitialized);
    qint64 received = 0;
    error = wait(reply, [&] {
        for (qint64 length; (length = reply->read(buffer.data(), buffer.size())) > 0;) {
            received += length;
            if (file.write(buffer.constData(), length) != length)
                return false;
        }
        return true;
    });
    if (error == NoError) {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        // Without a length the end of the body cannot be told from a cut connection: QtNetwork
        // hides the chunk framing and, depending on timing, finishes a chunked reply whose
        // final zero-length chunk never came as if it were complete.
        const bool complete = length.isValid() && length.toLongLong() == received;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status != 200 || !complete)
            error = ErrorTransferFailed;
        else if (!publish(file, target))
            error = ErrorCacheFile;
    }
    delete reply;
    return error == NoError ? target : QString();
}

void MirelClientPrivate::abortAll()
{
    destroyed = true;
    if (m_probe)
        m_probe->abort();
    const auto running = m_running;
    for (const QPointer<QNetworkReply>& reply : running) {
        if (reply)
            reply->abort();
    }
}

bool MirelClient::IsMirelAvailable()
{
    return configuredServer().isValid();
}

MirelClient::MirelClient()
    : d(std::make_shared<MirelClientPrivate>())
{
    d->startProbe();
}

MirelClient::~MirelClient()
{
    d->abortAll();
}

bool MirelClient::IsConnected() const
{
    return d->connected;
}

bool MirelClient::IsValidURL(const MirelUrl& url)
{
    const std::shared_ptr<MirelClientPrivate> keep = d; // this client may be deleted meanwhile
    return keep->isValidUrl(url);
}

QString MirelClient::RequestFile(const MirelUrl& url, LockState lock)
{
    const std::shared_ptr<MirelClientPrivate> keep = d; // this client may be deleted meanwhile
    return keep->requestFile(url, lock);
}

MirelError MirelClient::GetError() const
{
    return d->error;
}

} // namespace Mirel
