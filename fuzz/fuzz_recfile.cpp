// Feeds arbitrary bytes to the .rec reader. A recording it accepts must be consistent with its
// header and must survive a write and a second read unchanged.

#include <recording/recfile.h>

#include <QBuffer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace Recording2;

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "fuzz_recfile: %s\n", #condition);                                \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace {

// Bit for bit, so that a NaN level counts as kept. The header is a standard-layout record of
// 96 bytes without padding whose texts are zero-filled.
bool same(const CHeaderData& a, const CHeaderData& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool same(const QVector<CSweep>& a, const QVector<CSweep>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const CSweep& x, const CSweep& y) {
        return x.time == y.time && x.levels.size() == y.levels.size()
            && std::memcmp(x.levels.constData(), y.levels.constData(),
                   sizeof(float) * size_t(x.levels.size()))
            == 0;
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir folder;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    QBuffer headerBuffer, buffer;
    headerBuffer.setData(bytes);
    buffer.setData(bytes);
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
    CHECK(same(header, full));
    CHECK(quint32(sweeps.size()) == full.sweepCount());
    for (const CSweep& sweep : sweeps)
        CHECK(quint32(sweep.levels.size()) == full.levelsPerSweep());

    // Round trip through the writer and the file reader.
    const QString path = folder.filePath(QStringLiteral("roundtrip.rec"));
    CHeaderData again;
    QVector<CSweep> sweepsAgain;
    CHECK(WriteRecording(path, full, sweeps, &error));
    CHECK(ReadSweeps(path, again, sweepsAgain, &error));
    CHECK(same(full, again));
    CHECK(same(sweeps, sweepsAgain));
    return 0;
}
