// Moving recordings around against the command-line tools that do the same: save as of a large
// recording with its two companions against `cp -n`, and an archive fetch from Python's
// http.server against `curl -o`.
//
// Sizes: TEV_BENCH_SAVE_MIB (default 1024) for the recording that is saved, TEV_BENCH_FETCH_MIB
// (default 256) for the one that is fetched. The files go to a temporary folder under $TMPDIR.

#include "httpserver.h"

#include <benchmark/benchmark.h>
#include <mirel/mirelclient.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cframemainwnd.h>
#include <cstring>

namespace {

class SaveFrame : public CFrameMainWnd
{
public:
    SaveFrame(QString app = QStringLiteral("Bench"), QString cfg = QStringLiteral("bench"),
        QString root = QStringLiteral("/BenchSave"))
        : CFrameMainWnd(app, cfg, root)
    { }
    using CFrameMainWnd::m_currentFile;
    using CFrameMainWnd::save;
};

qint64 mebibytes(const char* variable, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(variable, &ok);
    return qint64(ok && value > 0 ? value : fallback) << 20;
}

// Writes `size` bytes of a pattern that no file system can store sparsely or deduplicate.
bool writeFile(const QString& path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1 << 20, Qt::Uninitialized);
    quint32 state = 2463534242u;
    for (qint64 written = 0; written < size; written += block.size()) {
        for (int i = 0; i < block.size(); i += 4) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            std::memcpy(block.data() + i, &state, 4);
        }
        const qint64 chunk = qMin<qint64>(block.size(), size - written);
        if (file.write(block.constData(), chunk) != chunk)
            return false;
    }
    return true;
}

struct Recording
{
    QTemporaryDir dir;
    QString source; // <dir>/source/run.rec, with run.bt and run.avl
    QString target; // <dir>/target, empty
    bool ok = false;

    Recording()
    {
        QDir(dir.path()).mkpath(QStringLiteral("source"));
        QDir(dir.path()).mkpath(QStringLiteral("target"));
        source = dir.filePath(QStringLiteral("source/run.rec"));
        target = dir.filePath(QStringLiteral("target"));
        const QString base = dir.filePath(QStringLiteral("source/run"));
        ok = writeFile(source, mebibytes("TEV_BENCH_SAVE_MIB", 1024))
            && writeFile(base + QStringLiteral(".bt"), 1 << 20)
            && writeFile(base + QStringLiteral(".avl"), 4 << 20);
    }

    void clearTarget() const
    {
        QDir target(this->target);
        for (const QString& name : target.entryList(QDir::Files | QDir::Hidden))
            target.remove(name);
    }
    bool targetComplete() const
    {
        return QDir(target).entryList(QDir::Files).size() == 3
            && QFileInfo(target + QStringLiteral("/run.rec")).size() == QFileInfo(source).size();
    }
};

Recording& recording()
{
    static Recording shared;
    return shared;
}

void BM_SaveAs(benchmark::State& state)
{
    Recording& rec = recording();
    if (!rec.ok) {
        state.SkipWithError("cannot write the source recording");
        return;
    }
    SaveFrame frame;
    frame.m_currentFile = rec.source;
    for (auto _ : state) {
        state.PauseTiming();
        rec.clearTarget();
        state.ResumeTiming();
        frame.save(rec.target + QStringLiteral("/run.rec"));
    }
    if (!rec.targetComplete())
        state.SkipWithError("save as did not copy all three files");
    rec.clearTarget();
}
BENCHMARK(BM_SaveAs)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->UseRealTime();

void BM_BaselineCpNoClobber(benchmark::State& state)
{
    Recording& rec = recording();
    const QString base = rec.source.chopped(4);
    const QStringList arguments { QStringLiteral("-n"), rec.source, base + QStringLiteral(".bt"),
        base + QStringLiteral(".avl"), rec.target };
    for (auto _ : state) {
        state.PauseTiming();
        rec.clearTarget();
        state.ResumeTiming();
        QProcess::execute(QStringLiteral("cp"), arguments);
    }
    if (!rec.targetComplete())
        state.SkipWithError("cp did not copy all three files");
    rec.clearTarget();
}
BENCHMARK(BM_BaselineCpNoClobber)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseRealTime();

// Save as flushes the copies to the disk before it reports them done (so that a copy the user
// was told about survives a power cut or a pulled stick); cp leaves that to the kernel. The
// like-for-like baseline: cp -n, then sync of the three copies and their folder.
void BM_BaselineCpNoClobberSynced(benchmark::State& state)
{
    Recording& rec = recording();
    const QString base = rec.source.chopped(4);
    const QStringList copy { QStringLiteral("-n"), rec.source, base + QStringLiteral(".bt"),
        base + QStringLiteral(".avl"), rec.target };
    QStringList sync;
    for (const char* extension : { ".rec", ".bt", ".avl" })
        sync << rec.target + QStringLiteral("/run") + QLatin1String(extension);
    sync << rec.target;
    for (auto _ : state) {
        state.PauseTiming();
        rec.clearTarget();
        state.ResumeTiming();
        QProcess::execute(QStringLiteral("cp"), copy);
        QProcess::execute(QStringLiteral("sync"), sync);
    }
    if (!rec.targetComplete())
        state.SkipWithError("cp did not copy all three files");
    rec.clearTarget();
}
BENCHMARK(BM_BaselineCpNoClobberSynced)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseRealTime();

struct Archive
{
    QTemporaryDir served;
    QTemporaryDir cache;
    HttpServer server;
    bool ok = false;

    Archive()
    {
        ok = writeFile(
                 served.filePath(QStringLiteral("big.rec")), mebibytes("TEV_BENCH_FETCH_MIB", 256))
            && server.start(served.path());
        qputenv("TEV_MIREL_SERVER", server.baseUrl().toUtf8());
        qputenv("TEV_MIREL_CACHE", QFile::encodeName(cache.path()));
    }
    QString copy() const { return cache.filePath(QStringLiteral("big.rec")); }
};

Archive& archive()
{
    static Archive shared;
    return shared;
}

void BM_ArchiveFetch(benchmark::State& state)
{
    Archive& arc = archive();
    if (!arc.ok) {
        state.SkipWithError("cannot serve the recording");
        return;
    }
    const Mirel::MirelUrl url(QStringLiteral("mirel:/big.rec"));
    QString local;
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(arc.copy());
        state.ResumeTiming();
        Mirel::MirelClient client;
        local = client.RequestFile(url, Mirel::LockReadShared);
    }
    if (local.isEmpty()
        || QFileInfo(local).size() != QFileInfo(arc.served.filePath("big.rec")).size())
        state.SkipWithError("the fetch did not bring the whole file");
}
BENCHMARK(BM_ArchiveFetch)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseRealTime();

void BM_BaselineCurl(benchmark::State& state)
{
    Archive& arc = archive();
    const QStringList arguments { QStringLiteral("-s"), QStringLiteral("-o"), arc.copy(),
        arc.server.baseUrl() + QStringLiteral("big.rec") };
    int exitCode = -1;
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(arc.copy());
        state.ResumeTiming();
        exitCode = QProcess::execute(QStringLiteral("curl"), arguments);
    }
    if (exitCode != 0)
        state.SkipWithError("curl failed (is it installed?)");
}
BENCHMARK(BM_BaselineCurl)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseRealTime();

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("TEV_CONFIG_DIR", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("bench_transfer"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
