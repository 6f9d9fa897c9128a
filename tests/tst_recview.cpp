#include "httpserver.h"
#include "modaldialog.h"
#include "testenvironment.h"

#include <dialogs/talvohelpmenu.h>
#include <guicentral/guicentral.h>
#include <recording/recfile.h>
#include <values/tree.h>
#include <values/valueselection.h>
#include <valuewidgets/vcbutton.h>

#include <QAction>
#include <QActionGroup>
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
#include <replayengine.h>
#include <samplegenerator.h>
#include <sweepplot.h>
#include <valueselmenu.h>

namespace {

constexpr int kSweeps = 6;
constexpr int kLevels = 16;
constexpr int kSweepBytes = 8 + 4 * kLevels; // a time stamp and the levels

// Opens the frame's protected parts to the tests.
class Window : public RecViewWindow
{
public:
    explicit Window(const QString& root)
        : RecViewWindow(QStringLiteral("App"), QStringLiteral("recview"), root)
    { }
    using CFrameMainWnd::m_currentFile;
    using CFrameMainWnd::m_displayHotKeysId;
    using CFrameMainWnd::m_fileLoaded;
    using CFrameMainWnd::m_resultPanelHotKeyId;
    using CFrameMainWnd::m_saveAsAction;
    using CFrameMainWnd::m_settings;
    using CFrameMainWnd::m_statusLabel;
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

// True when `field` shows its whole text: with the cursor moved from the start to the end, the
// text has not scrolled, so the cursor went exactly the text's width.
bool showsWholeText(QLineEdit* field)
{
    field->setCursorPosition(0);
    field->grab(); // a paint works out the scrolling
    const int start = field->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    field->setCursorPosition(field->text().size());
    field->grab();
    const int end = field->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    return std::abs(end - start - field->fontMetrics().horizontalAdvance(field->text())) <= 1;
}

// Keys reach a window's shortcuts and its hot keys only while it is the active one.
void activate(QWidget* window)
{
    window->show();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
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

    void writeRecording(const SampleGenerator::Description& description)
    {
        Recording2::CHeaderData header;
        QVector<Recording2::CSweep> sweeps;
        SampleGenerator::generate(description, header, sweeps);
        QString error;
        QVERIFY2(Recording2::WriteRecording(path(description.fileName), header, sweeps, &error),
            qPrintable(error));
    }

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
        // Brings in the catalogue resource of the viewer's static library for the German test.
        RecViewWindow::installTranslations();
        for (const auto& description :
            { smallRecording("Alpha", 88e6), smallRecording("Beta", 430e6) })
            writeRecording(description);
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
        QTest::newRow("default MHz") << -1 << "430 MHz"
                                     << "432 MHz";
        QTest::newRow("kHz") << 1 << "430000 kHz"
                             << "432000 kHz";
        QTest::newRow("Hz") << 2 << "430000000 Hz"
                            << "432000000 Hz";
        QTest::newRow("back to MHz") << 0 << "430 MHz"
                                     << "432 MHz";
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
        for (QAction* action : window->replayActions())
            QVERIFY2(!action->isEnabled(), qPrintable(action->objectName()));
        QCOMPARE(
            window->plot()->message().section('\n', 0, 0), QStringLiteral("No recording loaded"));
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
        QVERIFY(window->warning().isEmpty());
        QVERIFY(window->plot()->message().isEmpty());
        QCOMPARE(window->infoBar()->deviceName()->text(), QStringLiteral("Beta"));
        QCOMPARE(window->infoBar()->deviceType()->text(), QStringLiteral("T-Beta"));
        QCOMPARE(window->infoBar()->starttime()->text(), QStringLiteral("2024-03-01 12:00:00.000"));
        QCOMPARE(window->infoBar()->freqmin()->text(), freqMin);
        QCOMPARE(window->infoBar()->freqmax()->text(), freqMax);
        QCOMPARE(window->plot()->axisEndLabels(),
            QStringList({ freqMin.section(' ', 0, 0), freqMax.section(' ', 0, 0) }));
        QVERIFY(window->infoBar()->deviceName()->isEnabled());
        for (VCButton* button : window->replayBar()->findChildren<VCButton*>())
            QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));
        for (QAction* action : window->replayActions())
            QVERIFY2(action->isEnabled(), qPrintable(action->objectName()));
        QCOMPARE(window->engine()->sweepCount(), kSweeps);
        QCOMPARE(window->engine()->currentIndex(), 0);
        // The status bar tells what the plot does not: the numbers of the highest point.
        const QVector<float>& first = window->engine()->sweeps().first().levels;
        const float highest = *std::max_element(first.cbegin(), first.cend());
        QVERIFY2(window->readout().contains(QString::number(double(highest), 'f', 1)),
            qPrintable(window->readout()));
        QVERIFY(!window->readout().contains(QStringLiteral("Sweep")));

