// The .rec files (docs/rec-format.md): what the writer makes, what the readers refuse and
// why, and a reader whose file is cut, grows or changes while it is open.

#include "testenvironment.h"

#include <recording/recfile.h>

#include <QtEndian>
#include <QtTest>

#include <cstring>

using namespace Recording2;

namespace Recording2 {
bool operator==(const CSweep& a, const CSweep& b)
{
    return a.time == b.time && a.levels == b.levels;
}
} // namespace Recording2

namespace {
const qint64 iSTART = 1709296496789000; // 2024-03-01 12:34:56.789 UTC

QByteArray patched(QByteArray bytes, int offset, quint32 value)
{
    qToLittleEndian(value, bytes.data() + offset);
    return bytes;
}

// Sweep `index` of the files here: 3 levels, each sweep different, the first one before 1970.
CSweep sweepNo(int index)
{
    return { CTimeStamp(iSTART * (index - 1)), { -70.f - index, -80.f - index, -90.5f - index } };
}

CHeaderData header(const QByteArray& name, quint32 levels)
{
    CHeaderData h;
    h.setDeviceName(name);
    h.setDeviceType("RX-7");
    h.setStartTS(CTimeStamp(-iSTART));
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
    QByteArray m_four; // sweeps 0 to 3
    QByteArray m_good; // sweeps 0 and 1, 144 bytes

    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        // The device name is cut before a character split at 31 bytes; an empty one is null.
        CHeaderData written = header(QByteArray(30, 'a') + "\xc3\xbc", 3), h;
        QVERIFY(QByteArray(written.deviceName()) == QByteArray(30, 'a')
            && !header("", 3).deviceName()
            && qstrlen(header(QByteArray(31, 'a'), 3).deviceName()) == 31);
        const QVector<CSweep> four { sweepNo(0), sweepNo(1), sweepNo(2), sweepNo(3) };
        QVector<CSweep> read;
        QVERIFY(WriteRecording(path("four.rec"), written, four)
            && ReadSweeps(path("four.rec"), h, read)
            && !WriteRecording(path("odd.rec"), header("", 4), four)); // sweeps unlike the header
        // Byte for byte: the record is 96 bytes of standard layout with zero-filled texts.
        written.setSweepCount(4);
        QVERIFY(std::memcmp(&h, &written, sizeof h) == 0 && read == four);
        QCOMPARE(
            fileBytes(path("four.avl")), "TREC-AVL 1\n0 -80.17\n1 -81.17\n2 -82.17\n3 -83.17\n");
        m_four = fileBytes(path("four.rec"));
        m_good = patched(m_four.left(144), 20, 2);
    }

