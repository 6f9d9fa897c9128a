// The .rec files (docs/rec-format.md): what the writer makes, what the readers refuse and
// why, and a reader whose file is cut, grows or changes while it is open.

#include <recording/recfile.h>

#include <QBuffer>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cstring>
#include <limits>

using namespace Recording2;

Q_DECLARE_METATYPE(Recording2::CSweep)

namespace {
const qint64 iSTART = 1709296496789000; // 2024-03-01 12:34:56.789 UTC

QByteArray u32(quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    return QByteArray(bytes, 4);
}

QByteArray f32(float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, 4);
    return u32(bits);
}

QByteArray patched(QByteArray bytes, int offset, const QByteArray& with)
{
    return bytes.replace(offset, with.size(), with);
}

// Sweep `index` of the files here: 3 levels, each sweep different.
CSweep sweepNo(int index)
{
    return { CTimeStamp(iSTART + index * 100000),
        { -70.f - index, -80.f - index, -90.5f - index } };
}

QByteArray sweepBytes(const CSweep& sweep)
{
    char time[8];
    qToLittleEndian(sweep.time.usecsSinceEpoch(), time);
    QByteArray bytes(time, 8);
    for (float level : sweep.levels)
        bytes += f32(level);
    return bytes;
}

CHeaderData header(const QByteArray& name, quint32 levels)
{
    CHeaderData h;
    h.setDeviceName(name);
    h.setDeviceType("RX-7");
    h.setStartTS(CTimeStamp(iSTART));
    h.setStopTS(CTimeStamp(iSTART + 2500000));
    h.setFreqRange(9000.f, 2.5e9f);
    h.setLevelsPerSweep(levels);
    return h;
}

void compareSweep(const CSweep& actual, const CSweep& expected)
{
    QCOMPARE(actual.time, expected.time);
    QCOMPARE(actual.levels, expected.levels);
}
} // namespace

