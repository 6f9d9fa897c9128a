#pragma once

#include <QProcess>
#include <QString>

/// A real HTTP server for tests: Python's http.server module serving one folder on 127.0.0.1.
/// Needs python3 on the PATH. Stopped by stop() or the destructor.
class HttpServer
{
public:
    HttpServer() = default;
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    /// Starts serving `folder` and returns once the port accepts connections; false when the
    /// server did not come up within a few seconds.
    bool start(const QString& folder);
    void stop();

    quint16 port() const { return m_port; }
    /// "http://127.0.0.1:<port>/"
    QString baseUrl() const;

    /// A port on 127.0.0.1 nobody listens on at the moment of the call.
    static quint16 freePort();
    /// True when something accepts connections on 127.0.0.1:`port` within `timeoutMs`.
    static bool waitForPort(quint16 port, int timeoutMs, const QProcess* owner = nullptr);

private:
    QProcess m_process;
    quint16 m_port = 0;
};
