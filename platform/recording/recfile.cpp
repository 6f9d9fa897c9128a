#include "recfile.h"

#include <QFile>
#include <QSaveFile>
#include <QtEndian>

#include <cmath>
#include <cstring>

namespace Recording2 {

namespace {
constexpr qint64 iTIME_BYTES = 8;
// The header block on disk has the fields and offsets of the record in memory.
static_assert(iREC_HEADER_BYTES == 8 + qint64(sizeof(CHeaderData)), "header block size");

bool fail(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

quint32 u32At(const char* data)
{
    return qFromLittleEndian<quint32>(data);
}
qint64 i64At(const char* data)
{
    return qFromLittleEndian<qint64>(data);
}
float f32At(const char* data)
{
    const quint32 bits = u32At(data);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void putU32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof bytes);
}
void putI64(QByteArray& out, qint64 value)
{
    char bytes[8];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof bytes);
}
void putF32(QByteArray& out, float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    putU32(out, bits);
}
void putText(QByteArray& out, const char* text)
{
    QByteArray field(CHeaderData::iMAX_DEVICE_TEXT, '\0');
    if (text)
        field.replace(0, static_cast<int>(std::strlen(text)), text);
    out.append(field);
}

qint64 sweepBytes(quint32 levels)
{
    return iTIME_BYTES + 4 * qint64(levels);
}

// A device text must end inside its field; a field without a zero is not ours.
bool deviceText(const char* field, QByteArray& text)
{
    const void* zero = std::memchr(field, 0, CHeaderData::iMAX_DEVICE_TEXT);
    if (!zero)
        return false;
    text = QByteArray(field, static_cast<int>(static_cast<const char*>(zero) - field));
    return true;
}

// Checks everything up to and including the size; leaves the device positioned at the first
// sweep.
bool readHeaderFrom(QIODevice& file, CHeaderData& header, QString* error)
{
    if (!file.isReadable())
        return fail(error, QStringLiteral("cannot read: the device is not open for reading"));
    // The size check needs to know the end before reading.
    if (file.isSequential())
        return fail(error, QStringLiteral("cannot read: the device has no known size"));
    const QByteArray head = file.read(iREC_HEADER_BYTES);
    if (head.size() < 8)
        return fail(error,
            QStringLiteral("not a recording: only %1 bytes, too short for magic number and "
                           "version")
                .arg(head.size()));
    const char* data = head.constData();
    if (u32At(data) != iREC_MAGIC)
        return fail(error, QStringLiteral("not a recording: wrong magic number"));
    const quint32 version = u32At(data + 4);
    if (version != iREC_VERSION)
        return fail(error,
            QStringLiteral("unsupported format version %1 (known: %2)")
                .arg(version)
                .arg(iREC_VERSION));
    if (head.size() < iREC_HEADER_BYTES)
        return fail(error,
            QStringLiteral("truncated header: %1 of %2 bytes")
                .arg(head.size())
                .arg(iREC_HEADER_BYTES));

    const char* block = data + 8;
    CHeaderData result;
    result.setLevelsPerSweep(u32At(block));
    result.setFreqRange(f32At(block + 4), f32At(block + 8));
    result.setSweepCount(u32At(block + 12));
    result.setStartTS(CTimeStamp(i64At(block + 16)));
    result.setStopTS(CTimeStamp(i64At(block + 24)));
    QByteArray name, type;
    if (!deviceText(block + 32, name) || !deviceText(block + 64, type))
        return fail(error, QStringLiteral("damaged header: device text without terminating zero"));
    result.setDeviceName(name);
    result.setDeviceType(type);

    const quint32 levels = result.levelsPerSweep();
    if (levels == 0 || levels > iMAX_LEVELS)
        return fail(error,
            QStringLiteral("damaged header: %1 levels per sweep (allowed 1 to %2)")
                .arg(levels)
                .arg(iMAX_LEVELS));
    if (!std::isfinite(result.freqMin()) || !std::isfinite(result.freqMax())
        || result.freqMin() > result.freqMax())
        return fail(error,
            QStringLiteral("damaged header: frequency range %1 to %2 Hz")
                .arg(double(result.freqMin()))
                .arg(double(result.freqMax())));

    // Both factors are bounded (2^32 sweeps, 2^22 + 8 bytes each), so no overflow.
    const qint64 expected = iREC_HEADER_BYTES + qint64(result.sweepCount()) * sweepBytes(levels);
    const qint64 actual = file.size();
    if (actual < expected)
        return fail(error,
            QStringLiteral("truncated: the header announces %1 sweeps of %2 levels (%3 "
                           "bytes), the file holds %4 bytes")
                .arg(result.sweepCount())
                .arg(levels)
                .arg(expected)
                .arg(actual));
    if (actual > expected)
        return fail(
            error, QStringLiteral("damaged: %1 bytes after the last sweep").arg(actual - expected));
    header = result;
    return true;
}

bool saveFile(const QString& path, const QByteArray& contents, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size()
        || !file.commit())
        return fail(error, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    return true;
}
} // namespace

