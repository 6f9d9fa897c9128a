#include "archivefetch_p.h"
#include "cframemainwnd.h"

#include <mirel/mirelclient.h>
#include <startup/cfgcenter.h>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

#include <memory>

namespace ArchiveFetch {

namespace {
constexpr int kDefaultConnectTimeoutMs = 10000;
constexpr int kConnectPollMs = 20;

// Waits for the connection without burning a core: the local loop sleeps until an event
// arrives, and a short timer looks at the client, which only offers a polled state. The
// deadline is monotonic, so a wait near midnight or across a clock change lasts as long.
bool waitForConnection(const Mirel::MirelClient& client)
{
    if (client.IsConnected())
        return true;
    QDeadlineTimer deadline(connectTimeoutMs());
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (client.IsConnected() || deadline.hasExpired())
            loop.quit();
    });
    poll.start(kConnectPollMs);
    loop.exec();
    return client.IsConnected();
}
} // namespace

// The same rule as the client's settings: a set, non-empty environment variable wins.
int connectTimeoutMs()
{
    QString text = qEnvironmentVariable("TEV_MIREL_CONNECT_TIMEOUT_MS");
    if (text.isEmpty()) {
        const std::unique_ptr<ICfg> cfg(CfgCenter::GetAppCfg().GetSubCfg(QStringLiteral("Mirel")));
        if (cfg)
            text = cfg->ReadString(QStringLiteral("ConnectTimeoutMs"), QString());
    }
    bool ok = false;
    const int ms = text.toInt(&ok);
    return ok && ms > 0 ? ms : kDefaultConnectTimeoutMs;
}

bool isArchiveName(const QString& name)
{
    return name.startsWith(kUrlPrefix) && Mirel::MirelClient::IsMirelAvailable();
}

Result fetch(const QString& url, QWidget* parent)
{
    Mirel::MirelClient client;
    if (!waitForConnection(client)) {
        QMessageBox::critical(parent, CFrameMainWnd::tr("Connection Error"),
            CFrameMainWnd::tr("Connection to Mirel failed."), QMessageBox::Ok);
        return { Outcome::FailedWithMessage, {} };
    }

    const Mirel::MirelUrl archiveUrl(url);
    if (!archiveUrl.isMirelUrl() || !client.IsValidURL(archiveUrl))
        return { Outcome::Unknown, {} };

    const QString localPath = client.RequestFile(archiveUrl, Mirel::LockReadShared);
    if (client.GetError() == Mirel::NoError && !localPath.isEmpty())
        return { Outcome::Fetched, localPath };

    QMessageBox box(QMessageBox::Warning, CFrameMainWnd::tr("Mirel Error"),
        CFrameMainWnd::tr("Replay tried to open a Mirel file but did not succeed. Perhaps the file "
                          "transmission is not yet finished. Please try again later. \n\n"),
        QMessageBox::Ok, nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.exec();
    return { Outcome::FailedWithMessage, {} };
}

} // namespace ArchiveFetch
