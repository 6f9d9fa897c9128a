#pragma once

#include <tevbase/errorhandler.h>

#include <QStringList>
#include <QtGlobal>

/// Collects the messages written on "tev.trace" while it lives, with the diagnostics flag word
/// set to `flags` (traces on by default); other messages go to the handler installed before.
/// The flag word and the handler are put back by the destructor. One at a time.
class TraceCollector
{
public:
    explicit TraceCollector(unsigned int flags = ErrorHandler::Traces)
        : m_flags(ErrorHandler::Instance().GetFlags())
    {
        ErrorHandler::Instance().SetFlags(flags);
        s_current = this;
        m_previous = qInstallMessageHandler(&TraceCollector::handle);
    }
    ~TraceCollector()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
        ErrorHandler::Instance().SetFlags(m_flags);
    }
    TraceCollector(const TraceCollector&) = delete;
    TraceCollector& operator=(const TraceCollector&) = delete;

    QStringList messages;

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (s_current && qstrcmp(context.category, "tev.trace") == 0)
            s_current->messages << text;
        else if (s_current && s_current->m_previous)
            s_current->m_previous(type, context, text);
    }

    static inline TraceCollector* s_current = nullptr;
    unsigned int m_flags;
    QtMessageHandler m_previous = nullptr;
};