bool ReadHeader(const QString& path, CHeaderData& header, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
    return readHeaderFrom(file, header, error);
}

bool ReadHeader(QIODevice& device, CHeaderData& header, QString* error)
{
    return readHeaderFrom(device, header, error);
}

bool ReadSweeps(const QString& path, CHeaderData& header, QVector<CSweep>& sweeps, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
    return ReadSweeps(file, header, sweeps, error);
}

bool ReadSweeps(QIODevice& file, CHeaderData& header, QVector<CSweep>& sweeps, QString* error)
{
    CHeaderData result;
    if (!readHeaderFrom(file, result, error))
        return false;
    const quint32 levels = result.levelsPerSweep();
    const qint64 size = sweepBytes(levels);
    QVector<CSweep> read;
    read.reserve(static_cast<int>(qMin(result.sweepCount(), quint32(1) << 20)));
    for (quint32 i = 0; i < result.sweepCount(); ++i) {
        // The size was checked, but the file may shrink while we read: trust only what came.
        const QByteArray bytes = file.read(size);
        if (bytes.size() != size)
            return fail(error, QStringLiteral("truncated while reading sweep %1").arg(i));
        CSweep sweep;
        sweep.time = CTimeStamp(i64At(bytes.constData()));
        sweep.levels.resize(static_cast<int>(levels));
        for (quint32 l = 0; l < levels; ++l)
            sweep.levels[static_cast<int>(l)] = f32At(bytes.constData() + iTIME_BYTES + 4 * l);
        read.append(std::move(sweep));
    }
    header = result;
    sweeps = std::move(read);
    return true;
}

bool WriteRecording(
    const QString& path, const CHeaderData& header, const QVector<CSweep>& sweeps, QString* error)
{
    const quint32 levels = header.levelsPerSweep();
    if (levels == 0 || levels > iMAX_LEVELS)
        return fail(error,
            QStringLiteral("%1 levels per sweep (allowed 1 to %2)").arg(levels).arg(iMAX_LEVELS));
    for (int i = 0; i < sweeps.size(); ++i) {
        if (quint32(sweeps.at(i).levels.size()) != levels)
            return fail(error,
                QStringLiteral("sweep %1 holds %2 levels, the header says %3")
                    .arg(i)
                    .arg(sweeps.at(i).levels.size())
                    .arg(levels));
    }

    QByteArray rec;
    rec.reserve(static_cast<int>(iREC_HEADER_BYTES + sweeps.size() * sweepBytes(levels)));
    putU32(rec, iREC_MAGIC);
    putU32(rec, iREC_VERSION);
    putU32(rec, levels);
    putF32(rec, header.freqMin());
    putF32(rec, header.freqMax());
    putU32(rec, quint32(sweeps.size()));
    putI64(rec, header.startTS().usecsSinceEpoch());
    putI64(rec, header.stopTS().usecsSinceEpoch());
    putText(rec, header.deviceName());
    putText(rec, header.deviceType());
    Q_ASSERT(rec.size() == iREC_HEADER_BYTES);

    QByteArray bt = "TREC-BT 1\n";
    QByteArray avl = "TREC-AVL 1\n";
    for (int i = 0; i < sweeps.size(); ++i) {
        const CSweep& sweep = sweeps.at(i);
        putI64(rec, sweep.time.usecsSinceEpoch());
        double sum = 0;
        for (float level : sweep.levels) {
            putF32(rec, level);
            sum += double(level);
        }
        bt += QByteArray::number(i) + ' ' + QByteArray::number(sweep.time.usecsSinceEpoch()) + '\n';
        avl += QByteArray::number(i) + ' ' + QByteArray::number(sum / levels, 'f', 2) + '\n';
    }

    const QString base = path.endsWith(QLatin1String(".rec"), Qt::CaseInsensitive)
        ? path.left(path.size() - 4)
        : path;
    return saveFile(base + QStringLiteral(".bt"), bt, error)
        && saveFile(base + QStringLiteral(".avl"), avl, error) && saveFile(path, rec, error);
}

} // namespace Recording2
