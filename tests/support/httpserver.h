#pragma once

#include <QProcess>
#include <QTcpServer>

/// A real HTTP server on 127.0.0.1 for tests: Python's http.server serving one folder, or a
/// script taking the port and the folder as its arguments (faultyhttp.py). Either binds a free
/// port and prints it once it listens.
class HttpServer
{
public:
    ~HttpServer() { stop(); }

    /// Starts serving `folder`; false when the server printed no port within seconds.
    bool start(const QString& folder, const QString& script = QString())
    {
        stop();
        m_process.setStandardErrorFile(QProcess::nullDevice()); // one log line per request
        const char* plain
            = "import functools, http.server as h, sys\n"
              "s = h.ThreadingHTTPServer(('127.0.0.1', 0),\n"
              "    functools.partial(h.SimpleHTTPRequestHandler, directory=sys.argv[2]))\n"
              "print(s.server_address[1], flush=True)\n"
              "s.serve_forever()\n";
        const QStringList program
            = script.isEmpty() ? QStringList { "-c", plain } : QStringList { script };
        m_process.start(QStringLiteral("python3"), program + QStringList { "0", folder });
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
