// The frame against a main window built by hand, and the cost of the exclusive-access check.
//
//   bench_frame [benchmark options]   start-up and access-check benchmarks
//   bench_frame --rss=frame|bare      shows one window, prints "rss_kib <resident KiB>", exits
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise. The configuration goes
// to a temporary folder.

#include "holdfile.h"
#include "residentsize.h"

#include <benchmark/benchmark.h>
#include <fileapi/fileapi.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTemporaryDir>
#include <QToolBar>
#include <QVBoxLayout>

#include <cframemainwnd.h>
#include <cstring>
#include <memory>
#include <vector>

namespace {

#include "../src/pictures/fileopen.xpm"
#include "../src/pictures/filesaveas.xpm"

class BenchFrame : public CFrameMainWnd
{
public:
    BenchFrame(QString app = QStringLiteral("Bench"), QString cfg = QStringLiteral("bench"),
        QString root = QStringLiteral("/Bench"))
        : CFrameMainWnd(app, cfg, root)
    { }
    using CFrameMainWnd::checkAccess;
};

// What the frame builds, put together by hand: the baseline of the start-up benchmark.
QMainWindow* bareWindow()
{
    auto* window = new QMainWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    auto* toolBar = new QToolBar(QStringLiteral("File Operations"), window);
    window->addToolBar(toolBar);
    auto* open = new QAction(QIcon(QPixmap(fileopen_xpm)), QStringLiteral("&Open File"), window);
    open->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    auto* saveAs
        = new QAction(QIcon(QPixmap(filesaveas_xpm)), QStringLiteral("&Save as file..."), window);
    saveAs->setShortcut(QKeySequence(QStringLiteral("Ctrl+A")));
    toolBar->addAction(open);
    toolBar->addAction(saveAs);
    toolBar->addSeparator();

    QMenu* file = window->menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(open);
    file->addAction(saveAs);
    file->addSeparator();
    file->addAction(QStringLiteral("E&xit"))->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    window->menuBar()->addSeparator();
    QMenu* help = window->menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("Help Contents"));
    help->addAction(QStringLiteral("Hot Keys"));
    help->addAction(QStringLiteral("About Qt"));

    auto* panel = new QFrame;
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    window->setCentralWidget(panel);
    layout->addWidget(new QSplitter(Qt::Horizontal));

    window->statusBar()->addPermanentWidget(new QLabel(QStringLiteral("Idle")));
    window->statusBar()->showMessage(QStringLiteral("Ready"), 2000);
    window->setWindowTitle(QStringLiteral("Bench"));
    // The frame opens at two thirds of its screen, centred; so does its baseline, for painting
    // costs by the pixel (on Qt 6 several times what it costs on Qt 5).
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    window->setGeometry(
        QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, available.size() * 2 / 3, available));
    window->show();
    return window;
}

QMainWindow* frameWindow()
{
    auto* frame = new BenchFrame;
    frame->initialize(true);
    return frame;
}

// Builds, shows and paints once; the close (which for the frame writes its options) is not
// timed.
template <QMainWindow* (*make)()>
void startUp(benchmark::State& state)
{
    for (auto _ : state) {
        QMainWindow* window = make();
        QCoreApplication::processEvents();
        window->repaint();
        state.PauseTiming();
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}

void BM_FrameStartUp(benchmark::State& state)
{
    startUp<frameWindow>(state);
}
BENCHMARK(BM_FrameStartUp)->Unit(benchmark::kMillisecond);

void BM_BaselineBareWindowStartUp(benchmark::State& state)
{
    startUp<bareWindow>(state);
}
BENCHMARK(BM_BaselineBareWindowStartUp)->Unit(benchmark::kMillisecond);

QString benchFile(const QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("held.rec"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("recording");
    return path;
}

void BM_CheckAccessFreeFile(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = benchFile(dir);
    BenchFrame frame;
    bool exists = false;
    for (auto _ : state)
        benchmark::DoNotOptimize(frame.checkAccess(path, exists));
    if (!frame.checkAccess(path, exists))
        state.SkipWithError("the free file was reported as held");
}
BENCHMARK(BM_CheckAccessFreeFile)->Unit(benchmark::kMicrosecond)->Repetitions(7);

void BM_CheckAccessHeldFile(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = benchFile(dir);
    HoldFile holder(path, HoldFile::Read);
    BenchFrame frame;
    bool exists = false;
    for (auto _ : state)
        benchmark::DoNotOptimize(frame.checkAccess(path, exists));
    if (frame.checkAccess(path, exists))
        state.SkipWithError("the held file was reported as free");
}
BENCHMARK(BM_CheckAccessHeldFile)->Unit(benchmark::kMicrosecond)->Repetitions(7);

// A writer holds the file and the open tolerates writers: only /proc can tell that nobody reads,
// so every check walks the descriptors of all processes, here 500 more than usual.
void BM_ProcFallbackWith500Processes(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = benchFile(dir);
    HoldFile holder(path, HoldFile::Write);
    std::vector<std::unique_ptr<QProcess>> crowd;
    for (int i = 0; i < 500; ++i) {
        crowd.push_back(std::make_unique<QProcess>());
        crowd.back()->start(QStringLiteral("sleep"), { QStringLiteral("600") });
    }
    for (auto& process : crowd)
        process->waitForStarted();
    const std::string native = QFile::encodeName(path).toStdString();
    bool granted = false;
    for (auto _ : state) {
        const fileapi::Handle handle = fileapi::OpenWrite(native, true);
        granted = handle != fileapi::InvalidHandle;
        fileapi::Close(handle);
    }
    if (!granted)
        state.SkipWithError("a file held by a writer was refused to a sharing writer");
    for (auto& process : crowd)
        process->kill();
    for (auto& process : crowd)
        process->waitForFinished();
}
BENCHMARK(BM_ProcFallbackWith500Processes)->Unit(benchmark::kMicrosecond)->Repetitions(7);

int printResidentMemory(const char* which)
{
    QMainWindow* window = std::strcmp(which, "frame") == 0 ? frameWindow() : bareWindow();
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    window->repaint();
    std::printf("rss_kib %ld\n", residentKiB());
    window->close();
    return 0;
}

// The offscreen platform warns on every shown window that it cannot propagate size hints; a run
// shows thousands of windows, and the repeated line buried the results. Only that message goes.
QtMessageHandler g_nextHandler = nullptr;

void dropSizeHintWarning(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtWarningMsg
        && text == QLatin1String("This plugin does not support propagateSizeHints()"))
        return;
    g_nextHandler(type, context, text);
}

} // namespace

int main(int argc, char* argv[])
{
    g_nextHandler = qInstallMessageHandler(dropSizeHintWarning);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("TEV_CONFIG_DIR", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("bench_frame"));

    if (argc == 2 && std::strncmp(argv[1], "--rss=", 6) == 0)
        return printResidentMemory(argv[1] + 6);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
