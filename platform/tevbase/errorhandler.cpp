#include "errorhandler.h"

Q_LOGGING_CATEGORY(lcTevAssert, "tev.assert")
Q_LOGGING_CATEGORY(lcTevTrace, "tev.trace")

ErrorHandler& ErrorHandler::Instance()
{
    static ErrorHandler handler;
    return handler;
}

ErrorHandler::ErrorHandler()
    : m_flags(ParseFlags(qEnvironmentVariable("TEV_ERROR_FLAGS"), Assertions))
{ }

unsigned int ErrorHandler::ParseFlags(const QString& text, unsigned int fallback)
{
    bool ok = false;
    // Base 0 accepts 34, 0x22 and 042 alike.
    const uint value = text.trimmed().toUInt(&ok, 0);
    return ok ? value : fallback;
}

void _Q_assert(const wchar_t* expression, const wchar_t* file, unsigned short line)
{
    qCWarning(lcTevAssert).noquote()
        << QStringLiteral("Assertion failed: %1 (%2:%3)")
               .arg(QString::fromWCharArray(expression), QString::fromWCharArray(file))
               .arg(line);
}

void _Q_Trace(const QString& message, const QString& file, unsigned short line)
{
    qCInfo(lcTevTrace).noquote() << QStringLiteral("%1 (%2:%3)").arg(message, file).arg(line);
}
