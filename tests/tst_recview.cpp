// The demo viewer replaying a recording read through the recording reader: a file that grows
// or shrinks while it is shown, one cut short, and a bad one that must change nothing.

#include "modaldialog.h"
#include "testenvironment.h"

#include <valuewidgets/vcbutton.h>

#include <QtEndian>
#include <QtTest>

#include <creplaybar.h>
#include <recviewwindow.h>
#include <samplegenerator.h>

namespace {
constexpr int kSweeps = 6;
constexpr int kLevels = 16;

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

class TestRecView : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestConfigDir> m_config;
    QTemporaryDir m_files;
    QString m_rec; // kSweeps sweeps, 2.4 to 2.4835 GHz
    QVector<Recording2::CSweep> m_sweeps; // those of m_rec
    int m_roots = 0;

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

    void replay_data()
    {
        // The recording at open, "a/h[+b]" as cut() takes it, then words run on it: each clicks
        // a bar button, or "a/h[+b]" rewrites the file so, "empty" empties it, and "!a/h[+b]"
        // opens such a file, which must be refused with a box.
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("frames"); // the sweeps shown meanwhile
        const auto row = [](const char* name, const char* script, const char* frames) {
            QTest::newRow(name) << script << frames;
        };
        // Refused: no complete sweep to show.
        row("no complete sweep", "6/6 fwd !6/0+71", "1");
        // Cut short with an absurd count: the complete sweeps show.
        row("an absurd count", "4294967295/6 end", "5");
        // Written on or cut while shown.
        row("written on, step past the end", "6/3 end 6/6 fwd", "2 3");
        row("count raised, go to the end", "3/3 end 6/6 end", "2 5");
        row("written on, play past the end", "6/3 end 6/5 play", "2 3 4");
        row("cut, step past the end", "6/6 end 6/3 fwd", "5 2");
        row("cut, step back", "6/6 end 6/3 back", "5 2");
        row("cut while playing", "6/6 end back 6/3 fplay", "5 4 2");
        row("count lowered to none", "6/6 fwd 0/0 end", "1 -1");
        row("emptied", "6/6 fwd empty end play", "1 -1");
    }
    void replay()
    {
        QFETCH(QString, script);
        QFETCH(QString, frames);
        const QString file = m_files.filePath(QStringLiteral("replay.rec"));
        writeInPlace(file, cut(fileBytes(m_rec), script.section(' ', 0, 0)));
        RecViewWindow window("App", "recview", QStringLiteral("/RecView%1").arg(++m_roots));
        window.initialize(true);
        ReplayEngine* engine = window.engine();
        engine->setIntervals(2, 1);
        QVERIFY(window.openFile(file));
        QSignalSpy shown(engine, &ReplayEngine::frameChanged);
        static const QHash<QString, QString> names { { "back", "Step Rewind" }, { "play", "Play" },
            { "fplay", "Fast Play" }, { "fwd", "Step Forward" }, { "end", "Goto End" } };
        for (const QString& word : script.split(QLatin1Char(' ')).mid(1)) {
            if (word.startsWith('!')) {
                writeInPlace(file + ".bad", cut(fileBytes(m_rec), word.mid(1)));
                ModalAnswer answer(ModalAnswer::pressButton(QStringLiteral("OK")));
                QVERIFY(!window.openFile(file + ".bad") && answer.seen());
            } else if (word.contains('/') || word == QLatin1String("empty")) {
                writeInPlace(file, word.contains('/') ? cut(fileBytes(m_rec), word) : QByteArray());
            } else {
                auto* button = window.replayBar()->findChild<VCButton*>(names[word]);
                QVERIFY2(button && button->isEnabled(), qPrintable(word));
                button->click();
            }
        }
        QTRY_COMPARE(engine->mode(), ReplayEngine::Mode::Stopped);
        QStringList seen;
        for (const QList<QVariant>& frame : shown)
            seen << frame.at(0).toString();
        QCOMPARE(seen.join(' '), frames);
        const int index = frames.section(' ', -1).toInt();
        QCOMPARE(engine->currentIndex(), index);
        if (index >= 0)
            QCOMPARE(engine->currentSweep()->levels, m_sweeps.at(index).levels);
    }
};

QTEST_MAIN(TestRecView)
#include "tst_recview.moc"
