#pragma once

#include <recording/recording_export.h>

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace Recording2 {

/// A point in time, in microseconds since 1970-01-01 00:00 UTC.
class RECORDING_EXPORT CTimeStamp
{
public:
    explicit CTimeStamp(qint64 usecsSinceEpoch = 0)
        : m_usecs(usecsSinceEpoch)
    { }

    qint64 usecsSinceEpoch() const { return m_usecs; }
    /// "yyyy-MM-dd hh:mm:ss.zzz" in UTC, e.g. "2024-03-01 12:34:56.789". UTC so that the
    /// text of a recording does not depend on where it is looked at.
    QString toString() const;

    bool operator==(const CTimeStamp& other) const { return m_usecs == other.m_usecs; }
    bool operator!=(const CTimeStamp& other) const { return m_usecs != other.m_usecs; }

private:
    qint64 m_usecs;
};

/// The header record of a recording.
///
/// Standard layout, 96 bytes; the offsets are fixed (checked at compile time) and are the
/// same as in the header block of a .rec file (docs/rec-format.md):
///
///   offset  size  field
///        0     4  levels per sweep (quint32)
///        4     4  lowest frequency in Hz (float)
///        8     4  highest frequency in Hz (float)
///       12     4  number of sweeps (quint32)
///       16     8  start time stamp
///       24     8  stop time stamp
///       32    32  device name, UTF-8, zero-terminated
///       64    32  device type, UTF-8, zero-terminated
///
/// So the frequencies are the record's second and third 32-bit fields. Read them through
/// freqMin() and freqMax(): a cast of the record to float* would break aliasing rules.
class RECORDING_EXPORT CHeaderData
{
public:
    /// Room for a device name or type, the terminating zero included.
    static constexpr int iMAX_DEVICE_TEXT = 32;

    /// All fields zero, names empty.
    CHeaderData();

    /// Null when the recording names no device (an empty text).
    const char* deviceName() const { return m_deviceName[0] ? m_deviceName : nullptr; }
    const char* deviceType() const { return m_deviceType[0] ? m_deviceType : nullptr; }
    CTimeStamp startTS() const { return m_startTS; }
    CTimeStamp stopTS() const { return m_stopTS; }
    float freqMin() const { return m_freqMin; }
    float freqMax() const { return m_freqMax; }
    quint32 levelsPerSweep() const { return m_levelsPerSweep; }
    quint32 sweepCount() const { return m_sweepCount; }

    /// Longer texts are cut to iMAX_DEVICE_TEXT - 1 bytes, at a UTF-8 character boundary.
    void setDeviceName(const QByteArray& name);
    void setDeviceType(const QByteArray& type);
    void setStartTS(CTimeStamp ts) { m_startTS = ts; }
    void setStopTS(CTimeStamp ts) { m_stopTS = ts; }
    void setFreqRange(float lowest, float highest)
    {
        m_freqMin = lowest;
        m_freqMax = highest;
    }
    void setLevelsPerSweep(quint32 levels) { m_levelsPerSweep = levels; }
    void setSweepCount(quint32 count) { m_sweepCount = count; }

private:
    quint32 m_levelsPerSweep;
    float m_freqMin;
    float m_freqMax;
    quint32 m_sweepCount;
    CTimeStamp m_startTS;
    CTimeStamp m_stopTS;
    char m_deviceName[iMAX_DEVICE_TEXT];
    char m_deviceType[iMAX_DEVICE_TEXT];
};

} // namespace Recording2
