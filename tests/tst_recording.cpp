#include <recording/recfile.h>

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

    void badFiles_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("error");
        const QByteArray& good = m_good;
        QTest::newRow("empty") << QByteArray() << "too short";
        QTest::newRow("3 bytes") << good.left(3) << "too short";
        QTest::newRow("magic only") << good.left(4) << "too short";
        QTest::newRow("cut in header") << good.left(50) << "truncated header: 50 of 104";
        QTest::newRow("cut after header")
            << good.left(104) << "truncated: the header announces 2 sweeps";
        QTest::newRow("cut in a time stamp") << good.left(110) << "holds 110 bytes";
        QTest::newRow("cut in the last level") << good.left(143) << "holds 143 bytes";
        QTest::newRow("trailing byte") << good + 'x' << "1 bytes after the last sweep";
        QTest::newRow("wrong magic") << patched(good, 0, "RIFF") << "wrong magic number";
        QTest::newRow("future version") << patched(good, 4, u32(2)) << "format version 2";
        QTest::newRow("no levels") << patched(good, 8, u32(0)) << "0 levels per sweep";
        QTest::newRow("absurd levels")
            << patched(good, 8, u32(0xffffffff)) << "4294967295 levels per sweep";
        QTest::newRow("absurd sweep count")
            << patched(good, 20, u32(0xffffffff)) << "announces 4294967295 sweeps";
        QTest::newRow("frequencies reversed") << patched(good, 12, f32(3e9f)) << "frequency range";
        QTest::newRow("frequency not a number")
            << patched(good, 16, f32(std::numeric_limits<float>::quiet_NaN())) << "frequency range";
        QTest::newRow("unterminated name")
            << patched(good, 40, QByteArray(32, 'n')) << "without terminating zero";
    }
    void badFiles()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, error);
        QFile file(path("bad.rec"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(contents), qint64(contents.size()));
        file.close();

        CHeaderData h = header("untouched", 7);
        QVector<CSweep> sweeps { CSweep() };
        QString headerError, sweepsError;
        QVERIFY(!ReadHeader(file.fileName(), h, &headerError));
        QVERIFY(!ReadSweeps(file.fileName(), h, sweeps, &sweepsError));
        QVERIFY2(headerError.contains(error), qPrintable(headerError));
        QCOMPARE(sweepsError, headerError);
        QCOMPARE(QByteArray(h.deviceName()), QByteArray("untouched"));
        QCOMPARE(h.levelsPerSweep(), 7u);
        QCOMPARE(sweeps.size(), 1);
    }

    void missingFile()
    {
        CHeaderData h;
        QString error;
        QVERIFY(!ReadHeader(path("nothing.rec"), h, &error));
        QVERIFY2(error.startsWith(QLatin1String("cannot open")), qPrintable(error));
        QVERIFY(!ReadHeader(path("nothing.rec"), h)); // a null error pointer is fine
    }
};

QTEST_GUILESS_MAIN(TestRecording)
#include "tst_recording.moc"
