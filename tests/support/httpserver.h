#pragma once

#include <QDir>
#include <QProcess>
#include <QTcpServer>

/// A real HTTP server on 127.0.0.1 for tests: faultyhttp.py (Python's http.server with faults),
/// or another script taking the port and the folder; port 0 has it bind a free one and print it.
class HttpServer
{
public:
    ~HttpServer() { stop(); }

    /// Serves `folder` (faults lie on paths no test folder holds); false if no port came in 10 s.
    bool start(const QString& folder, QString script = QString())
    {
        stop();
        if (script.isEmpty())
            script = QFileInfo(QStringLiteral(__FILE__)).dir().filePath("faultyhttp.py");
        m_process.setStandardErrorFile(QProcess::nullDevice()); // one log line per request
        m_process.start(QStringLiteral("python3"), { script, "0", folder });
        m_port = m_process.waitForReadyRead(10000) ? m_process.readLine().trimmed().toUShort() : 0;
        return m_port != 0;
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
