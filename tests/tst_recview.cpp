#include "modaldialog.h"
#include "testenvironment.h"

#include <guicentral/guicentral.h>
#include <valuewidgets/vcbutton.h>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTranslator>
#include <QtEndian>
#include <QtTest>

#include <creplaybar.h>
#include <recviewwindow.h>
#include <samplegenerator.h>
#include <sweepplot.h>
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

// `whole` with its header announcing `spec`'s "announced/held[+bytes]" and that much written.
QByteArray cut(const QByteArray& whole, const QString& spec)
{
    const QStringList numbers = spec.split(QRegularExpression(QStringLiteral("[/+]")));
    QByteArray data = whole.left(int(Recording2::iREC_HEADER_BYTES)
        + numbers.at(1).toInt() * (8 + 4 * kLevels) + numbers.value(2).toInt());
    qToLittleEndian(numbers.at(0).toUInt(), data.data() + 20);
    return data;
}

// True when `field` shows its whole text: moved from its start to its end, the cursor went
// exactly the text's width, so the text did not scroll.
bool showsWholeText(QLineEdit* field)
{
    int x[2];
    for (int end : { 0, 1 }) {
        field->setCursorPosition(end ? field->text().size() : 0);
        field->grab(); // a paint works out the scrolling
        x[end] = field->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    }
    return std::abs(x[1] - x[0] - field->fontMetrics().horizontalAdvance(field->text())) <= 1;
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
    QVector<Recording2::CSweep> m_sweeps; // the sweeps of every recording written
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

    // Writes the sample near 2.4 GHz in small, named `device`; its sweeps go to m_sweeps.
    QString write(const QByteArray& device)
    {
        SampleGenerator::Description description = SampleGenerator::demoSamples().at(1);
        description.deviceName = device;
        description.levelsPerSweep = kLevels;
        description.sweepCount = kSweeps;
        Recording2::CHeaderData header;
        SampleGenerator::generate(description, header, m_sweeps);
        const QString file = m_files.filePath(QString::number(qHash(device)) + ".rec");
        return Recording2::WriteRecording(file, header, m_sweeps) ? file : QString();
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
    void initTestCase()
    {
        // Brings in the catalogue resource of the viewer's static library for the German test.
        RecViewWindow::installTranslations();
        m_rec = write("Bench");
    }
    void init() { m_config = std::make_unique<TestConfigDir>(); }
    void cleanup() { m_config.reset(); }

    void unitsAndFields_data()
    {
        QTest::addColumn<QString>("entries"); // View entries triggered, in order
        QTest::addColumn<int>("checked");
        QTest::addColumn<QByteArray>("device");
        QTest::addColumn<QString>("freqMax");
        const QByteArray longName("Receiver on the north mast #12");
        // Recordings hold floats: the float nearest 2.4835 GHz is 2483500032 Hz.
        QTest::newRow("Hz, then kHz") << "2 1" << 1 << QByteArray("A") << "2483500 kHz";
        QTest::newRow("Hz, the checked one again") << "2 2" << 2 << longName << "2483500000 Hz";
        QTest::newRow("round") << "1 2 0" << 0 << QByteArray("A") << "2483.5 MHz";
    }
    void unitsAndFields()
    {
        QFETCH(QString, entries);
        QFETCH(int, checked);
        QFETCH(QByteArray, device);
        QFETCH(QString, freqMax);
        auto first = makeWindow();
        for (const QString& entry : entries.split(' ', Qt::SkipEmptyParts))
            first->viewMenu()->actions().at(entry.toInt())->trigger();
        first.reset(); // the second window reads the unit the first one kept
        const QString file = write(device);
        auto window = makeWindow(file);
        QCOMPARE(window->windowTitle(), "App - [" + file + ']');
        QVERIFY(window->findChild<QAction*>("Save as file")->isEnabled());
        const QList<QAction*> units = window->viewMenu()->actions();
        for (int entry = 0; entry < units.size(); ++entry)
            QCOMPARE(units.at(entry)->isChecked(), entry == checked);
        QCOMPARE(window->infoBar()->freqmax()->text(), freqMax);
        QCOMPARE(window->plot()->axisEndLabels().last(), freqMax.section(' ', 0, 0));
        units.at((checked + 1) % 3)->trigger(); // the panel follows, and still fits
        QVERIFY(window->infoBar()->freqmax()->text() != freqMax);
        for (QLineEdit* field : window->infoBar()->findChildren<QLineEdit*>())
            QVERIFY2(showsWholeText(field), qPrintable(field->objectName() + ": " + field->text()));
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

    void keys()
    {
        auto window = makeWindow(m_rec);
        QSet<QKeySequence> taken; // the frame's hot keys, its entries' shortcuts, the mnemonics
        for (const GuiCentral::HotKey& key : GuiCentral::Instance().HotKeys()) {
            if (window->replayHotKeyIds().contains(key.id))
                QVERIFY(key.listed); // so that Shift+F1 tells them
            else
                taken << key.key;
        }
        for (QAction* action : window->findChildren<QAction*>()) {
            if (!window->replayActions().contains(action))
                taken << action->shortcut();
        }
        for (QAction* menu : window->menuBar()->actions())
            taken << QKeySequence::mnemonic(menu->text());
        for (QAction* action : window->replayActions()) {
            QVERIFY2(!taken.contains(action->shortcut()), qPrintable(action->objectName()));
            taken << action->shortcut();
        }

        // Space shows and hides the panel, but not while the user types into a text field.
        auto* edit = new QLineEdit;
        window->statusBar()->addPermanentWidget(edit);
        for (bool hidden : { true, false }) {
            QTest::keyClick(window.get(), Qt::Key_Space);
            QCOMPARE(window->infoBar()->isHidden(), hidden);
        }
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        QTest::keyClick(edit, Qt::Key_Space);
        QCOMPARE(edit->text(), QStringLiteral(" "));
        QVERIFY(!window->infoBar()->isHidden());

        // F1 and Shift+F1 show the hot-key list once, also when pressed again over it.
        for (const auto modifiers : { Qt::NoModifier, Qt::ShiftModifier }) {
            ModalAnswer answer([modifiers](QWidget* list) {
                QTest::keyClick(list, Qt::Key_F1, modifiers);
                QTest::qWait(50);
                ModalAnswer::rejectDialog(list);
            });
            QTest::keyClick(window.get(), Qt::Key_F1, modifiers);
            QTest::qWait(200); // time for a second list, which must not come
            QCOMPARE(answer.dialogs().size(), 1);
        }
    }

    void germanTexts()
    {
        QTranslator german; // what TranslationCenter does for TEV_LANG=de_DE
        QVERIFY(german.load(QLocale("de_DE"), "recview", "_", ":/translations")
            && QCoreApplication::installTranslator(&german));
        auto window = makeWindow();
        const QString noRecording = window->plot()->message().section('\n', 0, 0);
        const QString file = m_files.filePath(QStringLiteral("german.rec"));
        writeInPlace(file, fileBytes(m_rec));
        run(window.get(), QStringLiteral("open peak level end 6/2 back"), file);
        const QStringList texts { noRecording, window->viewMenu()->title(),
            window->replayMenu()->title(), window->plot()->legendEntries().join('|'),
            window->statusBar()->findChild<QLabel*>()->text(), // the frame's state, made first
            window->warning(), window->statusBar()->currentMessage(),
            window->replayActions().at(0)->objectName() };
        QCoreApplication::removeTranslator(&german);
        QCOMPARE(texts,
            QStringList({ "Keine Aufzeichnung geladen", "&Ansicht", "&Wiedergabe",
                "Sweep|Spitzenwerte|Pegellinie", "Angehalten",
                "Aufzeichnung unvollständig: 2 von 6 Sweeps",
                "Die Aufzeichnung ist während der Anzeige geschrumpft: die Wiedergabe endet bei "
                "ihrem letzten vollständigen Sweep, 2",
                "Play" }));
    }
};

QTEST_MAIN(TestRecView)
#include "tst_recview.moc"
