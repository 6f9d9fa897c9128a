#pragma once

#include <tevbase/errorhandler.h>

#include <QStringList>

/// Collects the messages written on `category` while it lives, with the diagnostics flag word
/// set to `flags`; other messages go on to the handler installed before. One at a time.
class TraceCollector
{
public:
    explicit TraceCollector(
        unsigned int flags = ErrorHandler::Traces, const char* category = "tev.trace")
        : m_category(category)
    {
        ErrorHandler::Instance().SetFlags(flags);
        s_current = this;
        m_previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
                if (qstrcmp(context.category, s_current->m_category) == 0)
                    s_current->messages << text;
                else if (s_current->m_previous)
                    s_current->m_previous(type, context, text);
            });
    }
    ~TraceCollector()
    {
        qInstallMessageHandler(m_previous);
        ErrorHandler::Instance().SetFlags(m_flags);
    }

    QStringList messages;

private:
    static inline TraceCollector* s_current = nullptr;
    const char* m_category;
    unsigned int m_flags = ErrorHandler::Instance().GetFlags();
    QtMessageHandler m_previous = nullptr;
};
