#include "httpserver.h"
#include "modaldialog.h"
#include "testenvironment.h"

#include <recording/recfile.h>
#include <values/tree.h>
#include <values/valueselection.h>
#include <valuewidgets/vcbutton.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QtTest>

#include <creplaybar.h>
#include <csettings.h>
#include <memory>
#include <recviewwindow.h>
#include <replayengine.h>
#include <samplegenerator.h>
#include <valueselmenu.h>

namespace {

constexpr int kSweeps = 6;
constexpr int kLevels = 16;

// Opens the frame's protected parts to the tests.
class Window : public RecViewWindow
{
public:
    explicit Window(const QString& root)
        : RecViewWindow(QStringLiteral("App"), QStringLiteral("recview"), root)
    { }
    using CFrameMainWnd::m_currentFile;
    using CFrameMainWnd::m_fileLoaded;
    using CFrameMainWnd::m_saveAsAction;
    using CFrameMainWnd::m_settings;
    using RecViewWindow::load;
};

SampleGenerator::Description smallRecording(const QByteArray& device, double lowestHz)
{
    SampleGenerator::Description description;
    description.fileName = QString::fromUtf8(device) + QStringLiteral(".rec");
    description.deviceName = device;
    description.deviceType = "T-" + device;
    description.lowestHz = lowestHz;
    description.highestHz = lowestHz + 2e6;
    description.levelsPerSweep = kLevels;
    description.sweepCount = kSweeps;
    description.startUsecs = 1709294400000000;
    description.seed = quint64(qHash(device));
    description.peaks = { { lowestHz + 1e6, 0.5e6, 40.0, 0.1e6 } };
    return description;
}

QVector<Recording2::CSweep> sweepsOf(const SampleGenerator::Description& description)
{
    Recording2::CHeaderData header;
    QVector<Recording2::CSweep> sweeps;
    SampleGenerator::generate(description, header, sweeps);
    return sweeps;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(data), qint64(data.size()));
}

// Clicks the replay-bar button `name`, the way a user drives the engine.
void press(CReplayBar* bar, const QString& name)
{
    auto* button = bar->findChild<VCButton*>(name);
    QVERIFY2(button, qPrintable(name));
    QVERIFY2(button->isEnabled(), qPrintable(name));
    button->click();
}

// Bar names for the short command words of the tables.
QString buttonName(const QString& word)
{
    static const QHash<QString, QString> names {
        { "begin", "Goto Begin" },
        { "back", "Step Rewind" },
        { "play", "Play" },
        { "fplay", "Fast Play" },
        { "fwd", "Step Forward" },
        { "end", "Goto End" },
        { "stop", "Stop" },
        { "wrap", "Wrap to Begin" },
        { "auto", "Auto Play" },
        { "peak", "Peak Hold" },
        { "level", "Level Detect" },
    };
    return names.value(word);
}

} // namespace

