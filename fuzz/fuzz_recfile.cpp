// Feeds arbitrary bytes to the .rec reader. A recording it accepts must be consistent with its
// header and must survive a write and a second read unchanged.

#include <recording/recfile.h>

#include <QBuffer>
#include <QTemporaryDir>

#include <cstdint>

using namespace Recording2;

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition))                                                                          \
            qFatal("fuzz_recfile: %s", #condition);                                                \
    } while (false)

namespace {

// Bit for bit, so that a NaN level counts as kept. The header is a standard-layout record of
// 96 bytes without padding whose texts are zero-filled.
QByteArray bits(const CHeaderData& header, const QVector<CSweep>& sweeps)
{
    QByteArray all(reinterpret_cast<const char*>(&header), sizeof header);
    for (const CSweep& sweep : sweeps) {
        const qint64 time = sweep.time.usecsSinceEpoch();
        all += QByteArray(reinterpret_cast<const char*>(&time), sizeof time)
            + QByteArray(reinterpret_cast<const char*>(sweep.levels.constData()),
                int(sizeof(float)) * sweep.levels.size());
    }
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir folder;
    QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    QBuffer headerBuffer(&bytes), buffer(&bytes);
    headerBuffer.open(QIODevice::ReadOnly);
    buffer.open(QIODevice::ReadOnly);

    CHeaderData header, full;
    QVector<CSweep> sweeps;
    QString headerError, error;
    const bool headerRead = ReadHeader(headerBuffer, header, &headerError);
    CHECK(headerRead == headerError.isEmpty());
    // The header check covers the size, so both readers agree on what they accept.
    CHECK(ReadSweeps(buffer, full, sweeps, &error) == headerRead);
    if (!headerRead) {
        CHECK(sweeps.isEmpty()); // a failed read leaves its output alone
        return 0;
    }
    CHECK(bits(header, {}) == bits(full, {}));
    CHECK(quint32(sweeps.size()) == full.sweepCount());
    for (const CSweep& sweep : sweeps)
        CHECK(quint32(sweep.levels.size()) == full.levelsPerSweep());

    // Round trip through the writer and the file reader.
    const QString path = folder.filePath(QStringLiteral("roundtrip.rec"));
    CHeaderData again;
    QVector<CSweep> sweepsAgain;
    CHECK(WriteRecording(path, full, sweeps, &error));
    CHECK(ReadSweeps(path, again, sweepsAgain, &error));
    CHECK(bits(full, sweeps) == bits(again, sweepsAgain));
    return 0;
}
