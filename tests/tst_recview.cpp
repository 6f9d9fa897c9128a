#include "httpserver.h"
#include "modaldialog.h"
#include "testenvironment.h"

#include <dialogs/talvohelpmenu.h>
#include <guicentral/guicentral.h>
#include <values/tree.h>
#include <values/valueselection.h>
#include <valuewidgets/vcbutton.h>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QTranslator>
#include <QtEndian>
#include <QtTest>

#include <creplaybar.h>
#include <csettings.h>
#include <memory>
#include <recviewwindow.h>
#include <samplegenerator.h>
#include <sweepplot.h>
#include <valueselmenu.h>

namespace {
constexpr int kSweeps = 6;
constexpr int kLevels = 16;
constexpr int kSweepBytes = 8 + 4 * kLevels; // a time stamp and the levels
enum { S = int(ReplayEngine::Mode::Stopped), P, F }; // the engine's modes, in its order

// A replay script: the recording at open ("announced/held[+bytes]"; empty: none) and the words
// run on it (see TestRecView::run), with what must follow.
struct Replay
{
    QString file;
    QString script;
    QString frames; // the sweeps shown while the script runs (playing on: the first ones)
    int mode;
    QString warning = QString(); // the cut-short warning's "n of m"
    QString message = QString(); // part of the status bar's word that the replay was cut
};
} // namespace
Q_DECLARE_METATYPE(Replay)

namespace {
// Opens the frame's protected parts to the tests.
class Window : public RecViewWindow
{
public:
    explicit Window(const QString& root)
        : RecViewWindow(QStringLiteral("App"), QStringLiteral("recview"), root)
    { }
    using CFrameMainWnd::m_currentFile;
    using CFrameMainWnd::m_fileLoaded;
    using CFrameMainWnd::m_settings;
    using CFrameMainWnd::m_statusLabel;
    using RecViewWindow::load;
};

// Writes in place, as a recorder does: a reader that holds the file open sees the change.
void writeInPlace(const QString& path, const QByteArray& data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QCOMPARE(file.write(data), qint64(data.size()));
    QVERIFY(file.resize(data.size()));
}

// `whole` with the header announcing `spec`'s "announced/held[+bytes]" and that much written.
QByteArray cut(const QByteArray& whole, const QString& spec)
{
    const QStringList numbers = spec.split(QRegularExpression(QStringLiteral("[/+]")));
    QByteArray data = whole.left(int(Recording2::iREC_HEADER_BYTES)
        + numbers.at(1).toInt() * kSweepBytes + numbers.value(2).toInt());
    qToLittleEndian(numbers.at(0).toUInt(), data.data() + 20);
    return data;
}

QVector<int> indexes(const QString& list)
{
    QVector<int> result;
    for (const QString& index : list.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        result << index.toInt();
    return result;
}

// True when `field` shows its whole text: with the cursor moved from the start to the end, the
// text has not scrolled, so the cursor went exactly the text's width.
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

// Keys reach a window's shortcuts and its hot keys only while it is the active one.
void activate(QWidget* window)
{
    window->show();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
}
} // namespace

class TestRecView : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestConfigDir> m_config;
    QTemporaryDir m_files;
    QString m_beta; // 6 sweeps, 430-432 MHz
    QVector<Recording2::CSweep> m_sweeps; // its sweeps
    int m_roots = 0;

    QString path(const QString& name) const { return m_files.filePath(name); }

    std::unique_ptr<Window> makeWindow(const QString& file = QString())
    {
        auto window = std::make_unique<Window>(QStringLiteral("/RecViewTest%1").arg(++m_roots));
        window->initialize(true);
        window->engine()->setIntervals(2, 1);
        if (!file.isEmpty() && !window->openFile(file))
            qWarning("cannot open %s: %s", qPrintable(file), qPrintable(window->lastError()));
        return window;
    }

