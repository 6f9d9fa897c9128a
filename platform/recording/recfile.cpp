#include "recfile.h"

#include <QFile>
#include <QSaveFile>
#include <QtEndian>

#include <cerrno>
#include <cmath>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

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

bool checkDevice(const QIODevice& device, QString* error)
{
    if (!device.isReadable())
        return fail(error, QStringLiteral("cannot read: the device is not open for reading"));
    // The size check needs to know the end before reading.
    if (device.isSequential())
        return fail(error, QStringLiteral("cannot read: the device has no known size"));
    return true;
}

// Where the bytes come from: the caller's device, read with seek and read, or a file of our own
// whose descriptor takes positioned reads. A seek is a system call of its own, and stepping
// through a recording at random costs twice the calls with it (measured in bench/).
struct Source
{
    explicit Source(QIODevice* device, int fd = -1)
        : device(device)
        , fd(fd)
    { }

    QIODevice* device;
    int fd; // only where pread exists
    QString failure; // why the last read failed

    qint64 size() const { return device->size(); }
};

int positionedDescriptor(QFile& file)
{
#ifdef Q_OS_UNIX
    return file.handle();
#else
    Q_UNUSED(file)
    return -1;
#endif
}

// Reads up to `bytes` at `offset`; fewer at the end of the device, -1 on a device error.
qint64 readAt(Source& source, qint64 offset, char* into, qint64 bytes)
{
    qint64 got = 0;
#ifdef Q_OS_UNIX
    if (source.fd >= 0) {
        while (got < bytes) {
            const ssize_t n = ::pread(source.fd, into + got, size_t(bytes - got), offset + got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                source.failure = qt_error_string(errno);
                return -1;
            }
            if (n == 0)
                break;
            got += n;
        }
        return got;
    }
#endif
    QIODevice& device = *source.device;
    if (device.pos() != offset && !device.seek(offset)) {
        source.failure = device.errorString();
        return -1;
    }
    while (got < bytes) {
        const qint64 n = device.read(into + got, bytes - got);
        if (n < 0) {
            source.failure = device.errorString();
            return -1;
        }
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

// Reads and checks the header block at `start`, everything but its sweep count against the
// size. Leaves a device read with seek and read positioned at the first sweep.
bool readHeaderAt(Source& source, qint64 start, CHeaderData& header, QString* error)
{
    char data[iREC_HEADER_BYTES];
    const qint64 got = readAt(source, start, data, iREC_HEADER_BYTES);
    if (got < 0)
        return fail(error, QStringLiteral("cannot read the header: %1").arg(source.failure));
    if (got < 8)
        return fail(error,
            QStringLiteral("not a recording: only %1 bytes, too short for magic number and "
                           "version")
                .arg(got));
    if (u32At(data) != iREC_MAGIC)
        return fail(error, QStringLiteral("not a recording: wrong magic number"));
    const quint32 version = u32At(data + 4);
    if (version != iREC_VERSION)
        return fail(error,
            QStringLiteral("unsupported format version %1 (known: %2)")
                .arg(version)
                .arg(iREC_VERSION));
    if (got < iREC_HEADER_BYTES)
        return fail(error,
            QStringLiteral("truncated header: %1 of %2 bytes").arg(got).arg(iREC_HEADER_BYTES));

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
    header = result;
    return true;
}

// The recording's size as its header announces it. Both factors are bounded (2^32 sweeps,
// 2^22 + 8 bytes each), so the product stays far below 2^63: no overflow in 64 bits.
qint64 announcedBytes(const CHeaderData& header)
{
    return iREC_HEADER_BYTES + qint64(header.sweepCount()) * sweepBytes(header.levelsPerSweep());
}

// The announced sweeps that `bytes` hold completely, from the size alone: an absurd count
// never turns into an allocation or a read.
quint32 completeSweeps(const CHeaderData& header, qint64 bytes)
{
    if (bytes <= iREC_HEADER_BYTES)
        return 0;
    const qint64 held = (bytes - iREC_HEADER_BYTES) / sweepBytes(header.levelsPerSweep());
    return quint32(qMin<qint64>(held, header.sweepCount()));
}

// What open() found; shared by the reader and the whole-file functions.
struct Opened
{
    qint64 start = 0;
    qint64 size = 0;
    CHeaderData header;
    quint32 complete = 0;
};

// Checks the device and the header; accepts a recording cut short, refuses one longer than
// announced.
bool openRecording(Source& source, Opened& opened, QString* error)
{
    if (!checkDevice(*source.device, error))
        return false;
    Opened result;
    result.start = source.device->pos();
    if (!readHeaderAt(source, result.start, result.header, error))
        return false;
    result.size = source.size() - result.start;
    const qint64 expected = announcedBytes(result.header);
    if (result.size > expected)
        return fail(error,
            QStringLiteral("damaged: %1 bytes after the last sweep").arg(result.size - expected));
    result.complete = completeSweeps(result.header, result.size);
    opened = result;
    return true;
}

// The whole-file functions want every announced sweep.
bool refuseCut(const Opened& opened, QString* error)
{
    if (opened.complete == opened.header.sweepCount())
        return true;
    const CHeaderData& header = opened.header;
    return fail(error,
        QStringLiteral("truncated: the header announces %1 sweeps of %2 levels (%3 "
                       "bytes), the file holds %4 bytes")
            .arg(header.sweepCount())
            .arg(header.levelsPerSweep())
            .arg(announcedBytes(header))
            .arg(opened.size));
}

enum class SweepRead { Done, Short, Failed };

// Reads sweep `index` through `buffer`; `sweep` changes only when the whole sweep came.
SweepRead readSweepAt(
    Source& source, qint64 start, quint32 levels, quint32 index, QByteArray& buffer, CSweep& sweep)
{
    const qint64 size = sweepBytes(levels);
    if (buffer.size() != size)
        buffer.resize(static_cast<int>(size));
    const qint64 got
        = readAt(source, start + iREC_HEADER_BYTES + qint64(index) * size, buffer.data(), size);
    if (got < 0)
        return SweepRead::Failed;
    // The size was checked, but the file may have shrunk since: trust only what came.
    if (got != size)
        return SweepRead::Short;
    sweep.time = CTimeStamp(i64At(buffer.constData()));
    sweep.levels.resize(static_cast<int>(levels));
    qFromLittleEndian<quint32>(buffer.constData() + iTIME_BYTES, levels, sweep.levels.data());
    return SweepRead::Done;
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

CRecordingReader::CRecordingReader() = default;
CRecordingReader::~CRecordingReader() = default;

bool CRecordingReader::open(const QString& path, QString* error)
{
    close();
    // Unbuffered: a read where pread is missing asks for exactly the bytes of one sweep, with no
    // read-ahead copied around.
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return fail(error, QStringLiteral("cannot open %1: %2").arg(path, file->errorString()));
    m_file = std::move(file);
    return openDevice(m_file.get(), positionedDescriptor(*m_file), error);
}

bool CRecordingReader::open(QIODevice* device, QString* error)
{
    close();
    if (!device)
        return fail(error, QStringLiteral("cannot read: no device"));
    return openDevice(device, -1, error);
}

bool CRecordingReader::openDevice(QIODevice* device, int fd, QString* error)
{
    Source source(device, fd);
    Opened opened;
    if (!openRecording(source, opened, error)) {
        close();
        return false;
    }
    m_device = device;
    m_fd = fd;
    m_start = opened.start;
    m_header = opened.header;
    m_complete = opened.complete;
    return true;
}

void CRecordingReader::close()
{
    m_device = nullptr;
    m_fd = -1;
    m_file.reset();
    m_start = 0;
    m_header = CHeaderData();
    m_complete = 0;
    m_buffer = QByteArray();
}

QString CRecordingReader::truncationText() const
{
    if (m_complete == announcedSweepCount())
        return QString();
    return QStringLiteral("the file holds %1 of %2 announced sweeps")
        .arg(m_complete)
        .arg(announcedSweepCount());
}

bool CRecordingReader::readSweep(quint32 index, CSweep& sweep, QString* error)
{
    if (!m_device)
        return fail(error, QStringLiteral("cannot read sweep %1: no recording is open").arg(index));
    if (index >= m_complete) {
        if (index < announcedSweepCount())
            return fail(error,
                QStringLiteral("sweep %1 is not in the file: it holds %2 of %3 announced sweeps")
                    .arg(index)
                    .arg(m_complete)
                    .arg(announcedSweepCount()));
        return fail(error,
            QStringLiteral("there is no sweep %1: the recording has %2 sweeps")
                .arg(index)
                .arg(announcedSweepCount()));
    }
    Source source(m_device, m_fd);
    switch (readSweepAt(source, m_start, m_header.levelsPerSweep(), index, m_buffer, sweep)) {
    case SweepRead::Done:
        return true;
    case SweepRead::Short:
        return fail(error,
            QStringLiteral("sweep %1 is no longer in the file: it shrank to %2 bytes")
                .arg(index)
                .arg(source.size() - m_start));
    case SweepRead::Failed:
        break;
    }
    return fail(error, QStringLiteral("cannot read sweep %1: %2").arg(index).arg(source.failure));
}

bool CRecordingReader::refresh(QString* error)
{
    if (!m_device)
        return fail(error, QStringLiteral("cannot refresh: no recording is open"));
    Source source(m_device, m_fd);
    CHeaderData now;
    if (!readHeaderAt(source, m_start, now, error)) {
        m_complete = 0;
        return false;
    }
    if (now.levelsPerSweep() != m_header.levelsPerSweep() || now.freqMin() != m_header.freqMin()
        || now.freqMax() != m_header.freqMax()) {
        m_complete = 0;
        return fail(error,
            QStringLiteral("the recording changed: its header now describes sweeps of %1 "
                           "levels from %2 to %3 Hz")
                .arg(now.levelsPerSweep())
                .arg(double(now.freqMin()))
                .arg(double(now.freqMax())));
    }
    m_header = now;
    m_complete = completeSweeps(m_header, source.size() - m_start);
    return true;
}

namespace {
bool readHeader(Source& source, CHeaderData& header, QString* error)
{
    Opened opened;
    if (!openRecording(source, opened, error) || !refuseCut(opened, error))
        return false;
    header = opened.header;
    return true;
}

bool readSweeps(Source& source, CHeaderData& header, QVector<CSweep>& sweeps, QString* error)
{
    Opened opened;
    if (!openRecording(source, opened, error) || !refuseCut(opened, error))
        return false;
    // refuseCut has tied the count to the file's size; the cap spreads a huge one over growth.
    const quint32 count = opened.header.sweepCount();
    QVector<CSweep> read;
    read.reserve(static_cast<int>(qMin(count, quint32(1) << 20)));
    QByteArray buffer;
    for (quint32 i = 0; i < count; ++i) {
        CSweep sweep;
        switch (
            readSweepAt(source, opened.start, opened.header.levelsPerSweep(), i, buffer, sweep)) {
        case SweepRead::Done:
            break;
        case SweepRead::Short:
            return fail(error, QStringLiteral("truncated while reading sweep %1").arg(i));
        case SweepRead::Failed:
            return fail(
                error, QStringLiteral("cannot read sweep %1: %2").arg(i).arg(source.failure));
        }
        read.append(std::move(sweep));
    }
    header = opened.header;
    sweeps = std::move(read);
    return true;
}
} // namespace

bool ReadHeader(const QString& path, CHeaderData& header, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return fail(error, QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
    Source source(&file, positionedDescriptor(file));
    return readHeader(source, header, error);
}

bool ReadHeader(QIODevice& device, CHeaderData& header, QString* error)
{
    Source source(&device);
    return readHeader(source, header, error);
}

bool ReadSweeps(const QString& path, CHeaderData& header, QVector<CSweep>& sweeps, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return fail(error, QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
    Source source(&file, positionedDescriptor(file));
    return readSweeps(source, header, sweeps, error);
}

bool ReadSweeps(QIODevice& device, CHeaderData& header, QVector<CSweep>& sweeps, QString* error)
{
    Source source(&device);
    return readSweeps(source, header, sweeps, error);
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