class TestRecording : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_good; // sweeps 0 and 1, 144 bytes

    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(WriteRecording(path("good.rec"), header("Probe", 3), { sweepNo(0), sweepNo(1) }));
        QFile file(path("good.rec"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        m_good = file.readAll();
        QCOMPARE(m_good.size(), 144);
    }

    void timeStampText()
    {
        QCOMPARE(CTimeStamp(0).toString(), QStringLiteral("1970-01-01 00:00:00.000"));
        QCOMPARE(CTimeStamp(iSTART + 999).toString(), QStringLiteral("2024-03-01 12:34:56.789"));
        QCOMPARE(CTimeStamp(-1).toString(), QStringLiteral("1969-12-31 23:59:59.999"));
    }

    void deviceTexts_data()
    {
        QTest::addColumn<QByteArray>("given");
        QTest::addColumn<QByteArray>("kept");
        QTest::newRow("empty is null") << QByteArray() << QByteArray();
        QTest::newRow("31 bytes fit") << QByteArray(31, 'a') << QByteArray(31, 'a');
        QTest::newRow("cut before a split character")
            << QByteArray(30, 'a') + "\xc3\xbc" << QByteArray(30, 'a');
        QTest::newRow("embedded zero ends it") << QByteArray("ab\0cd", 5) << QByteArray("ab");
    }
    void deviceTexts()
    {
        QFETCH(QByteArray, given);
        QFETCH(QByteArray, kept);
        CHeaderData h = header(given, 1);
        QCOMPARE(QByteArray(h.deviceName()), kept);
        QCOMPARE(h.deviceName() == nullptr, kept.isEmpty());
        QVERIFY(WriteRecording(path("name.rec"), h, {})); // and the text survives the file
        QVERIFY(ReadHeader(path("name.rec"), h));
        QCOMPARE(QByteArray(h.deviceName()), kept);
    }

    void roundTrip_data()
    {
        QTest::addColumn<QVector<CSweep>>("sweeps");
        QTest::addColumn<QByteArray>("avl");
        QTest::newRow("no sweeps") << QVector<CSweep>() << QByteArray("TREC-AVL 1\n");
        const float lowest = std::numeric_limits<float>::lowest();
        QTest::newRow("two sweeps") << QVector<CSweep> { { CTimeStamp(iSTART), { -70.f, -80.f } },
            { CTimeStamp(-5), { lowest, 0.5f } } }
                                    << "TREC-AVL 1\n0 -75.00\n1 "
                + QByteArray::number((double(lowest) + 0.5) / 2, 'f', 2) + "\n";
    }
    void roundTrip()
    {
        QFETCH(QVector<CSweep>, sweeps);
        QFETCH(QByteArray, avl);
        QString error;
        CHeaderData written = header("Probe \xc3\xbc", 2);
        QVERIFY2(WriteRecording(path("trip.rec"), written, sweeps, &error), qPrintable(error));

        CHeaderData h;
        QVector<CSweep> read;
        QVERIFY2(ReadSweeps(path("trip.rec"), h, read, &error), qPrintable(error));
        // Field by field: the record is 96 bytes of standard layout with zero-filled texts.
        written.setSweepCount(quint32(sweeps.size()));
        QCOMPARE(QByteArray::fromRawData(reinterpret_cast<const char*>(&h), sizeof h),
            QByteArray::fromRawData(reinterpret_cast<const char*>(&written), sizeof written));
        QCOMPARE(read.size(), sweeps.size());
        for (int i = 0; i < sweeps.size(); ++i)
            compareSweep(read.at(i), sweeps.at(i));

        // On demand, backwards, from the file and from a device where it starts after a prefix.
        QFile file(path("trip.rec"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QBuffer buffer;
        buffer.setData("prefix" + file.readAll());
        QVERIFY(buffer.open(QIODevice::ReadOnly) && buffer.seek(6));
        CRecordingReader fromFile, fromDevice;
        QVERIFY2(fromFile.open(path("trip.rec"), &error), qPrintable(error));
        QVERIFY2(fromDevice.open(&buffer, &error), qPrintable(error));
        for (CRecordingReader* reader : { &fromFile, &fromDevice }) {
            QCOMPARE(reader->sweepCount(), quint32(sweeps.size()));
            QVERIFY(reader->truncationText().isEmpty());
            CSweep sweep;
            for (int i = sweeps.size() - 1; i >= 0; --i) {
                QVERIFY2(reader->readSweep(quint32(i), sweep, &error), qPrintable(error));
                compareSweep(sweep, sweeps.at(i));
            }
        }

        QFile bt(path("trip.bt")), avlFile(path("trip.avl"));
        QVERIFY(bt.open(QIODevice::ReadOnly) && avlFile.open(QIODevice::ReadOnly));
        QCOMPARE(bt.readAll().count('\n'), sweeps.size() + 1);
        QCOMPARE(avlFile.readAll(), avl);
    }

    void writerRejectsInconsistentSweeps_data()
    {
        QTest::addColumn<quint32>("levels");
        QTest::addColumn<int>("given");
        QTest::newRow("no levels") << 0u << 0;
        QTest::newRow("too many levels") << iMAX_LEVELS + 1 << int(iMAX_LEVELS + 1);
        QTest::newRow("sweep shorter than header") << 3u << 2;
    }
    void writerRejectsInconsistentSweeps()
    {
        QFETCH(quint32, levels);
        QFETCH(int, given);
        QString error;
        const QVector<CSweep> sweeps { { CTimeStamp(), QVector<float>(given) } };
        QVERIFY(!WriteRecording(path("rejected.rec"), header("x", levels), sweeps, &error));
        QVERIFY(error.contains(QLatin1String("levels")));
        QVERIFY(!QFile::exists(path("rejected.rec")) && !QFile::exists(path("rejected.bt")));
    }

    // Every file here fails ReadHeader and ReadSweeps with the same message. The reader opens
    // the ones that are only cut short (`complete` of them readable), and refuses the rest with
    // that message too. `size` > 0 extends the file (sparse) to that size; a null `contents`
    // makes no file at all.
    void badFiles_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("complete"); // -1: the reader refuses it
        const auto row
            = [](const char* tag, const QByteArray& contents, const char* error, int complete = -1,
                  qint64 size = 0) { QTest::newRow(tag) << contents << size << error << complete; };
        const QByteArray& good = m_good;
        row("missing", QByteArray(), "cannot open");
        row("empty", "", "too short");
        row("3 bytes", good.left(3), "too short");
        row("magic only", good.left(4), "too short");
        row("cut in header", good.left(50), "truncated header: 50 of 104");
        row("cut after header", good.left(104), "truncated: the header announces 2 sweeps", 0);
        row("cut in a time stamp", good.left(110), "holds 110 bytes", 0);
        row("cut in the last level", good.left(143), "holds 143 bytes", 1);
        row("trailing byte", good + 'x', "1 bytes after the last sweep");
        row("wrong magic", patched(good, 0, "RIFF"), "wrong magic number");
        row("future version", patched(good, 4, u32(2)), "format version 2");
        row("no levels", patched(good, 8, u32(0)), "0 levels per sweep");
        row("absurd levels", patched(good, 8, u32(0xffffffff)), "4294967295 levels per sweep");
        row("frequencies reversed", patched(good, 12, f32(3e9f)), "frequency range");
        row("frequency not a number",
            patched(good, 16, f32(std::numeric_limits<float>::quiet_NaN())), "frequency range");
        row("unterminated name", patched(good, 40, QByteArray(32, 'n')),
            "without terminating zero");
        // Announced sizes no memory could hold: only the complete sweeps may cost anything.
        row("2^32-1 sweeps announced", patched(good, 20, u32(0xffffffff)),
            "announces 4294967295 sweeps", 2);
        row("2^32-1 sweeps of 2^20 levels",
            patched(patched(good.left(104), 8, u32(iMAX_LEVELS)), 20, u32(0xffffffff)),
            "announces 4294967295 sweeps of 1048576 levels", 1,
            104 + (8 + 4 * qint64(iMAX_LEVELS)) + 100);
        // 104 + (2^30 + 2) * 20 wraps to 144 in 32 bits: the file's true size.
        row("size wraps to the true size in 32 bits", patched(good, 20, u32((1u << 30) + 2)),
            "announces 1073741826 sweeps", 2);
    }
    void badFiles()
    {
        QFETCH(QByteArray, contents);
        QFETCH(qint64, size);
        QFETCH(QString, error);
        QFETCH(int, complete);
        QFile file(path("bad.rec"));
        file.remove();
        if (!contents.isNull()) {
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(contents), qint64(contents.size()));
            QVERIFY(size == 0 || file.resize(size));
            file.close();
        }

        CHeaderData h = header("untouched", 7);
        QVector<CSweep> sweeps { CSweep() };
        QString headerError, sweepsError;
        QVERIFY(!ReadHeader(file.fileName(), h, &headerError));
        QVERIFY(!ReadSweeps(file.fileName(), h, sweeps, &sweepsError));
        QVERIFY2(headerError.contains(error), qPrintable(headerError));
        QCOMPARE(sweepsError, headerError);
        // A device is read with seek and read instead of pread, to the same verdict.
        QFile device(file.fileName());
        if (device.open(QIODevice::ReadOnly)) {
            QVERIFY(!ReadSweeps(device, h, sweeps, &sweepsError));
            QCOMPARE(sweepsError, headerError);
        }
        QCOMPARE(QByteArray(h.deviceName()), QByteArray("untouched"));
        QCOMPARE(h.levelsPerSweep(), 7u);
        QCOMPARE(sweeps.size(), 1);

        CRecordingReader reader;
        QString readerError;
        CSweep sweep;
        QCOMPARE(reader.open(file.fileName(), &readerError), complete >= 0);
        if (complete < 0) {
            QCOMPARE(readerError, headerError);
            QVERIFY(!reader.isOpen() && !reader.refresh());
            QVERIFY(!reader.readSweep(0, sweep, &readerError));
            QVERIFY2(readerError.contains("no recording is open"), qPrintable(readerError));
            return;
        }
        const quint32 announced = qFromLittleEndian<quint32>(contents.constData() + 20);
        QCOMPARE(reader.announcedSweepCount(), announced);
        QCOMPARE(reader.sweepCount(), quint32(complete));
        const QString holds
            = QStringLiteral("holds %1 of %2 announced sweeps").arg(complete).arg(announced);
        QCOMPARE(reader.truncationText(), "the file " + holds);
        if (complete > 0) {
            QVERIFY2(reader.readSweep(quint32(complete - 1), sweep, &readerError),
                qPrintable(readerError));
            QCOMPARE(sweep.levels.size(), int(reader.header().levelsPerSweep()));
        }
        const CSweep before = sweep;
        QVERIFY(!reader.readSweep(quint32(complete), sweep, &readerError));
        QCOMPARE(readerError,
            QStringLiteral("sweep %1 is not in the file: it %2").arg(complete).arg(holds));
        QCOMPARE(sweep.levels, before.levels);
    }

    // The file changes while a reader has it open: it shrinks (truncated by hand), grows
    // (a recording still being written) or gets another header.
    void changesWhileOpen_data()
    {
        QTest::addColumn<quint32>("announced");
        QTest::addColumn<qint64>("newSize"); // -1: unchanged
        QTest::addColumn<int>("appended"); // sweeps appended after the resize
        QTest::addColumn<int>("headerOffset"); // where headerPatch goes
        QTest::addColumn<QByteArray>("headerPatch");
        QTest::addColumn<QString>("readError"); // reading the last sweep before refresh()
        QTest::addColumn<QString>("refreshError");
        QTest::addColumn<int>("after"); // sweepCount() after refresh()
        const auto row = [](const char* tag, quint32 announced, qint64 newSize, int appended,
                             int offset, const QByteArray& patch, const char* readError,
                             const char* refreshError, int after) {
            QTest::newRow(tag) << announced << newSize << appended << offset << patch << readError
                               << refreshError << after;
        };
        // All start with sweeps 0 and 1 in the file.
        row("shrinks into the last sweep", 2, 130, 0, 0, {},
            "sweep 1 is no longer in the file: it shrank to 130 bytes", "", 1);
        row("shrinks into the header", 2, 50, 0, 0, {},
            "sweep 1 is no longer in the file: it shrank to 50 bytes",
            "truncated header: 50 of 104 bytes", 0);
        row("emptied", 2, 0, 0, 0, {}, "it shrank to 0 bytes", "only 0 bytes", 0);
        row("grows by a sweep", 4, -1, 1, 0, {}, "", "", 3);
        row("grows by half a sweep", 4, 144 + 10, 0, 0, {}, "", "", 2);
        row("grows past the count, not raised yet", 2, -1, 1, 0, {}, "", "", 2);
        row("writer raises the count", 2, -1, 2, 20, u32(4), "", "", 4);
        row("other levels", 2, -1, 0, 8, u32(4), "", "the recording changed", 0);
        row("damaged magic", 2, -1, 0, 0, "RIFF", "", "wrong magic number", 0);
    }
    void changesWhileOpen()
    {
        QFETCH(quint32, announced);
        QFETCH(qint64, newSize);
        QFETCH(int, appended);
        QFETCH(int, headerOffset);
        QFETCH(QByteArray, headerPatch);
        QFETCH(QString, readError);
        QFETCH(QString, refreshError);
        QFETCH(int, after);

        const QString name = path("growing.rec");
        QVERIFY(WriteRecording(name, header("Probe", 3), { sweepNo(0), sweepNo(1) }));
        QFile writer(name);
        QVERIFY(writer.open(QIODevice::ReadWrite) && writer.seek(20));
        QCOMPARE(writer.write(u32(announced)), qint64(4));
        QVERIFY(writer.flush());

        CRecordingReader reader;
        QString error;
        QVERIFY2(reader.open(name, &error), qPrintable(error));
        QCOMPARE(reader.sweepCount(), 2u);

        if (newSize >= 0)
            QVERIFY(writer.resize(newSize));
        QVERIFY(writer.seek(writer.size()));
        for (int i = 2; i < 2 + appended; ++i)
            writer.write(sweepBytes(sweepNo(i)));
        if (!headerPatch.isEmpty())
            QVERIFY(writer.seek(headerOffset) && writer.write(headerPatch) == 4);
        QVERIFY(writer.flush());

        CSweep sweep;
        error.clear();
        QCOMPARE(reader.readSweep(1, sweep, &error), readError.isEmpty());
        QVERIFY2(error.contains(readError), qPrintable(error));
        QCOMPARE(reader.sweepCount(), 2u); // until refresh()

        error.clear();
        QCOMPARE(reader.refresh(&error), refreshError.isEmpty());
        QVERIFY2(error.contains(refreshError), qPrintable(error));
        QCOMPARE(reader.sweepCount(), quint32(after));
        for (int i = 0; i < after; ++i) {
            QVERIFY2(reader.readSweep(quint32(i), sweep, &error), qPrintable(error));
            compareSweep(sweep, sweepNo(i));
        }
        QVERIFY(!reader.readSweep(quint32(after), sweep));
    }

    // Offsets past 4 GiB (a sparse file): the index times the sweep size needs 64 bits.
    void sweepBeyondFourGiB()
    {
        const qint64 size = 8 + 4 * qint64(iMAX_LEVELS);
        const quint32 last = quint32((qint64(1) << 32) / size) + 1;
        QVERIFY(iREC_HEADER_BYTES + last * size > qint64(1) << 32);
        QVERIFY(WriteRecording(path("large.rec"), header("Probe", iMAX_LEVELS), {}));
        QFile file(path("large.rec"));
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(20));
        file.write(u32(last + 1));
        if (!file.resize(iREC_HEADER_BYTES + last * size))
            QSKIP("no room for a sparse file of 4 GiB here");
        CSweep written { CTimeStamp(iSTART), QVector<float>(int(iMAX_LEVELS), -42.5f) };
        written.levels.last() = -1.f;
        QVERIFY(file.seek(file.size()));
        QCOMPARE(file.write(sweepBytes(written)), size);
        file.close();

        CRecordingReader reader;
        QString error;
        QVERIFY2(reader.open(file.fileName(), &error), qPrintable(error));
        QCOMPARE(reader.sweepCount(), last + 1);
        CSweep sweep;
        QVERIFY2(reader.readSweep(last, sweep, &error), qPrintable(error));
        compareSweep(sweep, written);
        QVERIFY(reader.readSweep(0, sweep));
        QCOMPARE(sweep.levels.first(), 0.f);
        reader.close();
        QVERIFY(file.remove());
    }
};

QTEST_GUILESS_MAIN(TestRecording)
#include "tst_recording.moc"