    // Every file here fails ReadHeader and ReadSweeps with the same message, output untouched; the
    // reader, by path and on a QFile handed over open past a prefix (seek and read, not pread),
    // opens those only cut short (`complete` sweeps readable) and refuses the rest with it.
    // `size` > 0 extends the file (sparse); null `contents` makes no file at all.
    void badFiles_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("complete"); // -1: the reader refuses it
        const auto row
            = [](const char* tag, const QByteArray& contents, const char* error, int complete = -1,
                  qint64 size = 0) { QTest::newRow(tag) << contents << size << error << complete; };
        row("missing", QByteArray(), "cannot open");
        row("magic only", m_good.left(4), "too short");
        row("cut in header", m_good.left(50), "truncated header: 50 of 104");
        row("cut after header", m_good.left(104), "truncated: the header announces 2 sweeps", 0);
        row("cut in the last level", m_good.left(143), "holds 143 bytes", 1);
        row("trailing byte", m_good + 'x', "1 bytes after the last sweep");
        row("wrong magic", "RIFF" + m_good.mid(4), "wrong magic number");
        row("future version", patched(m_good, 4, 2), "format version 2");
        row("absurd levels", patched(m_good, 8, 0xffffffff), "4294967295 levels per sweep");
        row("no levels", patched(m_good, 8, 0), "0 levels per sweep");
        row("frequencies reversed", patched(m_good, 12, 0x7f7fffff), "frequency range");
        row("frequency not a number", patched(m_good, 16, 0x7fc00000), "frequency range");
        row("unterminated name", m_good.left(40) + QByteArray(32, 'n') + m_good.mid(72),
            "without terminating zero");
        // Announced sizes no memory could hold: only the complete sweeps may cost anything.
        // 1025 complete sweeps of 4 MiB in a sparse file: the last one lies past 4 GiB, where a
        // 32-bit offset would wrap to 8296, which holds other bytes than the zeros there.
        row("2^32-1 sweeps of 2^20 levels, past 4 GiB",
            patched(patched(m_good.left(104), 8, iMAX_LEVELS), 20, 0xffffffff)
                + QByteArray(8200, '\x01'),
            "announces 4294967295 sweeps of 1048576 levels", 1025,
            104 + 1025 * (8 + 4 * qint64(iMAX_LEVELS)) + 100);
        // 104 + (2^30 + 2) * 20 wraps to 144 in 32 bits: the file's true size.
        row("size wraps to the true size in 32 bits", patched(m_good, 20, (1u << 30) + 2),
            "announces 1073741826 sweeps", 2);
    }
    void badFiles()
    {
        QFETCH(QByteArray, contents);
        QFETCH(qint64, size);
        QFETCH(QString, error);
        QFETCH(int, complete);
        QFile file(path("bad.rec")), device(path("prefixed.rec"));
        for (QFile* f : { &file, &device }) {
            const QByteArray bytes = (f == &file ? "" : "prefix") + contents;
            f->remove();
            QVERIFY(contents.isNull()
                || (f->open(QIODevice::ReadWrite) && f->write(bytes) == bytes.size() && f->flush()
                    && f->seek(bytes.size() - contents.size())));
            if (size > 0 && !f->resize(size + bytes.size() - contents.size()))
                QSKIP("no room for a sparse file here");
        }

        CHeaderData h = header("untouched", 7);
        QVector<CSweep> sweeps { CSweep() };
        QString headerError, sweepsError, why;
        QVERIFY2(!ReadHeader(file.fileName(), h, &headerError)
                && !ReadSweeps(file.fileName(), h, sweeps, &sweepsError)
                && headerError.contains(error) && sweepsError == headerError
                && QByteArray(h.deviceName()) == "untouched" && sweeps.size() == 1,
            qPrintable(headerError));

        CRecordingReader reader;
        CSweep sweep;
        for (const bool byDevice : { false, !contents.isNull() }) { // no file: by path twice
            QCOMPARE(byDevice ? reader.open(&device, &why) : reader.open(file.fileName(), &why),
                complete >= 0);
            if (complete < 0) {
                QVERIFY2(
                    why == headerError && !reader.isOpen() && !reader.refresh(), qPrintable(why));
                QVERIFY(!reader.readSweep(0, sweep, &why) && why.contains("no recording is open"));
                continue;
            }
            const QString holds = QString::asprintf("holds %d of %u announced sweeps", complete,
                qFromLittleEndian<quint32>(contents.constData() + 20));
            QCOMPARE(reader.truncationText(), "the file " + holds);
            // The last complete sweep, as the file holds it where it belongs.
            if (complete > 0) {
                QVERIFY(reader.readSweep(quint32(complete - 1), sweep)
                    && file.seek(iREC_HEADER_BYTES
                        + (complete - 1) * (8 + 4 * qint64(sweep.levels.size()))));
                QCOMPARE(sweep.time.usecsSinceEpoch(),
                    qFromLittleEndian<qint64>(file.read(8).constData()));
            }
            const CSweep before = sweep;
            QVERIFY(!reader.readSweep(quint32(complete), sweep, &why));
            QCOMPARE(why, QString("sweep %1 is not in the file: it ").arg(complete) + holds);
            QCOMPARE(sweep, before);
        }
    }

    // The file changes while a reader has it open: it shrinks (truncated by hand), grows
    // (a recording still being written) or gets another header.
    void changesWhileOpen_data()
    {
        QTest::addColumn<QByteArray>("before"); // sweeps 0 and 1
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("readError"); // reading the last sweep before refresh()
        QTest::addColumn<QString>("refreshError");
        QTest::addColumn<int>("count"); // sweepCount() after refresh()
        const auto row = [](const char* tag, const QByteArray& before, const QByteArray& after,
                             const char* readError, const char* refreshError, int count) {
            QTest::newRow(tag) << before << after << readError << refreshError << count;
        };
        const QByteArray& good = m_good;
        const QByteArray sweep2 = m_four.mid(144, 20), announcing4 = patched(good, 20, 4);
        row("shrinks into the last sweep", good, good.left(130), "it shrank to 130 bytes", "", 1);
        row("shrinks into the header", good, good.left(50), "it shrank to 50 bytes",
            "truncated header: 50 of 104 bytes", 0);
        row("grows by a sweep", announcing4, announcing4 + sweep2, "", "", 3);
        row("grows past the count, not raised yet", good, good + sweep2, "", "", 2);
        row("writer raises the count", good, m_four, "", "", 4);
        row("other levels", good, patched(good, 8, 4), "", "the recording changed", 0);
    }
    void changesWhileOpen()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(QString, readError);
        QFETCH(QString, refreshError);
        QFETCH(int, count);
        QFile writer(path("growing.rec"));
        CRecordingReader reader;
        QVERIFY(writer.open(QIODevice::ReadWrite | QIODevice::Truncate)
            && writer.write(before) == before.size() && writer.flush()
            && reader.open(writer.fileName()) && writer.resize(0) && writer.seek(0)
            && writer.write(after) == after.size() && writer.flush());

        CSweep sweep;
        QString error;
        QCOMPARE(reader.readSweep(1, sweep, &error), readError.isEmpty());
        QVERIFY2(error.contains(readError), qPrintable(error));
        QCOMPARE(reader.sweepCount(), 2u); // until refresh()
        QCOMPARE(reader.refresh(&error), refreshError.isEmpty());
        QVERIFY2(error.contains(refreshError), qPrintable(error));
        QCOMPARE(reader.sweepCount(), quint32(count));
        for (int i = 0; i < count; ++i)
            QVERIFY(reader.readSweep(quint32(i), sweep) && sweep == sweepNo(i));
        QVERIFY(!reader.readSweep(quint32(count), sweep));
    }
};

QTEST_GUILESS_MAIN(TestRecording)
#include "tst_recording.moc"
