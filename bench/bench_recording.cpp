// A recording of more than 4 GiB read on demand: opening it and reading its first sweep against
// reading the 104-byte header alone, stepping to 1,000 sweeps at random against as many bare
// pread calls of one sweep each, and the resident memory that opening costs.
//
// The recording is sparse (a header, one written sweep, then the file extended to its full
// size), made in a temporary folder under $TMPDIR and removed at exit. It needs 5 GB free there
// all the same, so that the numbers never depend on a disk about to run full.

#include "residentsize.h"

#include <benchmark/benchmark.h>
#include <recording/recfile.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstring>
#include <fcntl.h>
#include <random>
#include <unistd.h>
#include <vector>

namespace {

using Recording2::CRecordingReader;
using Recording2::CSweep;

constexpr quint32 iLEVELS = 2001;
constexpr qint64 iSWEEP_BYTES = 8 + 4 * qint64(iLEVELS);
constexpr qint64 iMIN_FILE_BYTES = qint64(4) << 30;
constexpr qint64 iMIN_FREE_BYTES = 5'000'000'000;
constexpr int iSTEPS = 1000;

struct LargeRecording
{
    QTemporaryDir dir;
    QString path;
    quint32 sweeps = 0;
    QString problem; // why the benchmarks skip; empty when the recording is there
    std::vector<quint32> steps; // the random sweeps, the same for the reader and the baseline

    LargeRecording()
    {
        if (!dir.isValid()) {
            problem = QStringLiteral("cannot make a temporary folder");
            return;
        }
        // What df reports as available to us.
        const qint64 available = QStorageInfo(dir.path()).bytesAvailable();
        if (available < iMIN_FREE_BYTES) {
            problem = QStringLiteral("skipped: %1 GB free in %2, the recording needs 5 GB")
                          .arg(double(available) / 1e9, 0, 'f', 1)
                          .arg(QDir::tempPath());
            return;
        }
        sweeps = quint32((iMIN_FILE_BYTES - Recording2::iREC_HEADER_BYTES) / iSWEEP_BYTES + 1);
        path = dir.filePath(QStringLiteral("large.rec"));
        Recording2::CHeaderData header;
        header.setLevelsPerSweep(iLEVELS);
        header.setFreqRange(9e3f, 3e9f);
        header.setDeviceName("Bench");
        const QVector<CSweep> first { { Recording2::CTimeStamp(1),
            QVector<float>(int(iLEVELS), -80.f) } };
        QString error;
        if (!Recording2::WriteRecording(path, header, first, &error)) {
            problem = error;
            return;
        }
        QFile file(path);
        char count[4];
        qToLittleEndian(sweeps, count);
        if (!file.open(QIODevice::ReadWrite) || !file.seek(20) || file.write(count, 4) != 4
            || !file.resize(Recording2::iREC_HEADER_BYTES + sweeps * iSWEEP_BYTES)) {
            problem = QStringLiteral("cannot make %1: %2").arg(path, file.errorString());
            return;
        }
        std::mt19937 random(15);
        std::uniform_int_distribution<quint32> any(0, sweeps - 1);
        for (int i = 0; i < iSTEPS; ++i)
            steps.push_back(any(random));
        // Bring the stepped sweeps into the page cache once, so that neither side of the
        // comparison pays for the first touch.
        std::vector<char> buffer(iSWEEP_BYTES);
        for (quint32 k : steps) {
            file.seek(offset(k));
            file.read(buffer.data(), iSWEEP_BYTES);
        }
    }