        // The unit can change after the load; the panel and the axis follow it.
        const int other = unit == 2 ? 0 : 2;
        window->viewMenu()->actions().at(other)->trigger();
        QCOMPARE(int(window->frequencyUnit()), other);
        QVERIFY(window->infoBar()->freqmin()->text() != freqMin);
        QVERIFY(window->plot()->axisEndLabels().first() != freqMin.section(' ', 0, 0));
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

    void unitEntriesAreExclusive_data()
    {
        QTest::addColumn<QString>("entries"); // View entries triggered, in order
        QTest::addColumn<int>("checked");
        QTest::newRow("none") << "" << 0;
        QTest::newRow("kHz") << "1" << 1;
        QTest::newRow("Hz, then kHz") << "2 1" << 1;
        QTest::newRow("the checked one again stays") << "2 2" << 2;
        QTest::newRow("round") << "1 2 0" << 0;
    }
    void unitEntriesAreExclusive()
    {
        QFETCH(QString, entries);
        QFETCH(int, checked);
        auto window = makeWindow();
        QCOMPARE(
            QKeySequence::mnemonic(window->viewMenu()->title()), QKeySequence(Qt::ALT | Qt::Key_V));
        const QList<QAction*> units = window->viewMenu()->actions();
        QCOMPARE(units.size(), 3);
        // An exclusive group is what makes the style draw radio marks.
        QActionGroup* group = units.first()->actionGroup();
        QVERIFY(group);
        QVERIFY(group->isExclusive());
        for (QAction* unit : units)
            QCOMPARE(unit->actionGroup(), group);
        for (const QString& entry : entries.split(' ', Qt::SkipEmptyParts))
            units.at(entry.toInt())->trigger();
        for (int entry = 0; entry < units.size(); ++entry)
            QCOMPARE(units.at(entry)->isChecked(), entry == checked);
        QCOMPARE(int(window->frequencyUnit()), checked);
    }

    void frequencyNumber_data()
    {
        QTest::addColumn<double>("hz");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("text");
        // Recordings hold floats: the float nearest 2.4835 GHz is 2483500032 Hz.
        const double ism = double(2.4835e9f);
        QCOMPARE(ism, 2483500032.0);
        QTest::newRow("float noise, MHz") << ism << "MHz"
                                          << "2483.5";
        QTest::newRow("float noise, kHz") << ism << "kHz"
                                          << "2483500";
        QTest::newRow("float noise, Hz") << ism << "Hz"
                                         << "2483500000";
        QTest::newRow("433.92 MHz") << double(433.92e6f) << "MHz"
                                    << "433.92";
        QTest::newRow("433.92 MHz in kHz") << double(433.92e6f) << "kHz"
                                           << "433920";
        QTest::newRow("87.5 MHz") << double(87.5e6f) << "MHz"
                                  << "87.5";
        QTest::newRow("whole MHz") << double(108e6f) << "MHz"
                                   << "108";
        QTest::newRow("below a MHz") << 9000.0 << "MHz"
                                     << "0.009";
        QTest::newRow("1 Hz in MHz") << 1.0 << "MHz"
                                     << "0.000001";
        QTest::newRow("zero") << 0.0 << "kHz"
                              << "0";
        QTest::newRow("an unknown unit is Hz") << double(2.4835e9f) << "GHz"
                                               << "2483500000";
    }
    void frequencyNumber()
    {
        QFETCH(double, hz);
        QFETCH(QString, unit);
        QFETCH(QString, text);
        QCOMPARE(SweepPlot::frequencyNumber(hz, unit), text);
    }

