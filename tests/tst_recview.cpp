// The demo viewer in German replaying a recording, driven by its bar and Replay keys: a file that
// grows or shrinks while shown, one cut short, a bad one, the replay options, the unit kept.

#include "modaldialog.h"
#include "testenvironment.h"

#include <QStatusBar>
#include <QtEndian>
#include <QtTest>

#include <recviewwindow.h>
#include <samplegenerator.h>
#include <sweepplot.h>
#include <valueselmenu.h>

constexpr int kSweeps = 6, kLevels = 16;

class TestRecView : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;
    QString m_rec = m_files.filePath("sample.rec"); // the demo sample near 2.4 GHz in small
    QVector<Recording2::CSweep> m_sweeps; // those of m_rec

    // Writes m_rec in place as a recorder does: "announced/held[+bytes]" sweeps, or "empty".
    void write(const QString& path, const QString& counts)
    {
        const QStringList numbers = counts.split(QRegularExpression(QStringLiteral("[/+]")));
        QByteArray data = fileBytes(m_rec).left(int(Recording2::iREC_HEADER_BYTES)
            + numbers.value(1).toInt() * (8 + 4 * kLevels) + numbers.value(2).toInt());
        qToLittleEndian(numbers.at(0).toUInt(), data.data() + 20);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.write(data) == data.size());
        QVERIFY(file.resize(counts == QLatin1String("empty") ? 0 : data.size()));
    }

private slots:
    void initTestCase()
    {
        qputenv("TEV_LANG", "de_DE"); // the texts compared are the demo's catalogue's
        RecViewWindow::installTranslations();
        SampleGenerator::Description description = SampleGenerator::demoSamples().at(1);
        description.levelsPerSweep = kLevels;
        description.sweepCount = kSweeps;
        Recording2::CHeaderData header;
        SampleGenerator::generate(description, header, m_sweeps);
        QVERIFY(Recording2::WriteRecording(m_rec, header, m_sweeps));
    }

    void replay_data()
    {
        // The file at open as write() takes it, then buttons ("Peak Hold"), Replay keys ("End"),
        // View entries ("#2"), "a/h[+b]" or "empty" rewriting it, "!a/h[+b]" opening one (a box).
        QTest::addColumn<QString>("script");
        // A box, the first 8 sweeps shown ("?": another's levels), the ends of the warning, status
        // message and readout, the legend's additions, the sweeps the peak hold covers, a unit.
        QTest::addColumn<QString>("seen");
        const auto row = [](const char* name, const char* script, const QString& seen) {
            QTest::newRow(name) << script << seen;
        };
        const QString shrank
            = "3 von 6 Sweeps|die Wiedergabe endet bei ihrem letzten vollständigen Sweep, 3";
        row("no complete sweep", "6/6,Right,!6/0+71", "box|1");
        row("an absurd count", "4294967295/6,End", "5|6 von 4294967295 Sweeps");
        row("written on, step past the end", "6/3,End,6/6,Right", "2 3");
        row("count raised, go to the end", "3/3,End,6/6,End,#2,#1", "2 5|Frequenzen in kHz");
        row("written on, play past the end", "6/3,End,6/5,Ctrl+P", "2 3 4|5 von 6 Sweeps");
        row("cut, step past the end", "6/6,End,6/3,Right", "5 2|" + shrank);
        row("cut, step back", "6/6,End,6/3,Left", "5 2|" + shrank);
        row("cut while playing", "6/6,End,Left,6/3,Ctrl+F", "5 4 2|" + shrank);
        row("count lowered to 0", "6/6,Right,0/0,End", "1 -1|kein vollständiger Sweep ist übrig");
        row("emptied", "6/6,Right,empty,End,Ctrl+P",
            "1 -1|0 von 6 Sweeps|only 0 bytes, too short for magic number and version");
        row("play at the end starts over", "6/6,End,Ctrl+P", "5 0 1 2 3 4 5");
        row("fast play at the end starts over", "6/6,End,Ctrl+F", "5 0 1 2 3 4 5");
        row("steps, stop", "6/6,Right,Right,Left,Home,Ctrl+P,Escape", "1 2 1 0");
        row("auto play on open, wrap", "6/6,Right,Wrap to Begin,Auto Play,!6/6", "1 0 1 2 3 4 5 0");
        row("peak, level line", "6/6,Right,Peak Hold,Right,Peak Hold,Peak Hold,Level Detect,End",
            "1 2 5|über der Pegellinie|Spitzenwerte|Pegellinie|2|5");
        row("level below, peak off", "6/6,Level Detect,Peak Hold,Right,Peak Hold", "1|Pegellinie");
    }
    void replay()
    {
        QFETCH(QString, script);
        QFETCH(QString, seen);
        TestConfigDir config;
        const QString file = m_files.filePath(QStringLiteral("replay.rec"));
        write(file, script.section(',', 0, 0));
        auto window = std::make_unique<RecViewWindow>("App", "recview", "/RecView");
        window->initialize(true);
        ReplayEngine* engine = window->engine();
        engine->setIntervals(2, 1);
        QVERIFY(window->openFile(file));
        window->show(); // keys reach the Replay menu only in the active window
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QStringList texts, frames; // frames: the sweeps shown, "?" where another shows
        connect(engine, &ReplayEngine::frameChanged, this, [&](int index) {
            const bool right = index == engine->currentIndex()
                && (index < 0 || engine->currentSweep()->levels == m_sweeps.at(index).levels);
            frames << QString::number(index) + (right ? "" : "?");
        });
        for (const QString& word : script.split(',').mid(1)) {
            if (word.startsWith('!')) {
                write(file + ".bad", word.mid(1));
                ModalAnswer answer(ModalAnswer::pressButton(QStringLiteral("OK")));
                window->openFile(file + ".bad");
                texts << (answer.seen() ? "box" : "");
            } else if (word.contains('/') || word == QLatin1String("empty")) {
                write(file, word);
            } else if (word.startsWith('#')) {
                window->viewMenu()->actions().at(word.mid(1).toInt())->trigger();
            } else if (QWidget* button = window->findChild<QWidget*>(word)) {
                QTest::mouseClick(button, Qt::LeftButton);
            } else {
                QTest::keySequence(window.get(), QKeySequence(word));
            }
        }
        QTRY_VERIFY(engine->mode() == ReplayEngine::Mode::Stopped || frames.size() >= 8);
        texts << frames.mid(0, 8).join(' ') << window->warning().section(": ", -1)
              << window->statusBar()->currentMessage().section(": ", -1)
              << window->readout().section(", ", 1) << window->plot()->legendEntries().mid(1);
        const QVector<float>& peak = engine->peakLevels();
        for (int i = 0; i < kSweeps && !peak.isEmpty(); ++i)
            if (std::equal(
                    peak.begin(), peak.end(), m_sweeps[i].levels.begin(), std::greater_equal<>()))
                texts << QString::number(i);
        window.reset(); // the next window shows the unit this one chose (unless MHz, the default)
        RecViewWindow next("App", "recview", "/RecView");
        next.initialize(true);
        for (QAction* entry : next.viewMenu()->actions().mid(1))
            texts << (entry->isChecked() ? entry->text() : QString());
        texts.removeAll(QString());
        QCOMPARE(texts.join('|'), seen);
    }
};

QTEST_MAIN(TestRecView)
#include "tst_recview.moc"