    static qint64 offset(quint32 sweep)
    {
        return Recording2::iREC_HEADER_BYTES + qint64(sweep) * iSWEEP_BYTES;
    }
};

LargeRecording& recording()
{
    static LargeRecording shared;
    return shared;
}

bool usable(benchmark::State& state)
{
    const LargeRecording& rec = recording();
    if (rec.problem.isEmpty())
        return true;
    state.SkipWithError(qPrintable(rec.problem));
    return false;
}

// Runs first, before the other benchmarks have grown the heap that this one might reuse.
void BM_RecordingOpenMemory(benchmark::State& state)
{
    if (!usable(state))
        return;
    const long before = residentKiB();
    CRecordingReader reader;
    CSweep sweep;
    bool ok = true;
    for (auto _ : state)
        ok = reader.open(recording().path) && reader.readSweep(0, sweep);
    const long after = residentKiB();
    if (!ok || before < 0 || after < 0)
        state.SkipWithError("cannot open the recording or read VmRSS");
    state.counters["rss_before_kib"] = double(before);
    state.counters["rss_growth_kib"] = double(after - before);
}
BENCHMARK(BM_RecordingOpenMemory)->Iterations(1);

void BM_RecordingOpenFirstSweep(benchmark::State& state)
{
    if (!usable(state))
        return;
    const QString path = recording().path;
    CSweep sweep;
    bool ok = true;
    for (auto _ : state) {
        CRecordingReader reader;
        ok = reader.open(path) && reader.readSweep(0, sweep) && ok;
        benchmark::DoNotOptimize(sweep.levels.constData());
    }
    if (!ok || sweep.levels.value(0) != -80.f)
        state.SkipWithError("the reader did not read the first sweep");
}
BENCHMARK(BM_RecordingOpenFirstSweep)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_BaselineHeaderRead(benchmark::State& state)
{
    if (!usable(state))
        return;
    const QByteArray path = QFile::encodeName(recording().path);
    char header[Recording2::iREC_HEADER_BYTES];
    bool ok = true;
    for (auto _ : state) {
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        ok = ::read(fd, header, sizeof header) == ssize_t(sizeof header) && ok;
        ::close(fd);
        benchmark::DoNotOptimize(header);
    }
    if (!ok)
        state.SkipWithError("cannot read the header");
}
BENCHMARK(BM_BaselineHeaderRead)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_RecordingRandomSweeps(benchmark::State& state)
{
    if (!usable(state))
        return;
    const LargeRecording& rec = recording();
    CRecordingReader reader;
    if (!reader.open(rec.path) || reader.sweepCount() != rec.sweeps) {
        state.SkipWithError("cannot open the recording");
        return;
    }
    CSweep sweep;
    bool ok = true;
    for (auto _ : state) {
        for (quint32 k : rec.steps)
            ok = reader.readSweep(k, sweep) && ok;
        benchmark::DoNotOptimize(sweep.levels.constData());
    }
    if (!ok)
        state.SkipWithError("a sweep did not read");
}
BENCHMARK(BM_RecordingRandomSweeps)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_BaselinePreadRandomSweeps(benchmark::State& state)
{
    if (!usable(state))
        return;
    const LargeRecording& rec = recording();
    const int fd = ::open(QFile::encodeName(rec.path).constData(), O_RDONLY | O_CLOEXEC);
    std::vector<char> buffer(iSWEEP_BYTES);
    bool ok = fd >= 0;
    for (auto _ : state) {
        for (quint32 k : rec.steps)
            ok = ::pread(fd, buffer.data(), iSWEEP_BYTES, LargeRecording::offset(k)) == iSWEEP_BYTES
                && ok;
        benchmark::DoNotOptimize(buffer.data());
    }
    ::close(fd);
    if (!ok)
        state.SkipWithError("pread failed");
}
BENCHMARK(BM_BaselinePreadRandomSweeps)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Not a goal: what a reader that maps the file would pay instead, copying each sweep out of the
// mapped pages as the reader copies out of its buffer. Mapped afresh per pass, as after an
// open, so that the page faults of the first touch are in (the reader does not map, see
// docs/rec-format.md).
void BM_MappedRandomSweeps(benchmark::State& state)
{
    if (!usable(state))
        return;
    const LargeRecording& rec = recording();
    QFile file(rec.path);
    if (!file.open(QIODevice::ReadOnly)) {
        state.SkipWithError("cannot open the recording");
        return;
    }
    std::vector<char> buffer(iSWEEP_BYTES);
    for (auto _ : state) {
        uchar* map = file.map(0, file.size());
        if (!map) {
            state.SkipWithError("cannot map the recording");
            break;
        }
        for (quint32 k : rec.steps)
            std::memcpy(buffer.data(), map + LargeRecording::offset(k), iSWEEP_BYTES);
        benchmark::DoNotOptimize(buffer.data());
        file.unmap(map);
    }
}
BENCHMARK(BM_MappedRandomSweeps)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
