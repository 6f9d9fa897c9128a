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

quint32 u32At(const QByteArray& bytes, int offset)
{
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

QByteArray patched(QByteArray bytes, int offset, const QByteArray& with)
{
    return bytes.replace(offset, with.size(), with);
}

// The levels of sweep `index` in the files of the reader tests: 3 levels, each sweep different.
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
} // namespace

class TestRecording : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_good; // 2 sweeps of 3 levels, 144 bytes

    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QVector<CSweep> sweeps { { CTimeStamp(iSTART), { -70.f, -80.f, -90.f } },
            { CTimeStamp(iSTART + 100000), { -71.f, -81.f, -91.5f } } };
        QString error;
        QVERIFY2(WriteRecording(path("good.rec"), header("Probe", 3), sweeps, &error),
            qPrintable(error));
        QFile file(path("good.rec"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        m_good = file.readAll();
        QCOMPARE(m_good.size(), 144);
    }

    void timeStampText_data()
    {
        QTest::addColumn<qint64>("usecs");
        QTest::addColumn<QString>("text");
        QTest::newRow("epoch") << qint64(0) << "1970-01-01 00:00:00.000";
        QTest::newRow("sub-millisecond cut") << iSTART + 999 << "2024-03-01 12:34:56.789";
        QTest::newRow("before epoch") << qint64(-1) << "1969-12-31 23:59:59.999";
    }
    void timeStampText()
    {
        QFETCH(qint64, usecs);
        QFETCH(QString, text);
        QCOMPARE(CTimeStamp(usecs).toString(), text);
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
        // and the text survives the file
        QVERIFY(WriteRecording(path("name.rec"), h, {}));
        CHeaderData read;
        QVERIFY(ReadHeader(path("name.rec"), read));
        QCOMPARE(QByteArray(read.deviceName()), kept);
    }

    void frequenciesAreSecondAndThirdField()
    {
        CHeaderData h = header("Probe", 1);
        float fields[3];
        std::memcpy(fields, &h, sizeof fields);
        QCOMPARE(fields[1], 9000.f);
        QCOMPARE(fields[2], 2.5e9f);
    }

    void roundTrip_data()
    {
        QTest::addColumn<QVector<CSweep>>("sweeps");
        QTest::addColumn<QByteArray>("avl");
        QTest::newRow("no sweeps") << QVector<CSweep>() << QByteArray("TREC-AVL 1\n");
        QTest::newRow("two sweeps") << QVector<CSweep> { { CTimeStamp(iSTART), { -70.f, -80.f } },
            { CTimeStamp(-5), { std::numeric_limits<float>::lowest(), 0.5f } } }
                                    << QByteArray("TREC-AVL 1\n0 -75.00\n1 ")
                + QByteArray::number(
                    (double(std::numeric_limits<float>::lowest()) + 0.5) / 2, 'f', 2)
                + "\n";
    }
    void roundTrip()
    {
        QFETCH(QVector<CSweep>, sweeps);
        QFETCH(QByteArray, avl);
        const CHeaderData written = header("Probe \xc3\xbc", 2);
        QString error;
        QVERIFY2(WriteRecording(path("trip.rec"), written, sweeps, &error), qPrintable(error));

        CHeaderData h;
        QVector<CSweep> read;
        QVERIFY2(ReadSweeps(path("trip.rec"), h, read, &error), qPrintable(error));
        QCOMPARE(QByteArray(h.deviceName()), QByteArray("Probe \xc3\xbc"));
        QCOMPARE(QByteArray(h.deviceType()), QByteArray("RX-7"));
        QCOMPARE(h.startTS(), written.startTS());
        QCOMPARE(h.stopTS(), written.stopTS());
        QCOMPARE(h.freqMin(), 9000.f);
        QCOMPARE(h.freqMax(), 2.5e9f);
        QCOMPARE(h.levelsPerSweep(), 2u);
        QCOMPARE(h.sweepCount(), quint32(sweeps.size()));
        QCOMPARE(read.size(), sweeps.size());
        for (int i = 0; i < sweeps.size(); ++i) {
            QCOMPARE(read.at(i).time, sweeps.at(i).time);
            QCOMPARE(read.at(i).levels, sweeps.at(i).levels);
        }

        CRecordingReader reader;
        QVERIFY2(reader.open(path("trip.rec"), &error), qPrintable(error));
        QCOMPARE(reader.sweepCount(), quint32(sweeps.size()));
        QVERIFY(reader.truncationText().isEmpty());
        CSweep sweep;
        for (int i = sweeps.size() - 1; i >= 0; --i) {
            QVERIFY2(reader.readSweep(quint32(i), sweep, &error), qPrintable(error));
            QCOMPARE(sweep.time, sweeps.at(i).time);
            QCOMPARE(sweep.levels, sweeps.at(i).levels);
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
        QVERIFY(!QFile::exists(path("rejected.rec")));
        QVERIFY(!QFile::exists(path("rejected.bt")));
    }

    // Every file here fails ReadHeader and ReadSweeps with the same message. The reader opens
    // the ones that are only cut short (`complete` of them readable), and refuses the rest with
    // that message too. `size` > 0 extends the file (sparse) to that size.
    void badFiles_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("complete"); // -1: the reader refuses it
        const QByteArray& good = m_good;
        const qint64 asIs = 0;
        QTest::newRow("empty") << QByteArray() << asIs << "too short" << -1;
        QTest::newRow("3 bytes") << good.left(3) << asIs << "too short" << -1;
        QTest::newRow("magic only") << good.left(4) << asIs << "too short" << -1;
        QTest::newRow("cut in header")
            << good.left(50) << asIs << "truncated header: 50 of 104" << -1;
        QTest::newRow("cut after header")
            << good.left(104) << asIs << "truncated: the header announces 2 sweeps" << 0;
        QTest::newRow("cut in a time stamp") << good.left(110) << asIs << "holds 110 bytes" << 0;
        QTest::newRow("cut in the last level") << good.left(143) << asIs << "holds 143 bytes" << 1;
        QTest::newRow("trailing byte")
            << good + 'x' << asIs << "1 bytes after the last sweep" << -1;
        QTest::newRow("wrong magic")
            << patched(good, 0, "RIFF") << asIs << "wrong magic number" << -1;
        QTest::newRow("future version")
            << patched(good, 4, u32(2)) << asIs << "format version 2" << -1;
        QTest::newRow("no levels")
            << patched(good, 8, u32(0)) << asIs << "0 levels per sweep" << -1;
        QTest::newRow("absurd levels")
            << patched(good, 8, u32(0xffffffff)) << asIs << "4294967295 levels per sweep" << -1;
        QTest::newRow("frequencies reversed")
            << patched(good, 12, f32(3e9f)) << asIs << "frequency range" << -1;
        QTest::newRow("frequency not a number")
            << patched(good, 16, f32(std::numeric_limits<float>::quiet_NaN())) << asIs
            << "frequency range" << -1;
        QTest::newRow("unterminated name")
            << patched(good, 40, QByteArray(32, 'n')) << asIs << "without terminating zero" << -1;
        // Announced sizes no memory could hold: only the complete sweeps may cost anything.
        QTest::newRow("2^32-1 sweeps announced")
            << patched(good, 20, u32(0xffffffff)) << asIs << "announces 4294967295 sweeps" << 2;
        QTest::newRow("2^32-1 sweeps of 2^20 levels")
            << patched(patched(good.left(104), 8, u32(iMAX_LEVELS)), 20, u32(0xffffffff))
            << 104 + (8 + 4 * qint64(iMAX_LEVELS)) + 100
            << "announces 4294967295 sweeps of 1048576 levels" << 1;
        // 104 + (2^30 + 2) * 20 wraps to 144 in 32 bits: the file's true size.
        QTest::newRow("size wraps to the true size in 32 bits")
            << patched(good, 20, u32((1u << 30) + 2)) << asIs << "announces 1073741826 sweeps" << 2;
    }
    void badFiles()
    {
        QFETCH(QByteArray, contents);
        QFETCH(qint64, size);
        QFETCH(QString, error);
        QFETCH(int, complete);
        QFile file(path("bad.rec"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(contents), qint64(contents.size()));
        if (size > 0)
            QVERIFY(file.resize(size));
        file.close();

        CHeaderData h = header("untouched", 7);
        QVector<CSweep> sweeps { CSweep() };
        QString headerError, sweepsError;
        QVERIFY(!ReadHeader(file.fileName(), h, &headerError));
        QVERIFY(!ReadSweeps(file.fileName(), h, sweeps, &sweepsError));
        QVERIFY2(headerError.contains(error), qPrintable(headerError));
        QCOMPARE(sweepsError, headerError);
        // A device is read with seek and read instead of pread, to the same verdict.
        QFile device(file.fileName());
        QVERIFY(device.open(QIODevice::ReadOnly));
        QVERIFY(!ReadSweeps(device, h, sweeps, &sweepsError));
        QCOMPARE(sweepsError, headerError);
        QCOMPARE(QByteArray(h.deviceName()), QByteArray("untouched"));
        QCOMPARE(h.levelsPerSweep(), 7u);
        QCOMPARE(sweeps.size(), 1);

        CRecordingReader reader;
        QString readerError;
        QCOMPARE(reader.open(file.fileName(), &readerError), complete >= 0);
        if (complete < 0) {
            QCOMPARE(readerError, headerError);
            QVERIFY(!reader.isOpen());
            return;
        }
        const quint32 announced = u32At(contents, 20);
        QCOMPARE(reader.announcedSweepCount(), announced);
        QCOMPARE(reader.sweepCount(), quint32(complete));
        QCOMPARE(reader.truncationText(),
            QStringLiteral("the file holds %1 of %2 announced sweeps")
                .arg(complete)
                .arg(announced));
        CSweep sweep;
        if (complete > 0) {
            QVERIFY2(reader.readSweep(quint32(complete - 1), sweep, &readerError),
                qPrintable(readerError));
            QCOMPARE(sweep.levels.size(), int(reader.header().levelsPerSweep()));
        }
        const CSweep before = sweep;
        QVERIFY(!reader.readSweep(quint32(complete), sweep, &readerError));
        QCOMPARE(readerError,
            QStringLiteral("sweep %1 is not in the file: it holds %1 of %2 announced sweeps")
                .arg(complete)
                .arg(announced));
        QCOMPARE(sweep.levels, before.levels);
    }

    // The file changes while a reader has it open: it shrinks (truncated by hand), grows
    // (a recording still being written) or gets another header.
    void changesWhileOpen_data()
    {
        QTest::addColumn<quint32>("announced");
        QTest::addColumn<int>("held"); // complete sweeps in the file at open
        QTest::addColumn<qint64>("newSize"); // -1: unchanged
        QTest::addColumn<int>("appended"); // sweeps appended after the resize
        QTest::addColumn<QByteArray>("headerPatch"); // 4 bytes at headerOffset
        QTest::addColumn<int>("headerOffset");
        QTest::addColumn<QString>("readError"); // reading the last sweep before refresh()
        QTest::addColumn<QString>("refreshError");
        QTest::addColumn<int>("after"); // sweepCount() after refresh()
        const qint64 same = -1;
        const QByteArray none;
        QTest::newRow("shrinks into the last sweep")
            << 2u << 2 << qint64(130) << 0 << none << 0
            << "sweep 1 is no longer in the file: it shrank to 130 bytes"
            << "" << 1;
        QTest::newRow("shrinks into the header")
            << 2u << 2 << qint64(50) << 0 << none << 0
            << "sweep 1 is no longer in the file: it shrank to 50 bytes"
            << "truncated header: 50 of 104 bytes" << 0;
        QTest::newRow("emptied") << 2u << 2 << qint64(0) << 0 << none << 0 << "it shrank to 0 bytes"
                                 << "only 0 bytes" << 0;
        QTest::newRow("grows by a sweep") << 4u << 2 << same << 1 << none << 0 << ""
                                          << "" << 3;
        QTest::newRow("grows by half a sweep")
            << 4u << 2 << qint64(144 + 10) << 0 << none << 0 << ""
            << "" << 2;
        QTest::newRow("grows past the count, not raised yet")
            << 2u << 2 << same << 1 << none << 0 << ""
            << "" << 2;
        QTest::newRow("writer raises the count") << 2u << 2 << same << 2 << u32(4) << 20 << ""
                                                 << "" << 4;
        QTest::newRow("other levels") << 2u << 2 << same << 0 << u32(4) << 8 << ""
                                      << "the recording changed" << 0;
        QTest::newRow("damaged magic") << 2u << 2 << same << 0 << QByteArray("RIFF") << 0 << ""
                                       << "wrong magic number" << 0;
    }
    void changesWhileOpen()
    {
        QFETCH(quint32, announced);
        QFETCH(int, held);
        QFETCH(qint64, newSize);
        QFETCH(int, appended);
        QFETCH(QByteArray, headerPatch);
        QFETCH(int, headerOffset);
        QFETCH(QString, readError);
        QFETCH(QString, refreshError);
        QFETCH(int, after);

        QVector<CSweep> sweeps;
        for (int i = 0; i < held; ++i)
            sweeps << sweepNo(i);
        const QString name = path("growing.rec");
        QVERIFY(WriteRecording(name, header("Probe", 3), sweeps));
        QFile writer(name);
        QVERIFY(writer.open(QIODevice::ReadWrite));
        QVERIFY(writer.seek(20));
        QCOMPARE(writer.write(u32(announced)), qint64(4));
        QVERIFY(writer.flush());

        CRecordingReader reader;
        QString error;
        QVERIFY2(reader.open(name, &error), qPrintable(error));
        QCOMPARE(reader.sweepCount(), quint32(held));

        if (newSize >= 0)
            QVERIFY(writer.resize(newSize));
        QVERIFY(writer.seek(writer.size()));
        for (int i = held; i < held + appended; ++i)
            writer.write(sweepBytes(sweepNo(i)));
        if (!headerPatch.isEmpty()) {
            QVERIFY(writer.seek(headerOffset));
            writer.write(headerPatch);
        }
        QVERIFY(writer.flush());

        CSweep sweep;
        error.clear();
        QCOMPARE(reader.readSweep(quint32(held - 1), sweep, &error), readError.isEmpty());
        QVERIFY2(error.contains(readError), qPrintable(error));
        QCOMPARE(reader.sweepCount(), quint32(held)); // until refresh()

        error.clear();
        QCOMPARE(reader.refresh(&error), refreshError.isEmpty());
        QVERIFY2(error.contains(refreshError), qPrintable(error));
        QCOMPARE(reader.sweepCount(), quint32(after));
        for (int i = 0; i < after; ++i) {
            QVERIFY2(reader.readSweep(quint32(i), sweep, &error), qPrintable(error));
            QCOMPARE(sweep.time, sweepNo(i).time);
            QCOMPARE(sweep.levels, sweepNo(i).levels);
        }
        QVERIFY(!reader.readSweep(quint32(after), sweep));
    }

    // Offsets past 4 GiB (a sparse file): the index times the sweep size needs 64 bits.
    void sweepBeyondFourGiB()
    {
        const quint32 levels = iMAX_LEVELS;
        const qint64 size = 8 + 4 * qint64(levels);
        const quint32 last = quint32((qint64(1) << 32) / size) + 1;
        QVERIFY(iREC_HEADER_BYTES + last * size > qint64(1) << 32);
        CHeaderData h = header("Probe", levels);
        QVERIFY(WriteRecording(path("large.rec"), h, {}));
        QFile file(path("large.rec"));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(20));
        file.write(u32(last + 1));
        if (!file.resize(iREC_HEADER_BYTES + last * size))
            QSKIP("no room for a sparse file of 4 GiB here");
        CSweep written { CTimeStamp(iSTART), QVector<float>(int(levels), -42.5f) };
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
        QCOMPARE(sweep.time, written.time);
        QCOMPARE(sweep.levels, written.levels);
        QVERIFY(reader.readSweep(0, sweep));
        QCOMPARE(sweep.levels.first(), 0.f);
        reader.close();
        QVERIFY(file.remove());
    }

    // A recording inside a larger device starts where the device stands.
    void readerOnDevice()
    {
        QBuffer buffer;
        buffer.setData(QByteArray("prefix") + m_good);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        QVERIFY(buffer.seek(6));
        CRecordingReader reader;
        QString error;
        QVERIFY2(reader.open(&buffer, &error), qPrintable(error));
        QCOMPARE(reader.sweepCount(), 2u);
        CSweep sweep;
        QVERIFY2(reader.readSweep(1, sweep, &error), qPrintable(error));
        QCOMPARE(sweep.levels, (QVector<float> { -71.f, -81.f, -91.5f }));
        QVERIFY(reader.readSweep(0, sweep));
        QCOMPARE(sweep.time, CTimeStamp(iSTART));
    }

    void missingFile()
    {
        CHeaderData h;
        QString error;
        QVERIFY(!ReadHeader(path("nothing.rec"), h, &error));
        QVERIFY2(error.startsWith(QLatin1String("cannot open")), qPrintable(error));
        QVERIFY(!ReadHeader(path("nothing.rec"), h)); // a null error pointer is fine

        CRecordingReader reader;
        QVERIFY(!reader.open(path("nothing.rec"), &error));
        QVERIFY2(error.startsWith(QLatin1String("cannot open")), qPrintable(error));
        CSweep sweep;
        QVERIFY(!reader.readSweep(0, sweep, &error));
        QVERIFY2(error.contains(QLatin1String("no recording is open")), qPrintable(error));
        QVERIFY(!reader.refresh());
    }
};

QTEST_GUILESS_MAIN(TestRecording)
#include "tst_recording.moc"
