// Feeds arbitrary bytes to the .rec reader. A recording it accepts must be consistent with its
// header and must survive a write and a second read unchanged.

#include <recording/recfile.h>

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_recfile: %s\n", what);
        std::abort();
    }
}

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool sameText(const char* a, const char* b)
{
    return (!a && !b) || (a && b && std::strcmp(a, b) == 0);
}

bool sameHeader(const Recording2::CHeaderData& a, const Recording2::CHeaderData& b)
{
    return a.levelsPerSweep() == b.levelsPerSweep() && a.sweepCount() == b.sweepCount()
        && sameBits(a.freqMin(), b.freqMin()) && sameBits(a.freqMax(), b.freqMax())
        && a.startTS() == b.startTS() && a.stopTS() == b.stopTS()
        && sameText(a.deviceName(), b.deviceName()) && sameText(a.deviceType(), b.deviceType());
}

bool sameSweeps(const QVector<Recording2::CSweep>& a, const QVector<Recording2::CSweep>& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a.at(i).time != b.at(i).time || a.at(i).levels.size() != b.at(i).levels.size())
            return false;
        for (int l = 0; l < a.at(i).levels.size(); ++l) {
            if (!sameBits(a.at(i).levels.at(l), b.at(i).levels.at(l)))
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir folder;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));

    QBuffer headerBuffer;
    headerBuffer.setData(bytes);
    headerBuffer.open(QIODevice::ReadOnly);
    Recording2::CHeaderData header;
    QString headerError;
    const bool headerRead = Recording2::ReadHeader(headerBuffer, header, &headerError);
    check(headerRead == headerError.isEmpty(), "ReadHeader: error text and result disagree");

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    Recording2::CHeaderData full;
    QVector<Recording2::CSweep> sweeps;
    QString error;
    const bool read = Recording2::ReadSweeps(buffer, full, sweeps, &error);
    // The header check covers the size, so both readers agree on what they accept.
    check(read == headerRead, "ReadHeader and ReadSweeps disagree");
    if (!read) {
        check(sweeps.isEmpty(), "failed ReadSweeps changed its output");
        return 0;
    }
    check(sameHeader(header, full), "ReadHeader and ReadSweeps read different headers");
    check(quint32(sweeps.size()) == full.sweepCount(), "sweep count differs from the header");
    for (const Recording2::CSweep& sweep : sweeps)
        check(quint32(sweep.levels.size()) == full.levelsPerSweep(), "sweep with wrong size");

    // Round trip through the writer and the file reader.
    const QString path = folder.filePath(QStringLiteral("roundtrip.rec"));
    QString writeError;
    check(Recording2::WriteRecording(path, full, sweeps, &writeError), "cannot write back");
    Recording2::CHeaderData again;
    QVector<Recording2::CSweep> sweepsAgain;
    check(Recording2::ReadSweeps(path, again, sweepsAgain, &error), "cannot read back");
    check(sameHeader(full, again), "header changed in the round trip");
    check(sameSweeps(sweeps, sweepsAgain), "sweeps changed in the round trip");
    return 0;
}