    void infoFieldsFitTheirText_data()
    {
        QTest::addColumn<QByteArray>("device");
        QTest::addColumn<int>("unit");
        QTest::addColumn<bool>("viewer"); // false: the bare panel, to show what is fitted
        QTest::newRow("long name, MHz")
            << QByteArray("Receiver on the north mast #12") << 0 << true;
        QTest::newRow("long name, Hz") << QByteArray("Receiver on the north mast #12") << 2 << true;
        QTest::newRow("short name, Hz") << QByteArray("A") << 2 << true;
        QTest::newRow("bare panel") << QByteArray("Receiver on the north mast #12") << 2 << false;
    }
    void infoFieldsFitTheirText()
    {
        QFETCH(QByteArray, device);
        QFETCH(int, unit);
        QFETCH(bool, viewer);
        SampleGenerator::Description description = smallRecording(device, 2.4e9);
        description.fileName = QStringLiteral("fit.rec");
        description.highestHz = 2.4835e9;
        writeRecording(description);

        if (!viewer) {
            Recording2::CHeaderData header;
            QVector<Recording2::CSweep> sweeps;
            SampleGenerator::generate(description, header, sweeps);
            CInfoBar bare;
            bare.setHeaderData(&header, CInfoBar::eUnit(unit));
            QVERIFY(!showsWholeText(bare.deviceName()));
            QVERIFY(!showsWholeText(bare.freqmax()));
            return;
        }
        auto window = makeWindow();
        window->viewMenu()->actions().at(unit)->trigger();
        QVERIFY(window->openFile(path(description.fileName)));
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
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("loadedBefore");
        for (const char* damage : { "header cut", "no complete sweep", "levels", "frequencies",
                 "bytes after the end", "foreign", "version", "missing" }) {
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
        if (damage == QLatin1String("header cut"))
            writeAll(bad, data.left(60));
        else if (damage == QLatin1String("no complete sweep"))
            writeAll(bad, data.left(Recording2::iREC_HEADER_BYTES + kSweepBytes - 1));
        else if (damage == QLatin1String("levels")) // and cut short: the header decides
            writeAll(bad, data.replace(8, 4, QByteArray(4, '\0')).left(data.size() - 7));
        else if (damage == QLatin1String("frequencies"))
            writeAll(bad, data.replace(12, 4, QByteArray("\xff\xff\xff\x7f", 4)).left(500));
        else if (damage == QLatin1String("bytes after the end"))
            writeAll(bad, data + QByteArray(kSweepBytes / 2, '\0'));
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
        const QString message = window->plot()->message();

        ModalAnswer answer(ModalAnswer::pressButton(QStringLiteral("OK")));
        QVERIFY(!window->load(bad, QString(), true));
        QVERIFY(answer.seen());
        QCOMPARE(answer.dialog().title, QStringLiteral("Recording Error"));
        QVERIFY2(answer.dialog().text.contains(reason), qPrintable(answer.dialog().text));
        QVERIFY(answer.dialog().text.contains(bad));
        QCOMPARE(window->lastError(), reason);

        QCOMPARE(window->windowTitle(), title);
        QCOMPARE(window->infoBar()->deviceName()->text(), device);
        QCOMPARE(window->plot()->message(), message);
        QCOMPARE(message.isEmpty(), loadedBefore);
        QVERIFY(window->warning().isEmpty());
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

    void opensARecordingCutShort_data()
    {
        QTest::addColumn<qint64>("size"); // bytes kept of the recording
        QTest::addColumn<quint32>("announced"); // 0: as written
        QTest::addColumn<int>("complete");
        const qint64 whole = Recording2::iREC_HEADER_BYTES + kSweeps * kSweepBytes;
        QTest::newRow("inside the last sweep") << whole - 7 << 0u << kSweeps - 1;
        QTest::newRow("in a time stamp") << whole - kSweepBytes + 3 << 0u << kSweeps - 1;
        QTest::newRow("after three sweeps")
            << Recording2::iREC_HEADER_BYTES + 3 * kSweepBytes << 0u << 3;
        QTest::newRow("one sweep and a bit")
            << Recording2::iREC_HEADER_BYTES + kSweepBytes + 1 << 0u << 1;
        QTest::newRow("an absurd count") << whole << 0xffffffffu << kSweeps;
    }
    void opensARecordingCutShort()
    {
        QFETCH(qint64, size);
        QFETCH(quint32, announced);
        QFETCH(int, complete);
        QByteArray data = readAll(m_second).left(int(size));
        if (announced) {
            char count[4];
            qToLittleEndian(announced, count);
            data.replace(20, 4, count, 4);
        }
        const QString cut = path(QStringLiteral("cut.rec"));
        writeAll(cut, data);
        const QVector<Recording2::CSweep> expected = sweepsOf(smallRecording("Beta", 430e6));

        auto window = makeWindow();
        ModalAnswer unexpected(QList<ModalAnswer::Answer> {}, 200);
        QVERIFY(window->openFile(cut));
        QVERIFY(!unexpected.seen());
        QVERIFY(window->hasRecording());
        QCOMPARE(window->m_fileLoaded->GetStringValue(), QStringLiteral("On"));
        QCOMPARE(window->engine()->sweepCount(), complete);
        for (int i = 0; i < complete; ++i)
            QCOMPARE(window->engine()->sweeps().at(i).levels, expected.at(i).levels);
        QCOMPARE(window->warning(),
            QStringLiteral("Recording cut short: %1 of %2 sweeps")
                .arg(complete)
                .arg(announced ? announced : quint32(kSweeps)));
        QCOMPARE(window->infoBar()->deviceName()->text(), QStringLiteral("Beta"));
        window->engine()->gotoEnd();
        QCOMPARE(window->engine()->currentIndex(), complete - 1);

        // A whole recording after it clears the warning.
        QVERIFY(window->openFile(m_first));
        QVERIFY(window->warning().isEmpty());
        QCOMPARE(window->engine()->sweepCount(), kSweeps);
    }

    void replayKeys_data()
    {
        QTest::addColumn<QString>("button"); // the bar button the entry presses
        QTest::addColumn<QString>("before"); // bar presses first
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("mode"); // ReplayEngine::Mode
        const int stopped = int(ReplayEngine::Mode::Stopped);
        QTest::newRow("play") << "Play"
                              << "" << 0 << int(ReplayEngine::Mode::Playing);
        QTest::newRow("play again pauses") << "Play"
                                           << "play" << 0 << stopped;
        QTest::newRow("fast play") << "Fast Play"
                                   << "" << 0 << int(ReplayEngine::Mode::FastPlaying);
        QTest::newRow("stop") << "Stop"
                              << "fplay" << 0 << stopped;
        QTest::newRow("step forward") << "Step Forward"
                                      << "fwd" << 2 << stopped;
        QTest::newRow("step back") << "Step Rewind"
                                   << "end" << kSweeps - 2 << stopped;
        QTest::newRow("begin") << "Goto Begin"
                               << "end" << 0 << stopped;
        QTest::newRow("end") << "Goto End"
                             << "" << kSweeps - 1 << stopped;
    }
    void replayKeys()
    {
        QFETCH(QString, button);
        QFETCH(QString, before);
        QFETCH(int, index);
        QFETCH(int, mode);
        auto window = makeWindow();
        window->engine()->setIntervals(60000, 60000);
        QVERIFY(window->load(m_first, QString(), true));
        activate(window.get());

        // The frame's keys: its hot keys, its own entries' shortcuts, the menu mnemonics.
        QSet<QKeySequence> frameKeys;
        const QVector<int> ours = window->replayHotKeyIds();
        for (const GuiCentral::HotKey& key : GuiCentral::Instance().HotKeys()) {
            if (!ours.contains(key.id))
                frameKeys << key.key;
        }
        for (QAction* action : window->findChildren<QAction*>()) {
            if (!window->replayActions().contains(action) && !action->shortcut().isEmpty())
                frameKeys << action->shortcut();
        }
        for (QAction* menu : window->menuBar()->actions())
            frameKeys << QKeySequence::mnemonic(menu->text());
        for (const QKeySequence& key :
            { QKeySequence(Qt::Key_F1), QKeySequence(Qt::SHIFT | Qt::Key_F1),
                QKeySequence(Qt::Key_Space), QKeySequence(Qt::ALT | Qt::Key_F4),
                QKeySequence(Qt::CTRL | Qt::Key_O), QKeySequence(Qt::CTRL | Qt::Key_A) })
            QVERIFY2(frameKeys.contains(key), qPrintable(key.toString()));

        QAction* entry = nullptr;
        QSet<QKeySequence> replayKeys;
        for (QAction* action : window->replayActions()) {
            QVERIFY2(!action->shortcut().isEmpty(), qPrintable(action->objectName()));
            QVERIFY2(
                !frameKeys.contains(action->shortcut()), qPrintable(action->shortcut().toString()));
            replayKeys << action->shortcut();
            if (action->objectName() == button)
                entry = action;
        }
        QCOMPARE(replayKeys.size(), window->replayActions().size());
        QVERIFY(entry);
        const QKeySequence key = entry->shortcut();
        auto* target = window->replayBar()->findChild<VCButton*>(button);
        QVERIFY(target->toolTip().contains(key.toString(QKeySequence::NativeText)));
        // Listed in the hot-key list, so that Shift+F1 tells it.
        bool listed = false;
        for (const GuiCentral::HotKey& hotKey : GuiCentral::Instance().HotKeys())
            listed = listed || (ours.contains(hotKey.id) && hotKey.key == key && hotKey.listed);
        QVERIFY(listed);

        runWords(window->replayBar(), before);
        QTest::keySequence(window.get(), key);
        QCOMPARE(window->engine()->currentIndex(), index);
        QCOMPARE(int(window->engine()->mode()), mode);
    }

    void replayKeysNeedARecording()
    {
        auto window = makeWindow();
        activate(window.get());
        QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier);
        QTest::keyClick(window.get(), Qt::Key_End);
        QCOMPARE(window->engine()->mode(), ReplayEngine::Mode::Stopped);
        QCOMPARE(window->engine()->currentIndex(), -1);
    }

    void spaceTogglesThePanel_data()
    {
        QTest::addColumn<int>("presses");
        QTest::addColumn<bool>("typing"); // the focus is in a text field
        QTest::addColumn<bool>("hidden");
        QTest::newRow("once") << 1 << false << true;
        QTest::newRow("twice") << 2 << false << false;
        QTest::newRow("three times") << 3 << false << true;
        QTest::newRow("typing in a text field") << 1 << true << false;
    }
    void spaceTogglesThePanel()
    {
        QFETCH(int, presses);
        QFETCH(bool, typing);
        QFETCH(bool, hidden);
        auto window = makeWindow();
        QVERIFY(window->load(m_first, QString(), true));
        auto* edit = new QLineEdit;
        window->statusBar()->addPermanentWidget(edit);
        activate(window.get());
        QWidget* target = window.get();
        if (typing) {
            edit->setFocus();
            QTRY_VERIFY(edit->hasFocus());
            target = edit;
        }
        for (int i = 0; i < presses; ++i)
            QTest::keyClick(target, Qt::Key_Space);
        QCOMPARE(window->infoBar()->isHidden(), hidden);
        QCOMPARE(edit->text(), QString(typing ? presses : 0, QLatin1Char(' ')));
        // The frame's own answer to the id, for front ends that call it.
        if (!typing)
            QVERIFY(window->onHotKey(window->m_resultPanelHotKeyId));
    }

    void keysShowTheHotKeyList_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Shift+F1") << int(Qt::ShiftModifier);
        QTest::newRow("F1") << int(Qt::NoModifier);
    }
    void keysShowTheHotKeyList()
    {
        QFETCH(int, modifiers);
        auto window = makeWindow();
        activate(window.get());
        QStringList keys;
        ModalAnswer answer([&keys, modifiers](QWidget* dialog) {
            if (auto* table = dialog->findChild<QTableWidget*>()) {
                for (int row = 0; row < table->rowCount(); ++row)
                    keys << table->item(row, 0)->text();
            }
            // Pressed again over the list, the key must not stack a second list on it.
            QTest::keyClick(dialog, Qt::Key_F1, Qt::KeyboardModifiers(modifiers));
            QTest::qWait(50);
            ModalAnswer::rejectDialog(dialog);
        });
        QTest::keyClick(window.get(), Qt::Key_F1, Qt::KeyboardModifiers(modifiers));
        QTRY_VERIFY(answer.seen());
        QTest::qWait(100); // time for a second list, which must not come
        QCOMPARE(answer.dialogs().size(), 1);
        QCOMPARE(answer.dialog().objectName, QStringLiteral("HotKeysDialog"));
        for (const QKeySequence& key :
            { QKeySequence(Qt::SHIFT | Qt::Key_F1), QKeySequence(Qt::Key_Space),
                QKeySequence(Qt::CTRL | Qt::Key_P), QKeySequence(Qt::Key_Right) })
            QVERIFY2(
                keys.contains(key.toString(QKeySequence::NativeText)), qPrintable(keys.join('|')));
    }

