#pragma once

#include <mirel/mirel_export.h>

#include <QString>

#include <memory>

/// Client of the remote archive, reached over HTTP(S).
///
/// Configuration, each read when a client is created (the server also by IsMirelAvailable());
/// an environment variable that is set and not empty wins over the application configuration
/// (sub-configuration "Mirel"):
/// - server base URL, http or https: `$TEV_MIREL_SERVER`, else "Server";
/// - cache folder: `$TEV_MIREL_CACHE`, else "CacheFolder", else the application's cache
///   location + "/mirel";
/// - stall timeout in ms, default 30000: `$TEV_MIREL_STALL_TIMEOUT_MS`, else "StallTimeoutMs";
/// - read by the frame library, not by the client: how long the frame waits for a new client
///   to connect, in ms, default 10000: `$TEV_MIREL_CONNECT_TIMEOUT_MS`, else "ConnectTimeoutMs".
/// A timeout that is not a positive number of milliseconds counts as not configured.
namespace Mirel {

using MirelError = int;

constexpr MirelError NoError = 0;
constexpr MirelError ErrorNotConfigured = 1; ///< no usable server base URL is configured
/// The server gave no answer: refused, unreachable, or the connection closed or reset before
/// the answer's headers.
constexpr MirelError ErrorNotConnected = 2;
constexpr MirelError ErrorInvalidUrl = 3; ///< not a mirel URL, or its path is rejected
/// The server says the file does not exist (404, 410) or names a folder.
constexpr MirelError ErrorUnknownUrl = 4;
constexpr MirelError ErrorLockRefused = 5; ///< the lock cannot be granted by this archive
/// The server answered with another error status (5xx, 403, ...), or the body ended early.
constexpr MirelError ErrorTransferFailed = 6;
constexpr MirelError ErrorStalled = 7; ///< no bytes arrived for the stall timeout
constexpr MirelError ErrorCancelled = 8; ///< the client was destroyed during the request
constexpr MirelError ErrorCacheFile = 9; ///< the file could not be written into the cache

/// How a requested file is held. The HTTP archive is read-only and keeps no locks: LockNone
/// and LockReadShared just download; LockExclusive fails with ErrorLockRefused rather than
/// pretending that nobody else may change the file.
enum LockState {
    LockNone = 0, ///< no lock, a look at the current contents
    LockExclusive = 1, ///< read for writing back; others kept out
    LockReadShared = 2, ///< read, shared: others may read it at the same time
};

/// An archive URL: "mirel:" (scheme case-insensitive) followed by an archive path, with or
/// without a leading '/', e.g. "mirel:/campaign/2026/run1.rec" or "mirel:campaign/run1.rec".
///
/// The path is taken literally (no percent-decoding) and split at '/'. Rejected, so that no
/// path reaches outside the archive root or the cache folder: an empty path, empty segments
/// ("a//b", a trailing '/', "mirel://host/..."), "." and "..", and segments holding '\\', ':'
/// (a drive letter), NUL or another control character.
class MIREL_EXPORT MirelUrl
{
public:
    explicit MirelUrl(const QString& text);

    bool isMirelUrl() const { return !m_path.isEmpty(); }
    /// The text as given.
    QString toString() const { return m_text; }
    /// The normalised path below the archive root, without a leading '/', e.g.
    /// "campaign/2026/run1.rec"; empty when !isMirelUrl().
    QString archivePath() const { return m_path; }

private:
    QString m_text;
    QString m_path;
};

/// Where RequestFile keeps the local copy of `url`: `cacheFolder` (cleaned) followed by the
/// archive path, e.g. "/cache/campaign/2026/run1.rec". Empty when `url` is no archive URL or
/// the result would not lie below `cacheFolder`.
MIREL_EXPORT QString CachePath(const QString& cacheFolder, const MirelUrl& url);

/// A timeout in ms read by the configuration rule above: `$<environmentName>` if set and not
/// empty, else `key` of the "Mirel" sub-configuration; `defaultMs` unless a positive number.
MIREL_EXPORT int ConfiguredTimeoutMs(
    const char* environmentName, const QString& key, int defaultMs);

/// The stall timeout in ms a client created now would use (see the configuration above).
MIREL_EXPORT int StallTimeoutMs();

class MirelClientPrivate;

/// A connection to the archive server. Live on the GUI thread; the blocking calls run a
/// local event loop, so other events (timers, repaints) are processed while they wait.
class MIREL_EXPORT MirelClient
{
public:
    /// True when a server base URL (http or https with a host) is configured.
    static bool IsMirelAvailable();

    /// Starts connecting (a HEAD request to the base URL) and returns at once; the answer is
    /// processed while the caller's thread runs Qt events.
    MirelClient();
    /// Aborts running transfers (a blocked RequestFile returns empty), removes their temporary
    /// files and ends the connection.
    virtual ~MirelClient();
    MirelClient(const MirelClient&) = delete;
    MirelClient& operator=(const MirelClient&) = delete;

    /// True once the server answered, until a request finds it unreachable again.
    bool IsConnected() const;
    /// Asks the server (HEAD) whether it has the file. Blocks until the answer or until no
    /// answer came for the stall timeout. False also when the server could not be asked:
    /// GetError() is ErrorUnknownUrl only when the server said the file does not exist.
    bool IsValidURL(const MirelUrl& url);
    /// Downloads the file to <cache folder>/<archive path> and returns that path, empty on
    /// failure. Blocks until done. The body goes to a temporary file in the same folder that
    /// is renamed over the target only once the whole body arrived: as many bytes as the
    /// Content-Length the server must send (a body without one, e.g. chunked, fails with
    /// ErrorTransferFailed). So on failure no partial file is left and an older complete copy
    /// stays; a complete download replaces it.
    QString RequestFile(const MirelUrl& url, LockState lock);
    /// The outcome of the last request; NoError only after a successful one, ErrorNotConnected
    /// before the first.
    MirelError GetError() const;

private:
    // Shared, so that a request blocked in its event loop survives the client being deleted
    // from an event that loop processes.
    std::shared_ptr<MirelClientPrivate> d;
};

} // namespace Mirel
