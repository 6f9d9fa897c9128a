#include "archivefetch_p.h"
#include "cframemainwnd.h"

#include <mirel/mirelclient.h>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

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

// Tells why the archive could not say whether it has `url`. Only its "no such file" leads to
// "not found": after an outage or a server fault the file may well be there.
void showCheckFailed(Mirel::MirelError error, const QString& url, QWidget* parent)
{
    QString title = CFrameMainWnd::tr("Mirel Error");
    QString text;
    switch (error) {
    case Mirel::ErrorNotConnected:
        title = CFrameMainWnd::tr("Connection Error");
        text = CFrameMainWnd::tr(
            "The connection to Mirel broke off while asking for %1. Please try again later.")
                   .arg(url);
        break;
    case Mirel::ErrorStalled:
        title = CFrameMainWnd::tr("Connection Error");
        text = CFrameMainWnd::tr(
            "Mirel did not answer in time when asked for %1. Please try again later.")
                   .arg(url);
        break;
    case Mirel::ErrorTransferFailed:
        text = CFrameMainWnd::tr(
            "Mirel answered with an error when asked for %1. Please try again later.")
                   .arg(url);
        break;
    default:
        // One arg() for both: a "%2" in the URL must stay as it is.
        text = CFrameMainWnd::tr(
            "Mirel could not be asked for %1 (error %2). Please try again later.")
                   .arg(url, QString::number(error));
        break;
    }
    QMessageBox::warning(parent, title, text, QMessageBox::Ok);
}
} // namespace

int connectTimeoutMs()
{
    return Mirel::ConfiguredTimeoutMs("TEV_MIREL_CONNECT_TIMEOUT_MS",
        QStringLiteral("ConnectTimeoutMs"), kDefaultConnectTimeoutMs);
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
    if (!archiveUrl.isMirelUrl())
        return { Outcome::Unknown, {} };
    if (!client.IsValidURL(archiveUrl)) {
        const Mirel::MirelError error = client.GetError();
        if (error == Mirel::ErrorUnknownUrl)
            return { Outcome::Unknown, {} };
        showCheckFailed(error, url, parent);
        return { Outcome::FailedWithMessage, {} };
    }

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
