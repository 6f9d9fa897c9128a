// Feeds arbitrary bytes to the .rec reader. A recording it accepts must be consistent with its
// header and must survive a write and a second read unchanged.

#include <recording/recfile.h>

#include <QBuffer>
#include <QTemporaryDir>

#include <cstdint>

using namespace Recording2;

namespace {

void check(bool condition, const char* what)
{
    if (!condition)
        qFatal("fuzz_recfile: %s", what);
}

// Bit for bit, a NaN level too; the header is a record of 96 bytes without padding.
QByteArray bits(const CHeaderData& header, const QVector<CSweep>& sweeps)
{
    QByteArray all(reinterpret_cast<const char*>(&header), sizeof header);
    for (const CSweep& sweep : sweeps) {
        check(quint32(sweep.levels.size()) == header.levelsPerSweep(), "levels as announced");
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
    check(headerBuffer.open(QIODevice::ReadOnly) && buffer.open(QIODevice::ReadOnly), "opened");
    CHeaderData header, full, again;
    QVector<CSweep> sweeps, sweepsAgain;
    QString headerError, error;
    const bool headerRead = ReadHeader(headerBuffer, header, &headerError);
    check(headerRead == headerError.isEmpty(), "an error text exactly for a refusal");
    // The header check covers the size, so both readers agree on what they accept.
    check(ReadSweeps(buffer, full, sweeps, &error) == headerRead, "both readers agree");
    check(headerRead || sweeps.isEmpty(), "a failed read leaves its output alone");
    if (!headerRead)
        return 0;
    check(bits(header, {}) == bits(full, {}) && quint32(sweeps.size()) == full.sweepCount(),
        "the same header, and the sweeps it announces");
    const QString path = folder.filePath(QStringLiteral("roundtrip.rec"));
    check(WriteRecording(path, full, sweeps, &error) && ReadSweeps(path, again, sweepsAgain, &error)
            && bits(full, sweeps) == bits(again, sweepsAgain),
        "a round trip through the writer and the file reader");
    return 0;
}