class TestRecView : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestConfigDir> m_config;
    QTemporaryDir m_files;
    QString m_first; // recording "Alpha", 88-90 MHz
    QString m_second; // recording "Beta", 430-432 MHz
    int m_roots = 0;

    QString path(const QString& name) const { return m_files.filePath(name); }

    std::unique_ptr<Window> makeWindow()
    {
        auto window = std::make_unique<Window>(QStringLiteral("/RecViewTest%1").arg(++m_roots));
        window->initialize(true);
        window->engine()->setIntervals(5, 2);
        return window;
    }

    // An engine with its bar, fed the sweeps of "Alpha".
    struct Rig
    {
        std::unique_ptr<ReplayEngine> engine;
        std::unique_ptr<CReplayBar> bar;
    };
    Rig makeRig()
    {
        Rig rig;
        rig.engine = std::make_unique<ReplayEngine>(QStringLiteral("/EngineTest%1").arg(++m_roots));
        rig.engine->setIntervals(5, 2);
        rig.bar
            = std::make_unique<CReplayBar>(nullptr, "Replay Operations", rig.engine->valuePrefix());
        rig.bar->enableAction(true);
        rig.engine->setSweeps(sweepsOf(smallRecording("Alpha", 88e6)));
        return rig;
    }

    void runWords(CReplayBar* bar, const QString& words)
    {
        for (const QString& word : words.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString name = buttonName(word);
            QVERIFY2(!name.isEmpty(), qPrintable(word));
            press(bar, name);
        }
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("tst_recview"));
        QVERIFY(m_files.isValid());
        for (const auto& description :
            { smallRecording("Alpha", 88e6), smallRecording("Beta", 430e6) }) {
            Recording2::CHeaderData header;
            QVector<Recording2::CSweep> sweeps;
            SampleGenerator::generate(description, header, sweeps);
            QString error;
            QVERIFY2(Recording2::WriteRecording(path(description.fileName), header, sweeps, &error),
                qPrintable(error));
        }
        m_first = path(QStringLiteral("Alpha.rec"));
        m_second = path(QStringLiteral("Beta.rec"));
    }
    void init() { m_config = std::make_unique<TestConfigDir>(); }
    void cleanup() { m_config.reset(); }

    void loadsARecording_data()
    {
        QTest::addColumn<int>("unit"); // the View entry triggered before the load, -1 none
        QTest::addColumn<QString>("freqMin");
        QTest::addColumn<QString>("freqMax");
        QTest::newRow("default MHz") << -1 << "430.000000 MHz"
                                     << "432.000000 MHz";
        QTest::newRow("kHz") << 1 << "430000.000000 kHz"
                             << "432000.000000 kHz";
        QTest::newRow("Hz") << 2 << "430000000.000000 Hz"
                            << "432000000.000000 Hz";
        QTest::newRow("back to MHz") << 0 << "430.000000 MHz"
                                     << "432.000000 MHz";
    }
    void loadsARecording()
    {
        QFETCH(int, unit);
        QFETCH(QString, freqMin);
        QFETCH(QString, freqMax);
        auto window = makeWindow();
        QVERIFY(!window->m_saveAsAction->isEnabled());
        QVERIFY(!window->infoBar()->deviceName()->isEnabled());
        QVERIFY(!window->replayBar()->findChild<VCButton*>("Play")->isEnabled());
        if (unit >= 0) {
            window->viewMenu()->actions().at(unit == 1 ? 2 : 1)->trigger(); // away first
            window->viewMenu()->actions().at(unit)->trigger();
        }

        QVERIFY(window->openFile(m_second));
        QCOMPARE(window->windowTitle(), QStringLiteral("App - [%1]").arg(m_second));
        QCOMPARE(window->m_currentFile, m_second);
        QCOMPARE(window->m_fileLoaded->GetStringValue(), QStringLiteral("On"));
        QVERIFY(window->m_saveAsAction->isEnabled());
        QVERIFY(window->m_settings->recentFiles().contains(m_second));
        QVERIFY(window->lastError().isEmpty());
        QCOMPARE(window->infoBar()->deviceName()->text(), QStringLiteral("Beta"));
        QCOMPARE(window->infoBar()->deviceType()->text(), QStringLiteral("T-Beta"));
        QCOMPARE(window->infoBar()->starttime()->text(), QStringLiteral("2024-03-01 12:00:00.000"));
        QCOMPARE(window->infoBar()->freqmin()->text(), freqMin);
        QCOMPARE(window->infoBar()->freqmax()->text(), freqMax);
        QVERIFY(window->infoBar()->deviceName()->isEnabled());
        for (VCButton* button : window->replayBar()->findChildren<VCButton*>())
            QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));
        QCOMPARE(window->engine()->sweepCount(), kSweeps);
        QCOMPARE(window->engine()->currentIndex(), 0);

        // The unit can change after the load; the panel follows it.
        const int other = unit == 2 ? 0 : 2;
        window->viewMenu()->actions().at(other)->trigger();
        QCOMPARE(int(window->frequencyUnit()), other);
        QVERIFY(window->infoBar()->freqmin()->text() != freqMin);
        for (int entry = 0; entry < 3; ++entry)
            QCOMPARE(window->viewMenu()->actions().at(entry)->isChecked(), entry == other);
    }

    void frequencyUnitIsRemembered()
    {
        {
            auto window = makeWindow();
            window->viewMenu()->actions().at(CInfoBar::ekHz)->trigger();
        }
        auto window = makeWindow();
        QCOMPARE(window->frequencyUnit(), CInfoBar::ekHz);
        QVERIFY(window->viewMenu()->actions().at(CInfoBar::ekHz)->isChecked());
    }

    void refusesABadFile_data()
    {
        QTest::addColumn<QString>("damage"); // truncated, foreign, version, missing
        QTest::addColumn<bool>("loadedBefore");
        for (const char* damage : { "truncated", "foreign", "version", "missing" }) {
            QTest::newRow(qPrintable(QStringLiteral("%1 after a good file").arg(damage)))
                << damage << true;
            QTest::newRow(qPrintable(QStringLiteral("%1 first").arg(damage))) << damage << false;
        }
    }
    void refusesABadFile()
    {
        QFETCH(QString, damage);
        QFETCH(bool, loadedBefore);
        const QString bad = path(QStringLiteral("bad-%1.rec").arg(damage));
        QFile::remove(bad);
        QByteArray data = readAll(m_second);
        if (damage == QLatin1String("truncated"))
            writeAll(bad, data.left(data.size() - 7));
        else if (damage == QLatin1String("foreign"))
            writeAll(bad, QByteArray("\x89PNG\r\n\x1a\n").append(200, 'x'));
        else if (damage == QLatin1String("version"))
            writeAll(bad, data.replace(4, 1, "\x02"));
        // The reader's own reason is what the box has to name.
        Recording2::CHeaderData header;
        QVector<Recording2::CSweep> sweeps;
        QString reason;
        QVERIFY(!Recording2::ReadSweeps(bad, header, sweeps, &reason));

        auto window = makeWindow();
        if (loadedBefore) {
            QVERIFY(window->load(m_first, QString(), true));
            window->engine()->stepForward();
        }
        const QString title = window->windowTitle();
        const QString device = window->infoBar()->deviceName()->text();

        ModalAnswer answer(ModalAnswer::pressButton(QStringLiteral("OK")));
        QVERIFY(!window->load(bad, QString(), true));
        QVERIFY(answer.seen());
        QCOMPARE(answer.dialog().title, QStringLiteral("Recording Error"));
        QVERIFY2(answer.dialog().text.contains(reason), qPrintable(answer.dialog().text));
        QVERIFY(answer.dialog().text.contains(bad));
        QCOMPARE(window->lastError(), reason);

        QCOMPARE(window->windowTitle(), title);
        QCOMPARE(window->infoBar()->deviceName()->text(), device);
        QVERIFY(!window->m_settings->recentFiles().contains(bad));
        QCOMPARE(window->hasRecording(), loadedBefore);
        QCOMPARE(window->m_currentFile, loadedBefore ? m_first : QString());
        QCOMPARE(window->m_saveAsAction->isEnabled(), loadedBefore);
        QCOMPARE(window->infoBar()->deviceName()->isEnabled(), loadedBefore);
        QCOMPARE(
            window->replayBar()->findChild<VCButton*>("Step Forward")->isEnabled(), loadedBefore);
        QCOMPARE(window->engine()->sweepCount(), loadedBefore ? kSweeps : 0);
        QCOMPARE(window->engine()->currentIndex(), loadedBefore ? 1 : -1);
    }

    void opensAnArchiveRecording()
    {
        QTemporaryDir served;
        QTemporaryDir cache;
        QVERIFY(QFile::copy(m_second, served.filePath(QStringLiteral("beta.rec"))));
        HttpServer server;
        if (!server.start(served.path()))
            QSKIP("python3 http.server did not come up");
        qputenv("TEV_MIREL_SERVER", server.baseUrl().toUtf8());
        qputenv("TEV_MIREL_CACHE", cache.path().toUtf8());
        auto window = makeWindow();
        const QString url = QStringLiteral("mirel:/beta.rec");
        const bool opened = window->openFile(url);
        qunsetenv("TEV_MIREL_SERVER");
        qunsetenv("TEV_MIREL_CACHE");

        QVERIFY(opened);
        QCOMPARE(window->m_currentFile, url);
        QCOMPARE(window->windowTitle(), QStringLiteral("App - [%1]").arg(url));
        QCOMPARE(window->m_settings->recentFiles(), QStringList { url });
        QCOMPARE(window->infoBar()->deviceName()->text(), QStringLiteral("Beta"));
        QCOMPARE(window->m_fileLoaded->GetStringValue(), QStringLiteral("On"));
    }

    void steps_data()
    {
        QTest::addColumn<QString>("presses");
        QTest::addColumn<int>("index");
        QTest::newRow("nothing") << "" << 0;
        QTest::newRow("forward twice") << "fwd fwd" << 2;
        QTest::newRow("back at the start stays") << "back" << 0;
        QTest::newRow("forward, back") << "fwd fwd back" << 1;
        QTest::newRow("end") << "end" << kSweeps - 1;
        QTest::newRow("forward at the end stays") << "end fwd" << kSweeps - 1;
        QTest::newRow("end, back") << "end back" << kSweeps - 2;
        QTest::newRow("end, begin") << "end begin" << 0;
        QTest::newRow("a press repeats") << "end back back back" << kSweeps - 4;
        QTest::newRow("step stops play") << "play fwd" << 1;
        QTest::newRow("begin stops fast play") << "fwd fplay begin" << 0;
        QTest::newRow("end stops play") << "play end" << kSweeps - 1;
    }
    void steps()
    {
        QFETCH(QString, presses);
        QFETCH(int, index);
        Rig rig = makeRig();
        rig.engine->setIntervals(60000, 60000); // no tick while the row runs
        runWords(rig.bar.get(), presses);
        QCOMPARE(rig.engine->currentIndex(), index);
        QCOMPARE(rig.engine->mode(), ReplayEngine::Mode::Stopped);
        QCOMPARE(rig.bar->findChild<VCButton*>("Stop")->GetValueSelection()->GetStringValue(),
            QStringLiteral("STOP"));
    }

    void modeButtons_data()
    {
        QTest::addColumn<QString>("presses");
        QTest::addColumn<int>("mode"); // ReplayEngine::Mode
        QTest::addColumn<QString>("modi");
        QTest::newRow("play") << "play" << int(ReplayEngine::Mode::Playing) << "PLAY";
        QTest::newRow("fast play") << "fplay" << int(ReplayEngine::Mode::FastPlaying) << "FPLAY";
        QTest::newRow("play twice stops")
            << "play play" << int(ReplayEngine::Mode::Stopped) << "STOP";
        QTest::newRow("play, fast play")
            << "play fplay" << int(ReplayEngine::Mode::FastPlaying) << "FPLAY";
        QTest::newRow("play, stop") << "play stop" << int(ReplayEngine::Mode::Stopped) << "STOP";
        QTest::newRow("stop when stopped") << "stop" << int(ReplayEngine::Mode::Stopped) << "STOP";
    }
    void modeButtons()
    {
        QFETCH(QString, presses);
        QFETCH(int, mode);
        QFETCH(QString, modi);
        Rig rig = makeRig();
        rig.engine->setIntervals(60000, 60000);
        runWords(rig.bar.get(), presses);
        QCOMPARE(int(rig.engine->mode()), mode);
        QCOMPARE(
            rig.bar->findChild<VCButton*>("Play")->GetValueSelection()->GetStringValue(), modi);
    }

    void playsToTheEnd_data()
    {
        QTest::addColumn<QString>("start"); // presses before playing
        QTest::addColumn<QString>("play"); // "play" or "fplay"
        QTest::addColumn<bool>("wrap");
        QTest::addColumn<QString>("frames"); // the sweeps shown, in order
        QTest::newRow("play") << ""
                              << "play" << false << "1 2 3 4 5";
        QTest::newRow("fast play") << ""
                                   << "fplay" << false << "1 2 3 4 5";
        QTest::newRow("play from the middle") << "fwd fwd"
                                              << "play" << false << "3 4 5";
        QTest::newRow("play at the end starts over") << "end"
                                                     << "play" << false << "0 1 2 3 4 5";
        // With wrap the replay goes on: the row lists the first sweeps shown.
        QTest::newRow("play, wrap") << "wrap"
                                    << "play" << true << "1 2 3 4 5 0 1";
        QTest::newRow("fast play from the end, wrap") << "wrap end"
                                                      << "fplay" << true << "0 1 2 3 4 5 0";
    }
    void playsToTheEnd()
    {
        QFETCH(QString, start);
        QFETCH(QString, play);
        QFETCH(bool, wrap);
        QFETCH(QString, frames);
        QList<int> expected;
        for (const QString& index : frames.split(QLatin1Char(' ')))
            expected << index.toInt();

        Rig rig = makeRig();
        runWords(rig.bar.get(), start);
        QCOMPARE(rig.engine->wrap(), wrap);
        QSignalSpy shown(rig.engine.get(), &ReplayEngine::frameChanged);
        runWords(rig.bar.get(), play);
        QVERIFY(rig.engine->mode() != ReplayEngine::Mode::Stopped);

        if (wrap) {
            QTRY_VERIFY_WITH_TIMEOUT(shown.size() >= expected.size(), 5000);
            QVERIFY(rig.engine->mode() != ReplayEngine::Mode::Stopped);
            runWords(rig.bar.get(), QStringLiteral("stop"));
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(rig.engine->mode(), ReplayEngine::Mode::Stopped, 5000);
        }
        QList<int> seen;
        for (const QList<QVariant>& frame : shown)
            seen << frame.at(0).toInt();
        QCOMPARE(wrap ? seen.mid(0, expected.size()) : seen, expected);
        QCOMPARE(rig.engine->currentIndex(), seen.last());
        QCOMPARE(rig.engine->mode(), ReplayEngine::Mode::Stopped);
        QCOMPARE(rig.bar->findChild<VCButton*>("Play")->GetValueSelection()->GetStringValue(),
            QStringLiteral("STOP"));
    }

    void autoPlayOnLoad_data()
    {
        QTest::addColumn<bool>("autoPlay");
        QTest::newRow("auto play on") << true;
        QTest::newRow("auto play off") << false;
    }
    void autoPlayOnLoad()
    {
        QFETCH(bool, autoPlay);
        auto window = makeWindow();
        window->engine()->setIntervals(60000, 60000);
        QVERIFY(window->load(m_first, QString(), true));
        if (autoPlay)
            press(window->replayBar(), QStringLiteral("Auto Play"));
        QCOMPARE(window->engine()->mode(), ReplayEngine::Mode::Stopped);
        QVERIFY(window->load(m_second, QString(), true));
        QCOMPARE(window->engine()->mode(),
            autoPlay ? ReplayEngine::Mode::Playing : ReplayEngine::Mode::Stopped);
        QCOMPARE(window->engine()->currentIndex(), 0);
        QCOMPARE(window->replayBar()
                     ->findChild<VCButton*>("Play")
                     ->GetValueSelection()
                     ->GetStringValue(),
            QLatin1String(autoPlay ? "PLAY" : "STOP"));
    }

    void peakHoldKeepsTheHighestLevels_data()
    {
        QTest::addColumn<QString>("presses");
        QTest::addColumn<int>("from"); // first sweep in the hold
        QTest::addColumn<int>("to"); // last sweep in the hold
        QTest::newRow("on at the start") << "peak fwd fwd" << 0 << 2;
        QTest::newRow("on later") << "fwd fwd peak fwd" << 2 << 3;
        QTest::newRow("through to the end") << "peak end" << 0 << -1; // only 0 and the last
        QTest::newRow("off clears") << "peak fwd peak" << 1 << -2;
        QTest::newRow("off and on again") << "peak fwd fwd peak peak fwd" << 2 << 3;
    }
    void peakHoldKeepsTheHighestLevels()
    {
        QFETCH(QString, presses);
        QFETCH(int, from);
        QFETCH(int, to);
        Rig rig = makeRig();
        runWords(rig.bar.get(), presses);
        const QVector<Recording2::CSweep>& sweeps = rig.engine->sweeps();
        if (to == -2) {
            QVERIFY(!rig.engine->peakHold());
            QVERIFY(rig.engine->peakLevels().isEmpty());
            return;
        }
        QVector<int> held;
        if (to == -1)
            held = { from, kSweeps - 1 };
        for (int i = from; i <= to; ++i)
            held << i;
        QVector<float> expected(kLevels, -1e30f);
        for (int sweep : held) {
            for (int i = 0; i < kLevels; ++i)
                expected[i] = std::max(expected[i], sweeps.at(sweep).levels.at(i));
        }
        QCOMPARE(rig.engine->peakLevels(), expected);
    }

    void levelDetect_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<float>("threshold");
        QTest::addColumn<bool>("detected");
        QTest::newRow("off") << false << -200.0f << false;
        QTest::newRow("below every level") << true << -200.0f << true;
        QTest::newRow("above every level") << true << 100.0f << false;
    }
    void levelDetect()
    {
        QFETCH(bool, on);
        QFETCH(float, threshold);
        QFETCH(bool, detected);
        Rig rig = makeRig();
        QSignalSpy display(rig.engine.get(), &ReplayEngine::displayChanged);
        rig.engine->setLevelThreshold(threshold);
        if (on)
            press(rig.bar.get(), QStringLiteral("Level Detect"));
        QCOMPARE(rig.engine->levelDetect(), on);
        QCOMPARE(rig.engine->levelDetected(), detected);
        QCOMPARE(display.size(), on ? 2 : 1);
    }

    void engineEndsItsValues()
    {
        auto first = std::make_unique<ReplayEngine>(QStringLiteral("/Shared"));
        const QString modi = first->valuePrefix() + QStringLiteral("/modi");
        CReplayBar bar(nullptr, "Replay Operations", first->valuePrefix());
        auto* stop = bar.findChild<VCButton*>("Stop");
        QVERIFY(stop->GetValueSelection());

        // A second engine on the same root shares the values and leaves them to their owner.
        auto second = std::make_unique<ReplayEngine>(QStringLiteral("/Shared"));
        second->setSweeps(sweepsOf(smallRecording("Alpha", 88e6)));
        second.reset();
        QVERIFY(values::Tree::Instance()->FindValue(modi));
        QVERIFY(stop->GetValueSelection());

        first.reset();
        for (const char* name : { "gbegin", "sbkwd", "modi", "sfwd", "gend", "wrap", "autoplay",
                 "peakhold", "leveldetect" }) {
            QVERIFY2(!values::Tree::Instance()->FindValue(
                         QStringLiteral("/Shared/Replay/") + QLatin1String(name)),
                name);
        }
        for (VCButton* button : bar.findChildren<VCButton*>())
            QVERIFY2(!button->GetValueSelection(), qPrintable(button->objectName()));
    }

    void samplesAreDeterministic()
    {
        QTemporaryDir one;
        QTemporaryDir two;
        QString error;
        const QStringList first = SampleGenerator::writeDemoSamples(one.path(), &error);
        QVERIFY2(!first.isEmpty(), qPrintable(error));
        const QStringList second = SampleGenerator::writeDemoSamples(two.path(), &error);
        QCOMPARE(second.size(), first.size());
        QSet<QString> devices;
        for (int i = 0; i < first.size(); ++i) {
            QCOMPARE(readAll(first.at(i)), readAll(second.at(i)));
            Recording2::CHeaderData header;
            QVector<Recording2::CSweep> sweeps;
            QVERIFY2(
                Recording2::ReadSweeps(first.at(i), header, sweeps, &error), qPrintable(error));
            QVERIFY(sweeps.size() >= 50 && sweeps.size() <= 200);
            devices << QString::fromUtf8(header.deviceName());
            QVERIFY(QFile::exists(QString(first.at(i)).replace(".rec", ".bt")));
            QVERIFY(QFile::exists(QString(first.at(i)).replace(".rec", ".avl")));
        }
        QCOMPARE(devices.size(), first.size());
    }
};

QTEST_MAIN(TestRecView)
#include "tst_recview.moc"
