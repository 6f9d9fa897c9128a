#include "httpserver.h"

#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

quint16 HttpServer::freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

bool HttpServer::start(const QString& folder, const QString& script)
{
    // Older Pythons print no usable port for port 0, so the port is picked here; another
    // process may grab it between the pick and the bind, hence the retries.
    for (int attempt = 0; attempt < 3; ++attempt) {
        stop();
        m_port = freePort();
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice()); // one log line per request
        const QString port = QString::number(m_port);
        m_process.start(QStringLiteral("python3"),
            script.isEmpty() ? QStringList { "-m", "http.server", port, "--bind", "127.0.0.1",
                "--directory", folder }
                             : QStringList { script, port, folder });
        const QDeadlineTimer deadline(10000);
        while (m_process.waitForStarted(5000) && !deadline.hasExpired()) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, m_port);
            if (socket.waitForConnected(200))
                return true;
            QThread::msleep(50);
        }
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