    QString write(const QByteArray& device, double lowestHz, double highestHz,
        QVector<Recording2::CSweep>* written = nullptr)
    {
        SampleGenerator::Description description;
        description.deviceName = device;
        description.lowestHz = lowestHz;
        description.highestHz = highestHz;
        description.levelsPerSweep = kLevels;
        description.sweepCount = kSweeps;
        description.peaks = { { lowestHz + 1e6, 0.5e6, 40.0, 0.1e6 } };
        Recording2::CHeaderData header;
        QVector<Recording2::CSweep> sweeps;
        SampleGenerator::generate(description, header, sweeps);
        if (written)
            *written = sweeps;
        const QString file = path(QString::number(qHash(device)) + QStringLiteral(".rec"));
        return Recording2::WriteRecording(file, header, sweeps) ? file : QString();
    }

    // Lower-case words click the bar's buttons, upper-case ones press the Replay menu's keys,
    // "a/h" rewrites `file` in place as cut() does, "empty" empties it, "open" opens it again,
    // "quiet" puts the level line above every level.
    void run(RecViewWindow* window, const QString& script, const QString& file = QString())
    {
        static const QHash<QString, QString> names { { "begin", "Goto Begin" },
            { "back", "Step Rewind" }, { "play", "Play" }, { "fplay", "Fast Play" },
            { "fwd", "Step Forward" }, { "end", "Goto End" }, { "stop", "Stop" },
            { "wrap", "Wrap to Begin" }, { "auto", "Auto Play" }, { "peak", "Peak Hold" },
            { "level", "Level Detect" } };
        for (const QString& word : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (word.contains(QLatin1Char('/')) || word == QLatin1String("empty")) {
                writeInPlace(
                    file, word.contains('/') ? cut(fileBytes(m_beta), word) : QByteArray());
            } else if (word == QLatin1String("open")) {
                QVERIFY(window->openFile(file));
            } else if (word == QLatin1String("quiet")) {
                window->engine()->setLevelThreshold(100);
            } else if (word == word.toUpper()) {
                QTest::keySequence(window,
                    window->replayMenu()
                        ->findChild<QAction*>(names.value(word.toLower()))
                        ->shortcut());
            } else {
                auto* button = window->replayBar()->findChild<VCButton*>(names.value(word));
                QVERIFY2(button && button->isEnabled(), qPrintable(word));
                button->click();
            }
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_files.isValid());
        // Brings in the catalogue resource of the viewer's static library for the German test.
        RecViewWindow::installTranslations();
        m_beta = write("Beta", 430e6, 432e6, &m_sweeps);
        QVERIFY(!m_beta.isEmpty());
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
        QTest::newRow("none") << QString() << 0 << longName << "2483.5 MHz";
        QTest::newRow("Hz, then kHz") << "2 1" << 1 << QByteArray("A") << "2483500 kHz";
        QTest::newRow("the checked one again") << "2 2" << 2 << longName << "2483500000 Hz";
        QTest::newRow("round") << "1 2 0" << 0 << QByteArray("A") << "2483.5 MHz";
    }
    void unitsAndFields()
    {
        QFETCH(QString, entries);
        QFETCH(int, checked);
        QFETCH(QByteArray, device);
        QFETCH(QString, freqMax);
        const QString file = write(device, 2.4e9, 2.4835e9);
        auto first = makeWindow();
        for (int entry : indexes(entries))
            first->viewMenu()->actions().at(entry)->trigger();
        first.reset(); // the second window reads the unit the first one kept
        auto window = makeWindow(file);
        const QList<QAction*> units = window->viewMenu()->actions();
        for (int entry = 0; entry < units.size(); ++entry)
            QCOMPARE(units.at(entry)->isChecked(), entry == checked);
        QCOMPARE(window->windowTitle(), "App - [" + file + ']');
        QCOMPARE(window->m_fileLoaded->GetStringValue(), QStringLiteral("On"));
        QCOMPARE(window->infoBar()->freqmax()->text(), freqMax);
        QCOMPARE(window->plot()->axisEndLabels().last(), freqMax.section(' ', 0, 0));
        units.at((checked + 1) % 3)->trigger(); // the panel follows, and still fits
        QVERIFY(window->infoBar()->freqmax()->text() != freqMax);
        const CInfoBar* panel = window->infoBar();
        const QList<QPair<QLineEdit*, int>> fields = { { panel->deviceName(), 70 },
            { panel->deviceType(), 70 }, { panel->starttime(), 130 }, { panel->stoptime(), 130 },
            { panel->freqmin(), 100 }, { panel->freqmax(), 100 } };
        for (const auto& [field, libraryWidth] : fields) {
            QVERIFY2(showsWholeText(field), qPrintable(field->objectName() + ": " + field->text()));
            // Widened where needed, never narrower than the panel made it.
            QVERIFY(field->width() >= libraryWidth);
            if (field->fontMetrics().horizontalAdvance(field->text()) < libraryWidth / 2)
                QCOMPARE(field->width(), libraryWidth);
        }
    }