    void aboutSitsBesideAboutQt()
    {
        auto window = makeWindow();
        auto* help = window->findChild<TalvoHelpMenu*>();
        QVERIFY(help);
        const QList<QAction*> entries = help->actions();
        const int about = entries.indexOf(window->aboutAction());
        QVERIFY(about >= 0);
        QCOMPARE(entries.value(about + 1), help->aboutQtAction());

        ModalAnswer answer(ModalAnswer::pressButton(QStringLiteral("OK")));
        window->aboutAction()->trigger();
        QVERIFY(answer.seen());
        QCOMPARE(answer.dialog().title, QStringLiteral("About Recording Viewer"));
        QVERIFY(answer.dialog().text.contains(RecViewWindow::version()));
        QVERIFY(!RecViewWindow::version().isEmpty());
    }

    void legendNamesWhatIsDrawn_data()
    {
        QTest::addColumn<QString>("presses");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("sweep only") << "" << QStringList { "Sweep" };
        QTest::newRow("peak hold") << "peak" << QStringList { "Sweep", "Peak hold" };
        QTest::newRow("level line") << "level" << QStringList { "Sweep", "Level line" };
        QTest::newRow("all") << "level peak" << QStringList { "Sweep", "Peak hold", "Level line" };
        QTest::newRow("peak hold off again")
            << "peak level peak" << QStringList { "Sweep", "Level line" };
    }
    void legendNamesWhatIsDrawn()
    {
        QFETCH(QString, presses);
        QFETCH(QStringList, entries);
        auto window = makeWindow();
        QVERIFY(window->plot()->legendEntries().isEmpty());
        QVERIFY(window->load(m_first, QString(), true));
        runWords(window->replayBar(), presses);
        QCOMPARE(window->plot()->legendEntries(), entries);
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

    void germanTexts()
    {
        // What TranslationCenter does for TEV_LANG=de_DE.
        QTranslator german;
        QVERIFY(german.load(QLocale(QStringLiteral("de_DE")), QStringLiteral("recview"),
            QStringLiteral("_"), QStringLiteral(":/translations")));
        QVERIFY(QCoreApplication::installTranslator(&german));
        auto window = makeWindow();
        const QString noRecording = window->plot()->message();
        const QString idle = window->m_statusLabel->text();
        QVERIFY(window->load(m_second, QString(), true));
        runWords(window->replayBar(), QStringLiteral("peak level"));
        const QString title = window->viewMenu()->title();
        const QString replay = window->replayMenu()->title();
        const QStringList legend = window->plot()->legendEntries();
        const QString state = window->m_statusLabel->text();
        const QString about = window->aboutAction()->text();
        const QString objectNames = window->viewMenu()->objectName() + '|'
            + window->replayMenu()->objectName() + '|'
            + window->replayActions().at(0)->objectName();
        QCoreApplication::removeTranslator(&german);

        QCOMPARE(title, QStringLiteral("&Ansicht"));
        QCOMPARE(replay, QStringLiteral("&Wiedergabe"));
        QCOMPARE(noRecording.section('\n', 0, 0), QStringLiteral("Keine Aufzeichnung geladen"));
        QCOMPARE(idle, QStringLiteral("Bereit"));
        QCOMPARE(legend, QStringList({ "Sweep", "Spitzenwerte", "Pegellinie" }));
        QCOMPARE(state, QStringLiteral("Angehalten"));
        QVERIFY2(about.startsWith(QStringLiteral("Ü")), qPrintable(about));
        QCOMPARE(objectNames, QStringLiteral("View|Replay|Play"));
    }
};

QTEST_MAIN(TestRecView)
#include "tst_recview.moc"
