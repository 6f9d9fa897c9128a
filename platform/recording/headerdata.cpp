#include "headerdata.h"

#include <QDateTime>

#include <cstddef>
#include <cstring>
#include <type_traits>

namespace Recording2 {

QString CTimeStamp::toString() const
{
    const qint64 msecs = m_usecs / 1000 - (m_usecs % 1000 < 0 ? 1 : 0); // round towards -inf
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
}

CHeaderData::CHeaderData()
    : m_levelsPerSweep(0)
    , m_freqMin(0)
    , m_freqMax(0)
    , m_sweepCount(0)
{
    // Hosts rely on this layout (the frequencies are the second and third 32-bit fields).
    static_assert(std::is_standard_layout<CHeaderData>::value, "layout is part of the contract");
    static_assert(sizeof(float) == 4 && sizeof(CTimeStamp) == 8, "32-bit floats, 64-bit stamps");
    static_assert(offsetof(CHeaderData, m_freqMin) == 4, "lowest frequency = 2nd field");
    static_assert(offsetof(CHeaderData, m_freqMax) == 8, "highest frequency = 3rd field");
    static_assert(offsetof(CHeaderData, m_startTS) == 16, "start time stamp at 16");
    static_assert(offsetof(CHeaderData, m_deviceName) == 32, "device name at 32");
    static_assert(sizeof(CHeaderData) == 96, "96 bytes, as in the file");
    std::memset(m_deviceName, 0, sizeof m_deviceName);
    std::memset(m_deviceType, 0, sizeof m_deviceType);
}

namespace {
void copyDeviceText(char (&target)[CHeaderData::iMAX_DEVICE_TEXT], const QByteArray& text)
{
    int length = qMin(text.size(), CHeaderData::iMAX_DEVICE_TEXT - 1);
    // Do not leave half a UTF-8 character behind: back off over continuation bytes.
    if (length < text.size()) {
        while (length > 0 && (static_cast<uchar>(text.at(length)) & 0xC0) == 0x80)
            --length;
    }
    // An embedded zero ends the text, as it would for every C reader of the field.
    const int zero = text.indexOf('\0');
    if (zero >= 0 && zero < length)
        length = zero;
    std::memset(target, 0, sizeof target);
    std::memcpy(target, text.constData(), static_cast<size_t>(length));
}
} // namespace

void CHeaderData::setDeviceName(const QByteArray& name)
{
    copyDeviceText(m_deviceName, name);
}

void CHeaderData::setDeviceType(const QByteArray& type)
{
    copyDeviceText(m_deviceType, type);
}

} // namespace Recording2
