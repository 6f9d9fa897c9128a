#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

/// A real HTTP server on 127.0.0.1 for tests: Python's http.server module serving one folder,
/// or a script taking the port and the folder as its arguments (faultyhttp.py).
class HttpServer
{
public:
    ~HttpServer() { stop(); }

    /// Starts serving `folder`; false when the port did not accept connections within seconds.
    bool start(const QString& folder, const QString& script = QString())
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
    void stop()
    {
        m_process.kill(); // a test server keeps nothing worth a clean shutdown
        m_process.waitForFinished(3000);
        m_port = 0;
    }
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_port); }
    /// A port on 127.0.0.1 nobody listens on at the moment of the call.
    static quint16 freePort()
    {
        QTcpServer probe;
        return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
    }

private:
    QProcess m_process;
    quint16 m_port = 0;
};
