#pragma once

#include <QProcess>
#include <QString>

/// A real HTTP server for tests on 127.0.0.1: Python's http.server module serving one folder,
/// or a script that takes the port and the folder as its arguments (faultyhttp.py). Needs
/// python3 on the PATH. Stopped by the destructor.
class HttpServer
{
public:
    HttpServer() = default;
    ~HttpServer() { stop(); }
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    /// Starts serving `folder` and returns once the port accepts connections; false when the
    /// server did not come up within a few seconds.
    bool start(const QString& folder, const QString& script = QString());
    void stop();
    /// "http://127.0.0.1:<port>/"
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_port); }

    /// A port on 127.0.0.1 nobody listens on at the moment of the call.
    static quint16 freePort();

private:
    QProcess m_process;
    quint16 m_port = 0;
};
