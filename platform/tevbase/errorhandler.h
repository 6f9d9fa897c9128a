#pragma once

#include <tevbase/tevbase_export.h>

#include <QLoggingCategory>
#include <QString>

/// Logging categories "tev.assert" and "tev.trace" (what Q_DECLARE_LOGGING_CATEGORY would
/// declare, exported).
TEVBASE_EXPORT const QLoggingCategory& lcTevAssert();
TEVBASE_EXPORT const QLoggingCategory& lcTevTrace();

/// The process-wide switches of the diagnostics.
///
/// The flag word starts from the environment variable TEV_ERROR_FLAGS (decimal, hex with a
/// 0x prefix or octal with a leading 0, as in C) when it is set, else from Assertions alone.
class TEVBASE_EXPORT ErrorHandler
{
public:
    enum Flag : unsigned int {
        Assertions = 0x02, ///< consistency checks are evaluated and reported
        Traces = 0x20, ///< traces are written
    };

    static ErrorHandler& Instance();

    unsigned int GetFlags() const { return m_flags; }
    void SetFlags(unsigned int flags) { m_flags = flags; }
    bool IsSet(Flag flag) const { return (m_flags & flag) != 0; }

    /// Reads a flag word as TEV_ERROR_FLAGS gives it; `fallback` for empty or malformed text.
    static unsigned int ParseFlags(const QString& text, unsigned int fallback);

private:
    ErrorHandler();
    unsigned int m_flags;
};

/// Reports a failed consistency check (expression, source file, line) on the category
/// "tev.assert" and returns: a report never ends the caller.
TEVBASE_EXPORT void _Q_assert(const wchar_t* expression, const wchar_t* file, unsigned short line);

/// Writes a trace (text, source file, line) on the category "tev.trace".
TEVBASE_EXPORT void _Q_Trace(const QString& message, const QString& file, unsigned short line);

#define TEV_WIDEN_(text) L##text
#define TEV_WIDEN(text) TEV_WIDEN_(text)

/// Evaluates `condition` only while assertions are enabled, and reports it when it fails.
#define TEV_ASSERT(condition)                                                                      \
    do {                                                                                           \
        if (ErrorHandler::Instance().IsSet(ErrorHandler::Assertions) && !(condition))              \
            _Q_assert(TEV_WIDEN(#condition), TEV_WIDEN(__FILE__),                                  \
                static_cast<unsigned short>(__LINE__));                                            \
    } while (false)
