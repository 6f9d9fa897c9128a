// The demo viewer replaying a recording read through the recording reader: a file that grows
// or shrinks while it is shown, one cut short, and a damaged one that must change nothing.

#include "modaldialog.h"
#include "testenvironment.h"

#include <valuewidgets/vcbutton.h>

#include <QMenu>
#include <QStatusBar>
#include <QtEndian>
#include <QtTest>

#include <cinfobar.h>
#include <creplaybar.h>
#include <recviewwindow.h>
#include <samplegenerator.h>
#include <valueselmenu.h>

namespace {
constexpr int kSweeps = 6;
constexpr int kLevels = 16;
enum { S = int(ReplayEngine::Mode::Stopped), P, F }; // the engine's modes, in its order

// Writes in place, as a recorder does: a reader that holds the file open sees the change.
void writeInPlace(const QString& path, const QByteArray& data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QCOMPARE(file.write(data), qint64(data.size()));
    QVERIFY(file.resize(data.size()));
}

// `whole` with its header announcing `counts`' "announced/held[+bytes]" and that much written.
QByteArray cut(const QByteArray& whole, const QString& counts)
{
    const QStringList numbers = counts.split(QRegularExpression(QStringLiteral("[/+]")));
    QByteArray data = whole.left(int(Recording2::iREC_HEADER_BYTES)
        + numbers.at(1).toInt() * (8 + 4 * kLevels) + numbers.value(2).toInt());
    qToLittleEndian(numbers.at(0).toUInt(), data.data() + 20);
    return data;
}

} // namespace

// The recording at open ("announced/held[+bytes]", see cut(); empty: none), the words run on it
// (see TestRecView::run) and what must follow.
struct Replay
{
    QString file;
    QString script;
    QString frames; // the sweeps shown while the script runs (playing on: the first ones)
    int mode;
    QString warning = QString(); // the cut-short warning's "n of m"
    QString message = QString(); // part of the status bar's word that the replay was cut
    QString held = QString(); // the sweeps in the peak hold
};
Q_DECLARE_METATYPE(Replay)

class TestRecView : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestConfigDir> m_config;
    QTemporaryDir m_files;
    QString m_rec; // kSweeps sweeps, 2.4 to 2.4835 GHz
    QVector<Recording2::CSweep> m_sweeps; // those of m_rec
    int m_roots = 0;

    // An active window (keys reach the shortcuts and hot keys of the active one only).
    std::unique_ptr<RecViewWindow> makeWindow(const QString& file = QString())
    {
        auto window = std::make_unique<RecViewWindow>(
            "App", "recview", QStringLiteral("/RecViewTest%1").arg(++m_roots));
        window->initialize(true);
        window->engine()->setIntervals(2, 1);
        window->show();
        QApplication::setActiveWindow(window.get());
        (void)QTest::qWaitForWindowActive(window.get());
        if (!file.isEmpty())
            window->openFile(file);
        return window;
    }

    // Lower case clicks a bar button, upper case presses a Replay key, "a/h" rewrites `file` as
    // cut() does, "empty" empties it, "open" opens it, "quiet" lifts the level line above all.
    void run(RecViewWindow* window, const QString& script, const QString& file = QString())
    {
        static const QHash<QString, QString> names { { "begin", "Goto Begin" },
            { "back", "Step Rewind" }, { "play", "Play" }, { "fplay", "Fast Play" },
            { "fwd", "Step Forward" }, { "end", "Goto End" }, { "stop", "Stop" },
            { "wrap", "Wrap to Begin" }, { "auto", "Auto Play" }, { "peak", "Peak Hold" },
            { "level", "Level Detect" } };
        for (const QString& word : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (word.contains('/') || word == QLatin1String("empty")) {
                writeInPlace(file, word.contains('/') ? cut(fileBytes(m_rec), word) : QByteArray());
            } else if (word == QLatin1String("open")) {
                QVERIFY(window->openFile(file));
            } else if (word == QLatin1String("quiet")) {
                window->engine()->setLevelThreshold(100);
            } else if (word == word.toUpper()) {
                auto* entry = window->replayMenu()->findChild<QAction*>(names[word.toLower()]);
                QTest::keySequence(window, entry->shortcut());
            } else {
                auto* button = window->replayBar()->findChild<VCButton*>(names[word]);
                QVERIFY2(button && button->isEnabled(), qPrintable(word));
                button->click();
            }
        }
    }