    void refusesABadFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason"); // part of the reader's reason the box must name
        QTest::addColumn<bool>("loadedBefore");
        const QByteArray data = fileBytes(m_beta);
        bool loadedBefore = false;
        const auto row = [&](const char* name, const QByteArray& bytes, const char* reason) {
            QTest::newRow(name) << bytes << QString(reason) << (loadedBefore = !loadedBefore);
        };
        row("header cut", data.left(60), "truncated");
        row("no complete sweep", cut(data, "6/0+71"), "holds 0 of 6 announced sweeps");
        // Damaged and cut short: the header decides.
        row("levels", QByteArray(data).replace(8, 4, QByteArray(4, '\0')).left(500),
            "0 levels per sweep");
        row("frequencies", QByteArray(data).replace(12, 4, "\xff\xff\xff\x7f", 4), "frequency");
        row("bytes after the end", data + QByteArray(kSweepBytes / 2, '\0'), "after the last");
        row("foreign", QByteArray("\x89PNG\r\n\x1a\n").append(200, 'x'), "wrong magic number");
        row("version", QByteArray(data).replace(4, 1, "\x02"), "version 2");
        row("missing", QByteArray(), "cannot open");
    }
    void refusesABadFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QFETCH(bool, loadedBefore);
        const QString bad = path(QStringLiteral("bad-%1.rec").arg(QTest::currentDataTag()));
        if (!bytes.isEmpty())
            writeInPlace(bad, bytes);
        auto window = makeWindow(loadedBefore ? m_beta : QString());
        run(window.get(), loadedBefore ? "fwd" : "");
        const QString title = window->windowTitle();
        ModalAnswer answer(ModalAnswer::pressButton(QStringLiteral("OK")));
        QVERIFY(!window->load(bad, QString(), true));
        QVERIFY2(answer.seen() && answer.dialog().text.contains(reason), qPrintable(reason));
        QVERIFY(answer.dialog().text.contains(bad));
        // Nothing changed: the window shows what it showed.
        QCOMPARE(window->windowTitle(), title);
        QVERIFY(!window->m_settings->recentFiles().contains(bad));
        QCOMPARE(window->m_currentFile, loadedBefore ? m_beta : QString());
        QCOMPARE(window->engine()->sweepCount(), loadedBefore ? kSweeps : 0);
        QCOMPARE(window->engine()->currentIndex(), loadedBefore ? 1 : -1);
    }

    void replay_data()
    {
        QTest::addColumn<Replay>("row");
        const auto row
            = [](const char* name, const Replay& replay) { QTest::newRow(name) << replay; };
        row("steps", { "6/6", "back fwd fwd back end fwd begin", "1 2 1 5 0", S });
        row("steps stop play", { "6/6", "play fwd fplay begin", "1 0", S });
        row("play twice pauses", { "6/6", "play play", "", S });
        row("play, fast play", { "6/6", "play fplay", "", F });
        row("plays to the end", { "6/6", "fwd fwd play", "1 2 3 4 5", S });
        row("play at the end starts over", { "6/6", "end fplay", "5 0 1 2 3 4 5", S });
        row("play, wrap", { "6/6", "wrap play", "1 2 3 4 5 0 1", P });
        row("fast play from the end, wrap", { "6/6", "wrap end fplay", "5 0 1 2 3 4 5 0", F });
        row("auto play on load", { "6/6", "auto end open", "5 0", P });
        row("no auto play on load", { "6/6", "end open", "5 0", S });
        // The Replay menu's keys press the bar's buttons.
        row("play key", { "6/6", "PLAY", "", P });
        row("play key again pauses", { "6/6", "play PLAY", "", S });
        row("fast play key", { "6/6", "FPLAY", "", F });
        row("stop key", { "6/6", "fplay STOP", "", S });
        row("step keys", { "6/6", "END BACK BEGIN FWD", "5 4 0 1", S });
        row("keys need a recording", { "", "END PLAY", "", S });
        // Cut short: the complete sweeps show, with a warning.
        row("cut inside the last sweep", { "6/5+65", "end", "4", S, "5 of 6" });
        row("one sweep and a bit", { "6/1+1", "fwd play", "", S, "1 of 6" });
        row("an absurd count", { "4294967295/6", "end", "5", S, "6 of 4294967295" });
        // A recording written on or cut while shown.
        row("written on, step past the end", { "6/3", "end 6/6 fwd", "2 3", S });
        row("count raised, go to the end", { "3/3", "end 6/6 end", "2 5", S });
        row("written on, play past the end", { "6/3", "end 6/5 play", "2 3 4", S, "5 of 6" });
        row("cut, step past the end", { "6/6", "end 6/3 fwd", "5 2", S, "3 of 6", "shrank" });
        row("cut, step back", { "6/6", "end 6/3 back", "5 2", S, "3 of 6", "shrank" });
        row("cut while playing", { "6/6", "end back 6/3 fplay", "5 4 2", S, "3 of 6", "shrank" });
        row("count lowered to none", { "6/6", "fwd 0/0 end", "1 -1", S, "", "no complete sweep" });
        row("emptied",
            { "6/6", "fwd empty end play", "1 -1", S, "0 of 6", "stopped: not a recording" });
    }
    void replay()
    {
        QFETCH(Replay, row);
        const QString file = path(QStringLiteral("replay.rec"));
        QFile::remove(file);
        if (!row.file.isEmpty())
            writeInPlace(file, cut(fileBytes(m_beta), row.file));
        auto window = makeWindow(row.file.isEmpty() ? QString() : file);
        ReplayEngine* engine = window->engine();
        const QVector<int> frames = indexes(row.frames);
        const bool playsOn = row.mode != S; // the first frames, then still playing
        // Only a wrapping replay runs on; the other playing rows are checked as they start.
        if (playsOn && !row.script.contains(QLatin1String("wrap")))
            engine->setIntervals(60000, 60000);
        if (row.script != row.script.toLower())
            activate(window.get());
        QSignalSpy shown(engine, &ReplayEngine::frameChanged);
        run(window.get(), row.script, file);
        QTRY_VERIFY(playsOn ? shown.size() >= frames.size()
                            : engine->mode() == ReplayEngine::Mode::Stopped);
        QVector<int> seen;
        for (const QList<QVariant>& frame : shown)
            seen << frame.at(0).toInt();
        QCOMPARE(playsOn ? seen.mid(0, frames.size()) : seen, frames);
        QCOMPARE(int(engine->mode()), row.mode);
        QCOMPARE(window->warning(),
            row.warning.isEmpty() ? QString() : "Recording cut short: " + row.warning + " sweeps");
        const QString message = window->statusBar()->currentMessage(); // the frame's: "Ready"
        QCOMPARE(message.isEmpty() || message == QLatin1String("Ready"), row.message.isEmpty());
        QVERIFY2(message.contains(row.message), qPrintable(message));
        const int index = frames.isEmpty() ? (row.file.isEmpty() ? -1 : 0) : frames.last();
        if (playsOn)
            return;
        QCOMPARE(engine->currentIndex(), index);
        if (index < 0)
            return;
        // Read from where the sweep lies in the file, also after it changed.
        const QVector<float>& levels = m_sweeps.at(index).levels;
        QCOMPARE(engine->currentSweep()->levels, levels);
        const float highest = *std::max_element(levels.cbegin(), levels.cend());
        QVERIFY(window->readout().contains(QString::number(double(highest), 'f', 1)));
    }

    void displaySwitches_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("held"); // the sweeps in the peak hold
        QTest::addColumn<QString>("legend");
        const auto row = [](const char* script, const char* held, const char* legend) {
            QTest::newRow(*script ? script : "nothing")
                << QString(script) << QString(held) << QString(legend);
        };
        row("", "", "Sweep");
        row("peak fwd fwd", "0 1 2", "Sweep|Peak hold");
        row("peak end", "0 5", "Sweep|Peak hold");
        row("peak fwd peak peak fwd", "1 2", "Sweep|Peak hold"); // off clears it
        row("level", "", "Sweep|Level line");
        row("quiet level peak", "0", "Sweep|Peak hold|Level line");
    }
    void displaySwitches()
    {
        QFETCH(QString, script);
        QFETCH(QString, held);
        QFETCH(QString, legend);
        auto window = makeWindow(m_beta);
        run(window.get(), script);
        QVector<float> expected;
        for (int sweep : indexes(held)) {
            if (expected.isEmpty())
                expected = m_sweeps.at(sweep).levels;
            for (int i = 0; i < kLevels; ++i)
                expected[i] = std::max(expected[i], m_sweeps.at(sweep).levels.at(i));
        }
        QCOMPARE(window->engine()->peakLevels(), expected);
        QCOMPARE(window->plot()->legendEntries().join('|'), legend);
        // The level line lies below the recording's peaks unless it was raised above them.
        QCOMPARE(window->readout().contains(QStringLiteral("above the level line")),
            legend.contains(QStringLiteral("Level")) && !script.contains(QStringLiteral("quiet")));
    }

    void menusAndKeysCollideNowhere()
    {
        auto window = makeWindow();
        QSet<QKeySequence> frameKeys; // its hot keys, its entries' shortcuts, the mnemonics
        for (const GuiCentral::HotKey& key : GuiCentral::Instance().HotKeys()) {
            if (!window->replayHotKeyIds().contains(key.id))
                frameKeys << key.key;
        }
        for (QAction* action : window->findChildren<QAction*>()) {
            if (!window->replayActions().contains(action))
                frameKeys << action->shortcut();
        }
        for (QAction* menu : window->menuBar()->actions())
            frameKeys << QKeySequence::mnemonic(menu->text());
        QVERIFY(frameKeys.contains(QKeySequence(Qt::Key_Space)));
        QVERIFY(frameKeys.contains(QKeySequence(Qt::ALT | Qt::Key_F4)));
        QSet<QKeySequence> replayKeys;
        for (QAction* action : window->replayActions()) {
            QVERIFY2(!frameKeys.contains(action->shortcut()), qPrintable(action->objectName()));
            replayKeys << action->shortcut();
            auto* button = window->replayBar()->findChild<VCButton*>(action->objectName());
            QVERIFY(button->toolTip().contains(action->shortcut().toString()));
        }
        QCOMPARE(replayKeys.size(), window->replayActions().size());
        // The viewer's About sits beside About Qt.
        auto* help = window->findChild<TalvoHelpMenu*>();
        const QList<QAction*> entries = help->actions();
        QCOMPARE(entries.value(entries.indexOf(window->aboutAction()) + 1), help->aboutQtAction());
    }

    void frameKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("presses");
        QTest::addColumn<bool>("typing"); // the focus is in a text field
        QTest::newRow("Space") << int(Qt::Key_Space) << 1 << false;
        QTest::newRow("Space twice") << int(Qt::Key_Space) << 2 << false;
        QTest::newRow("Space typed in a text field") << int(Qt::Key_Space) << 1 << true;
        QTest::newRow("F1") << int(Qt::Key_F1) << 1 << false;
        QTest::newRow("Shift+F1") << (int(Qt::SHIFT) | Qt::Key_F1) << 1 << false;
    }
    void frameKeys()
    {
        QFETCH(int, key);
        QFETCH(int, presses);
        QFETCH(bool, typing);
        const auto modifiers = Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask);
        auto window = makeWindow(m_beta);
        auto* edit = new QLineEdit;
        window->statusBar()->addPermanentWidget(edit);
        activate(window.get());
        if (typing) {
            edit->setFocus();
            QTRY_VERIFY(edit->hasFocus());
        }
        QStringList keys;
        ModalAnswer answer([&](QWidget* dialog) {
            if (auto* table = dialog->findChild<QTableWidget*>()) {
                for (int row = 0; row < table->rowCount(); ++row)
                    keys << table->item(row, 0)->text();
            }
            // Pressed again over the list, the key must not stack a second list on it.
            QTest::keyClick(dialog, Qt::Key_F1, modifiers);
            QTest::qWait(50);
            ModalAnswer::rejectDialog(dialog);
        });
        for (int i = 0; i < presses; ++i)
            QTest::keyClick(typing ? static_cast<QWidget*>(edit) : window.get(),
                Qt::Key(key & ~Qt::KeyboardModifierMask), modifiers);
        QTest::qWait(200); // time for a list, or a second one, which must not come
        const bool space = key == Qt::Key_Space;
        QCOMPARE(answer.dialogs().size(), space ? 0 : 1);
        QCOMPARE(window->infoBar()->isHidden(), space && !typing && presses % 2 == 1);
        QCOMPARE(edit->text(), QString(typing ? presses : 0, QLatin1Char(' ')));
        QCOMPARE(
            keys.contains(QKeySequence(Qt::Key_Right).toString(QKeySequence::NativeText)), !space);
    }

    void opensAnArchiveRecording()
    {
        QTemporaryDir served;
        QTemporaryDir cache;
        QVERIFY(QFile::copy(m_beta, served.filePath(QStringLiteral("beta.rec"))));
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
        QCOMPARE(window->m_settings->recentFiles(), QStringList { url });
        QCOMPARE(window->engine()->sweepCount(), kSweeps);
    }

    void engineEndsItsValues()
    {
        auto first = std::make_unique<ReplayEngine>(QStringLiteral("/Shared"));
        CReplayBar bar(nullptr, "Replay Operations", first->valuePrefix());
        // A second engine on the same root shares the values and leaves them to their owner.
        std::make_unique<ReplayEngine>(QStringLiteral("/Shared")).reset();
        QVERIFY(values::Tree::Instance()->FindValue(QStringLiteral("/Shared/Replay/modi")));
        QVERIFY(bar.findChild<VCButton*>("Stop")->GetValueSelection());
        first.reset();
        QVERIFY(!values::Tree::Instance()->FindValue(QStringLiteral("/Shared/Replay/peakhold")));
        for (VCButton* button : bar.findChildren<VCButton*>())
            QVERIFY2(!button->GetValueSelection(), qPrintable(button->objectName()));
    }

    void samplesAreDeterministic()
    {
        QTemporaryDir one;
        QTemporaryDir two;
        const QStringList first = SampleGenerator::writeDemoSamples(one.path());
        QVERIFY(!first.isEmpty());
        QCOMPARE(SampleGenerator::writeDemoSamples(two.path()).size(), first.size());
        for (const QString& file : first)
            QCOMPARE(fileBytes(file), fileBytes(QString(file).replace(one.path(), two.path())));
    }

    void germanTexts()
    {
        // What TranslationCenter does for TEV_LANG=de_DE.
        QTranslator german;
        QVERIFY(german.load(QLocale(QStringLiteral("de_DE")), QStringLiteral("recview"),
            QStringLiteral("_"), QStringLiteral(":/translations")));
        QVERIFY(QCoreApplication::installTranslator(&german));
        auto window = makeWindow();
        const QString noRecording = window->plot()->message().section('\n', 0, 0);
        const QString file = path(QStringLiteral("german.rec"));
        QVERIFY(QFile::copy(m_beta, file));
        QVERIFY(window->openFile(file));
        run(window.get(), QStringLiteral("peak level end 6/2 back"), file);
        const QStringList texts { noRecording, window->viewMenu()->title(),
            window->replayMenu()->title(), window->plot()->legendEntries().join('|'),
            window->m_statusLabel->text(), window->warning(), window->statusBar()->currentMessage(),
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
