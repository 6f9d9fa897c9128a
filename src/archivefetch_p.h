#pragma once

// Fetching a recording from the remote archive to a local copy. Internal to the library.

#include <QCoreApplication>
#include <QString>

class QWidget;

namespace ArchiveFetch {

inline const QString kUrlPrefix = QStringLiteral("mirel:");

enum class Outcome {
    Fetched, ///< the local copy is complete
    /// The user was told why with a box ("Connection Error", "Mirel Error"): the archive may
    /// work again later, so the caller stops and keeps what it has.
    FailedWithMessage,
    /// The archive answered that it has no such file, or the URL is not one: nothing was
    /// shown. Never the result of an outage or a server fault.
    Unknown,
};

struct Result
{
    Outcome outcome;
    QString localPath; ///< set when Fetched
};

/// True when `name` is an archive URL and an archive is configured.
bool isArchiveName(const QString& name);

/// Fetches `url` with a client of its own: waits up to connectTimeoutMs() for the connection
/// (processing events), then asks for the file with a shared read lock. Boxes are parented to
/// `parent`, except the transfer failure box, which has none.
Result fetch(const QString& url, QWidget* parent);

/// How long fetch() waits for the connection, in ms: `$TEV_MIREL_CONNECT_TIMEOUT_MS`, else
/// "ConnectTimeoutMs" of the application configuration's "Mirel" group, else 10000.
int connectTimeoutMs();

} // namespace ArchiveFetch
