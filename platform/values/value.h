#pragma once

#include <values/valuebase.h>

#include <QDataStream>
#include <QVariant>

namespace values {

/// Text form of a value's content.
template <class T>
struct FormatString
{
    static QString ToString(const T& value) { return QVariant::fromValue(value).toString(); }
    static bool FromString(const QString& text, T& value)
    {
        QVariant variant(text);
        if (!variant.convert(qMetaTypeId<T>()))
            return false;
        value = variant.value<T>();
        return true;
    }
};

template <>
struct FormatString<QString>
{
    static QString ToString(const QString& value) { return value; }
    static bool FromString(const QString& text, QString& value)
    {
        value = text;
        return true;
    }
};

template <>
struct FormatString<bool>
{
    static QString ToString(bool value)
    {
        return value ? QStringLiteral("true") : QStringLiteral("false");
    }
    static bool FromString(const QString& text, bool& value)
    {
        const QString t = text.trimmed().toLower();
        if (t == QLatin1String("true") || t == QLatin1String("1")) {
            value = true;
            return true;
        }
        if (t == QLatin1String("false") || t == QLatin1String("0")) {
            value = false;
            return true;
        }
        return false;
    }
};

/// Stream form of a value's content: its text form, so that streams stay readable by a
/// value of another representation of the same format.
template <class T, class Format>
struct StreamFormat
{
    static void Write(QDataStream& stream, const T& value) { stream << Format::ToString(value); }
    static bool Read(QDataStream& stream, T& value)
    {
        QString text;
        stream >> text;
        return stream.status() == QDataStream::Ok && Format::FromString(text, value);
    }
};

/// A value holding one T.
template <class T, class Format = FormatString<T>, class Stream = StreamFormat<T, Format>>
class Value : public ValueBase
{
public:
    Value() = default;
    explicit Value(const QString& name, const T& initial = T())
        : ValueBase(name)
        , m_value(initial)
    { }

    const T& GetValue() const { return m_value; }

    /// Sets the content; observers but `origin` get CC_Changed, also when the content stays the
    /// same: a set is an event (opening the same file again publishes its name again). Only a set
    /// of the same content from inside this value's own notification stays silent, so that an
    /// observer echoing the value from its Update does not recurse. Returns whether it changed.
    bool SetValue(const T& value, IObserver* origin = nullptr)
    {
        const bool changed = !(m_value == value);
        if (!changed && IsNotifying())
            return false;
        if (changed)
            m_value = value;
        NotifyObserversExcept(CC_Changed, origin);
        return changed;
    }

    QString GetStringValue() const override { return Format::ToString(m_value); }
    bool SetStringValue(const QString& text, IObserver* origin = nullptr) override
    {
        T value {};
        if (!Format::FromString(text, value))
            return false;
        SetValue(value, origin);
        return true;
    }

    void WriteTo(QDataStream& stream) const { Stream::Write(stream, m_value); }
    bool ReadFrom(QDataStream& stream, IObserver* origin = nullptr)
    {
        T value {};
        if (!Stream::Read(stream, value))
            return false;
        SetValue(value, origin);
        return true;
    }

private:
    T m_value {};
};

using StringValue
    = Value<QString, FormatString<QString>, StreamFormat<QString, FormatString<QString>>>;
using BoolValue = Value<bool, FormatString<bool>, StreamFormat<bool, FormatString<bool>>>;

// Instantiated once in the values library, so that every module shares one type identity.
extern template class VALUES_EXPORT
    Value<QString, FormatString<QString>, StreamFormat<QString, FormatString<QString>>>;
extern template class VALUES_EXPORT
    Value<bool, FormatString<bool>, StreamFormat<bool, FormatString<bool>>>;

} // namespace values