private slots:
    // The sample near 2.4 GHz in small; its sweeps go to m_sweeps.
    void initTestCase()
    {
        SampleGenerator::Description description = SampleGenerator::demoSamples().at(1);
        description.levelsPerSweep = kLevels;
        description.sweepCount = kSweeps;
        Recording2::CHeaderData header;
        SampleGenerator::generate(description, header, m_sweeps);
        m_rec = m_files.filePath(QStringLiteral("sample.rec"));
        QVERIFY(Recording2::WriteRecording(m_rec, header, m_sweeps));
    }
    void init() { m_config = std::make_unique<TestConfigDir>(); }
    void cleanup() { m_config.reset(); }

    // The unit chosen in the View menu is the next window's.
    void unitRemembered()
    {
        makeWindow()->viewMenu()->actions().at(CInfoBar::eHz)->trigger();
        QCOMPARE(makeWindow()->frequencyUnit(), CInfoBar::eHz);
    }

    void refusesABadFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason"); // part of the reader's reason the box must name
        const QByteArray data = fileBytes(m_rec);
        const auto row = [](const char* name, const QByteArray& bytes, const char* reason) {
            QTest::newRow(name) << bytes << QString(reason);
        };
        row("header cut", data.left(60), "truncated");
        row("no complete sweep", cut(data, "6/0+71"), "holds 0 of 6 announced sweeps");
        row("damaged, cut short", cut(data, "6/5").replace(8, 4, QByteArray(4, '\0')), "0 levels");
        row("bytes after the end", data + QByteArray(9, '\0'), "9 bytes after the last");
    }
    void refusesABadFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const QString bad = m_files.filePath(QStringLiteral("bad.rec"));
        writeInPlace(bad, bytes);
        auto window = makeWindow(m_rec);
        run(window.get(), "fwd");
        const QString title = window->windowTitle();
        ModalAnswer answer(ModalAnswer::pressButton(QStringLiteral("OK")));
        QVERIFY(!window->openFile(bad));
        QVERIFY2(answer.seen() && answer.dialog().text.contains(reason), qPrintable(reason));
        // Nothing changed: the window shows what it showed.
        QCOMPARE(window->windowTitle(), title);
        QCOMPARE(window->engine()->currentIndex(), 1);
        QCOMPARE(window->engine()->currentSweep()->levels, m_sweeps.at(1).levels);
    }

    void replay_data()
    {
        QTest::addColumn<Replay>("row");
        const auto row = [](const char* name, Replay replay) { QTest::newRow(name) << replay; };
        row("steps", { "6/6", "back fwd fwd back end fwd begin", "1 2 1 5 0", S });
        row("steps stop play", { "6/6", "play fwd fplay begin", "1 0", S });
        row("plays to the end", { "6/6", "fwd fwd play", "1 2 3 4 5", S });
        row("play at the end starts over", { "6/6", "end fplay", "5 0 1 2 3 4 5", S });
        row("fast play from the end, wrap", { "6/6", "wrap end fplay", "5 0 1 2 3 4 5 0", F });
        row("auto play on load", { "6/6", "auto end open", "5 0", P });
        row("no auto play on load", { "6/6", "end open", "5 0", S });
        // The Replay menu's keys press the bar's buttons.
        row("play key", { "6/6", "PLAY", "", P });
        row("fast play key", { "6/6", "play FPLAY", "", F });
        row("stop key", { "6/6", "fplay STOP", "", S });
        row("step keys", { "6/6", "END BACK BEGIN FWD", "5 4 0 1", S });
        row("keys need a recording", { "", "END PLAY", "", S });
        // Peak hold keeps the maxima since it went on; the level line is below the peaks.
        row("peak hold", { "6/6", "peak fwd fwd", "1 2", S, "", "", "0 1 2" });
        row("peak hold to the end", { "6/6", "peak end", "5", S, "", "", "0 5" });
        row("peak hold off clears", { "6/6", "peak fwd peak peak fwd", "1 2", S, "", "", "1 2" });
        row("level line", { "6/6", "level", "", S });
        row("level line above all", { "6/6", "quiet level", "", S });
        // Cut short: the complete sweeps show, with a warning.
        row("cut inside the last sweep", { "6/5+65", "end", "4", S, "5 of 6" });
        row("one sweep and a bit", { "6/1+1", "fwd play", "", S, "1 of 6" });
        row("an absurd count", { "4294967295/6", "end", "5", S, "6 of 4294967295" });
        // A recording written on or cut while shown.
        row("written on, step past the end", { "6/3", "end 6/6 fwd", "2 3", S });
        row("count raised, go to the end", { "3/3", "end 6/6 END", "2 5", S });
        row("written on, play past the end", { "6/3", "end 6/5 play", "2 3 4", S, "5 of 6" });
        row("cut, step past the end", { "6/6", "end 6/3 fwd", "5 2", S, "3 of 6", "shrank" });
        row("cut, step back", { "6/6", "end 6/3 back", "5 2", S, "3 of 6", "shrank" });
        row("cut while playing", { "6/6", "end back 6/3 fplay", "5 4 2", S, "3 of 6", "shrank" });
        row("count lowered to none", { "6/6", "fwd 0/0 end", "1 -1", S, "", "no complete" });
        row("emptied", { "6/6", "fwd empty end play", "1 -1", S, "0 of 6", "not a recording" });
    }
    void replay()
    {
        QFETCH(Replay, row);
        const QString file = m_files.filePath(QStringLiteral("replay.rec"));
        writeInPlace(file, cut(fileBytes(m_rec), row.file.isEmpty() ? "0/0" : row.file));
        auto window = makeWindow(row.file.isEmpty() ? QString() : file);
        ReplayEngine* engine = window->engine();
        const QStringList frames = row.frames.split(' ', Qt::SkipEmptyParts);
        const bool playsOn = row.mode != S; // the first frames, then still playing
        if (playsOn && !row.script.contains(QLatin1String("wrap")))
            engine->setIntervals(60000, 60000); // checked as it starts; a wrapping one runs on
        QSignalSpy shown(engine, &ReplayEngine::frameChanged);
        run(window.get(), row.script, file);
        QTRY_VERIFY(playsOn ? shown.size() >= frames.size() : int(engine->mode()) == S);
        QStringList seen;
        for (const QList<QVariant>& frame : shown)
            seen << frame.at(0).toString();
        QCOMPARE(playsOn ? seen.mid(0, frames.size()) : seen, frames);
        QCOMPARE(int(engine->mode()), row.mode);
        QCOMPARE(window->warning(),
            row.warning.isEmpty() ? QString() : "Recording cut short: " + row.warning + " sweeps");
        const QString message = window->statusBar()->currentMessage(); // the frame's: "Ready"
        QCOMPARE(message.isEmpty() || message == QLatin1String("Ready"), row.message.isEmpty());
        QVERIFY2(message.contains(row.message), qPrintable(message));
        const int index = frames.isEmpty() ? (row.file.isEmpty() ? -1 : 0) : frames.last().toInt();
        if (!playsOn)
            QCOMPARE(engine->currentIndex(), index);
        if (playsOn || index < 0)
            return;
        QCOMPARE(engine->currentSweep()->levels, m_sweeps.at(index).levels);
        QCOMPARE(window->readout().contains(QStringLiteral("above the level line")),
            row.script.contains(QStringLiteral("level")) && !row.script.contains("quiet"));
        QVector<float> peak;
        for (const QString& sweep : row.held.split(' ', Qt::SkipEmptyParts)) {
            const QVector<float>& levels = m_sweeps.at(sweep.toInt()).levels;
            peak = peak.isEmpty() ? levels : peak;
            for (int i = 0; i < kLevels; ++i)
                peak[i] = std::max(peak[i], levels.at(i));
        }
        QCOMPARE(engine->peakLevels(), peak);
    }
};

QTEST_MAIN(TestRecView)
#include "tst_recview.moc"
