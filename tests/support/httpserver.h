#pragma once

#include <QProcess>

/// A real HTTP server on 127.0.0.1 for tests: Python's http.server module serving one folder,
/// or a script taking the port and the folder as its arguments (faultyhttp.py).
class HttpServer
{
public:
    ~HttpServer() { stop(); }
    /// Starts serving `folder`; false when the port did not accept connections within seconds.
    bool start(const QString& folder, const QString& script = QString());
    void stop();
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_port); }
    /// A port on 127.0.0.1 nobody listens on at the moment of the call.
    static quint16 freePort();

private:
    QProcess m_process;
    quint16 m_port = 0;
};
