#include "httpserver.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

HttpServer::~HttpServer()
{
    stop();
}

quint16 HttpServer::freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

bool HttpServer::waitForPort(quint16 port, int timeoutMs, const QProcess* owner)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (owner && owner->state() == QProcess::NotRunning)
            return false;
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(200))
            return true;
        QThread::msleep(50);
    }
    return false;
}

bool HttpServer::start(const QString& folder)
{
    // Older Pythons print no usable port for port 0, so the port is picked here; another
    // process may grab it between the pick and the bind, hence the retries.
    for (int attempt = 0; attempt < 3; ++attempt) {
        stop();
        m_port = freePort();
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice()); // one log line per request
        m_process.start(QStringLiteral("python3"),
            { QStringLiteral("-m"), QStringLiteral("http.server"), QString::number(m_port),
                QStringLiteral("--bind"), QStringLiteral("127.0.0.1"),
                QStringLiteral("--directory"), folder });
        if (m_process.waitForStarted(5000) && waitForPort(m_port, 10000, &m_process))
            return true;
    }
    stop();
    return false;
}

void HttpServer::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
    m_port = 0;
}

QString HttpServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_port);
}
