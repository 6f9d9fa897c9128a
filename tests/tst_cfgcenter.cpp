// The configuration store over real INI files: the bytes it writes, what it reads from files
// written by hand or by Qt's own INI format, and what it (and the frame over it) does with
// damaged files and with folders it cannot write.

#include "testenvironment.h"
#include "testframe.h"
#include "tracecollector.h"

#include <startup/cfgcenter.h>

#include <QSettings>
#include <QtTest>

#include <algorithm>
#include <csettings.h>
#include <memory>

namespace {

enum Fault { Other, FolderReplaced, FileIsAFolder, KeptTaken };

std::unique_ptr<ICfg> open(const QString& name, const QString& group = QString())
{
    return std::unique_ptr<ICfg>(CfgCenter::CreateCfg(name, ICfg::DefaultView, group));
}

// A name of its own per row: Qt keeps parsed files by name.
QString freshName()
{
    static int row = 0;
    return QStringLiteral("file%1").arg(++row);
}

// What Qt's own INI format writes for `key` (and a neighbour with the same value), as the store
// did before it read and wrote literally.
QByteArray writtenByQt(const QString& key, const QVariant& value)
{
    QTemporaryDir dir;
    {
        QSettings qt(dir.filePath("qt.ini"), QSettings::IniFormat);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        qt.setIniCodec("UTF-8");
#endif
        qt.setValue(key, value);
        qt.setValue(key + "Neighbour", value);
    }
    return fileBytes(dir.filePath("qt.ini"));
}

} // namespace

class TestCfgCenter : public QObject
{
    Q_OBJECT
    TestConfigDir m_config;

private slots:
    void roundTrip_data()
    {
        // What is written (a QString through WriteString, an int through WriteInt) and the line it
        // makes in the file (null: the text as it is).
        QTest::addColumn<QVariant>("written");
        QTest::addColumn<QByteArray>("line");
        const auto row = [](const char* tag, const QVariant& written, const char* line = nullptr) {
            QTest::newRow(tag) << written
                               << (line ? QByteArray(line) : written.toString().toUtf8());
        };
        row("INI syntax and unicode in text", "a=b; c,d [x] \"q\"# Grüße ✓");
        row("empty text is not absent", "");
        row("blanks at both ends", "  padded ", "@String(  padded )");
        row("control characters", QString::fromUtf8("a\nb\r\n\tc\0d\x1b\\", 11),
            "@String(a\\nb\\r\\n\\tc\\x00d\\x1B\\\\)");
        row("lone surrogate", QString(QChar(0xD800)) + "x", "@String(\\uD800x)");
        // Quotes, doubled backslashes and a doubled '@' as Qt's INI format wrote them.
        row("text of Qt's escaped form", "\"@@a, b\\\\c\"", "@String(\"@@a, b\\\\\\\\c\")");
        row("int", -42);
    }

    void roundTrip()
    {
        QFETCH(QVariant, written);
        QFETCH(QByteArray, line);
        const QString name = freshName();
        const bool isInt = written.userType() == QMetaType::Int;
        QVERIFY(isInt ? open(name)->WriteInt("entry", written.toInt())
                      : open(name)->WriteString("entry", written.toString()));
        QCOMPARE(fileBytes(m_config.iniPath(name)), "entry=" + line + "\n");
        QCOMPARE(open(name)->ReadString("entry", "<absent>"), written.toString());
        QCOMPARE(open(name)->ReadInt("entry", 7), isInt ? written.toInt() : 7);
    }

    void readAndRewrite_data()
    {
        // A file as a person, Qt's INI format or a fault left it, the group and key read, the text
        // read (null: the default), and whether the store takes the file as damaged: a file it
        // cannot read reads as empty and is set aside as "<name>.ini.damaged" by the first write.
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("damaged");
        const auto row = [](const char* tag, const QByteArray& content, const char* group,
                             const char* key, const QString& expected, bool damaged = false) {
            QTest::newRow(tag) << content << group << key << expected << damaged;
        };
        const auto byQt = [&](const char* tag, const QString& value) {
            row(tag, writtenByQt(QStringLiteral("G/k"), value), "G", "k", value);
        };
        row("trailing backslash continues nothing", "k=D:\\Data\\\nj=E:\\\n", "", "j", "E:\\");
        row("blanks around key and value", "  k =\t D:\\My Data \t\n", "", "k", "D:\\My Data");
        row("quotes and backslashes stay", "k=\"C:\\Program Files\\h.chm\"\n", "", "k",
            "\"C:\\Program Files\\h.chm\"");
        row("comment characters in a value", "k=a;b #c=d\n", "", "k", "a;b #c=d");
        row("comment lines", "; k=x\n  # k=y\n", "", "k", QString());
        row("CRLF line ends", "[G]\r\nk=file:c:/temp\r\nj=/a.rec\r\n", "G", "k", "file:c:/temp");
        row("byte order mark", "\xEF\xBB\xBFk=/data\n", "", "k", "/data");
        row("[General] is the top level", "[G]\nk=/a.rec\n[general]\nk=/data\n", "", "k", "/data");
        row("[%General] is the group General", "[%General]\nk=v\n", "General", "k", "v");
        row("escaped key", "[G]\nShow%20Grid=1\n", "G", "Show Grid", "1");
        row("group inside a key", "[G]\nDeck\\k=loop\n", "G", "Deck/k", "loop");
        row("the last of two lines counts", "[G]\nk=/a.rec\nk=/b.rec\n", "G", "k", "/b.rec");
        row("unknown escape: taken as typed", "k=@String(C:\\Data)\n", "", "k",
            "@String(C:\\Data)");
        row("invalid UTF-8 beside the entry", "[G]\nj=/data/\xff\xfe.rec\nk=/b.rec\n", "G", "k",
            "/b.rec");
        byQt("Qt: URL with a blank, non-ASCII", "file:///C:/My Data/Grüße ✓");
        byQt("Qt: name with a comma", "/data/run 1, take 2.rec");
        byQt("Qt: name with quotes", "/data/\"best\".rec");
        byQt("Qt: Windows name", "C:\\Data\\Rec\\a.rec");
        byQt("Qt: name beginning with @", "@home/a.rec");
        byQt("Qt: blanks at both ends", " /data/a.rec ");
        // Qt's escapes of control characters are read as typed, for `c:\temp` is a folder: a name
        // with a line break written before now reads with "\n" in it.
        row("Qt: line break", writtenByQt("G/k", "/data/a\nb.rec"), "G", "k", "/data/a\\nb.rec");
        // QSettings itself flags only an unterminated section header; the other damaged files
        // parse "successfully" with their garbage dropped, which a write would make permanent.
        row("unterminated section", "[Player\nk=kept\n", "", "k", QString(), true);
        row("line without '='", "k=kept\nthis is not a setting\n", "", "k", QString(), true);
        row("zeros of a torn write", "k=kept\n" + QByteArray(64, '\0'), "", "k", QString(), true);
    }

    void readAndRewrite()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, group);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QFETCH(bool, damaged);
        const QString name = freshName();
        const QString kept = m_config.iniPath(name) + ".damaged";
        m_config.writeIni(name, content);
        QFile older(kept); // a copy kept before, which a new damage replaces
        QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older copy") > 0 && older.flush());
        {
            // Two handles on one file: only the first write may set a damaged file aside, else
            // the second would move the new file over the kept one.
            const auto cfg = open(name, group);
            const auto other = open(name, QStringLiteral("Other"));
            QCOMPARE(cfg->ReadString(key, "<default>"), expected.isNull() ? "<default>" : expected);
            QVERIFY(cfg->WriteString(key, "changed") && other->WriteInt("Added", 4));
        }
        QCOMPARE(
            open(name, group)->ReadString(key, {}) + open(name, "Other")->ReadString("Added", {}),
            "changed4");
        QCOMPARE(fileBytes(kept), damaged ? content : QByteArray("older copy"));
        // Every old line (none of a damaged file) stays byte for byte and in its order, but the
        // last with the key, whose value is replaced after the key as it was spelt; the rest is
        // added.
        QByteArrayList before = damaged ? QByteArrayList() : content.split('\n'), after;
        for (const QByteArray& line : fileBytes(m_config.iniPath(name)).split('\n')) {
            const int at = line.lastIndexOf("changed");
            const auto old = std::find_if(before.rbegin(), before.rend(),
                [&](const QByteArray& l) { return at > 0 && l.startsWith(line.left(at)); });
            if (old != before.rend())
                after << (*old = line);
            else if (at < 0
                && !QByteArrayList { "", "[Other]", "Added=4" }.contains(line.trimmed()))
                after << line;
        }
        before.removeAll("");
        QCOMPARE(after, before);
    }

    void invalidNames()
    {
        auto cfg = open(QStringLiteral("valid"));
        for (const QString name : { "", "a/b", "a\\b", "..", "." }) {
            QVERIFY2(!open(name) && !open("valid", name.isEmpty() ? ".." : name), qPrintable(name));
            QVERIFY2(!std::unique_ptr<ICfg>(cfg->GetSubCfg(name)), qPrintable(name));
        }
        // An empty key neither writes nor reads.
        QVERIFY(!cfg->WriteString("", "x") && cfg->ReadString("", "default") == "default");
    }

    void failedWrite_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("folder"); // of the configuration, below the test's own
        QTest::addColumn<bool>("writeFails"); // WriteString itself returns false
        QTest::addColumn<QString>("traced"); // a part of the one trace, "" none
        QTest::addColumn<QByteArray>("bytes"); // of the file at the end
        const auto row = [](const char* tag, Fault fault, const char* folder, bool writeFails,
                             const char* traced, const QByteArray& bytes = QByteArray()) {
            QTest::newRow(tag) << int(fault) << folder << writeFails << traced << bytes;
        };
        row("missing folder is created", Other, "missing/below", false, "", "key=value\nother=1\n");
        // A path below a regular file cannot be created, not even by root, whom permission bits
        // do not stop.
        row("folder below a file", Other, "file/below", true, "cannot be written");
        row("folder gone before the file is written", FolderReplaced, "gone", false,
            "cannot be written");
        row("file is a folder", FileIsAFolder, "", true, "cannot be written");
        row("damaged file cannot be set aside", KeptTaken, "", true, "cannot be moved aside",
            "no setting here\n");
    }

    void failedWrite()
    {
        QFETCH(int, fault);
        QFETCH(QString, folder);
        QFETCH(bool, writeFails);
        QFETCH(QString, traced);
        QFETCH(QByteArray, bytes);
        TestConfigDir dir;
        QVERIFY(QFile(dir.path() + "/file").open(QIODevice::WriteOnly));
        QVERIFY(QDir().mkpath(dir.path() + "/gone"));
        qputenv("TEV_CONFIG_DIR", (dir.path() + '/' + folder).toUtf8());
        const QString ini = CfgCenter::ConfigFolder() + "/faulty.ini";
        if (fault == FileIsAFolder)
            QVERIFY(QDir().mkpath(ini));
        if (fault == KeptTaken) {
            dir.writeIni("faulty", "no setting here\n");
            // A non-empty folder under the name the damaged file would be kept as.
            QVERIFY(QDir().mkpath(ini + ".damaged/inside"));
        }
        TraceCollector traces;
        {
            auto cfg = open(QStringLiteral("faulty"));
            QCOMPARE(cfg->ReadString("key", "default"), QStringLiteral("default"));
            QCOMPARE(cfg->WriteString("key", "value"), !writeFails);
            // A second failure is not traced again.
            QCOMPARE(cfg->WriteInt("other", 1), !writeFails);
            if (fault == FolderReplaced)
                QVERIFY(QDir(dir.path() + "/gone").removeRecursively()
                    && QFile(dir.path() + "/gone").open(QIODevice::WriteOnly));
        } // the handle writes its file here
        QCOMPARE(traces.messages.size(), traced.isEmpty() ? 0 : 1);
        QCOMPARE(traces.messages.filter(ini).filter(traced), traces.messages);
        QCOMPARE(fileBytes(ini), bytes);
    }

    // The frame starts with its defaults, and its close sets the file aside and starts a new one;
    // the front end's file, which it only reads, stays as it is and where it is.
    void frameOverDamagedSettings()
    {
        QCoreApplication::setApplicationName(QStringLiteral("app"));
        TestConfigDir dir;
        const QByteArray content
            = "[Settings]\nFileOpenPath=/kept\nFiles1=/kept/a.rec\n" + QByteArray(32, '\0');
        dir.writeIni(QStringLiteral("app"), content);
        dir.writeIni(QStringLiteral("frontend"), content);
        const QString appIni = dir.iniPath(QStringLiteral("app"));
        TraceCollector traces;
        QPointer<TestFrame> frame = new TestFrame;
        frame->initialize(true);
        QCOMPARE(
            frame->m_fileOpenPath + frame->m_settings->recentFiles().join(','), "file:c:/temp");
        frame->m_fileOpenPath = QStringLiteral("/chosen");
        frame->close(); // writes the options as it goes
        QTRY_VERIFY(frame.isNull());
        QCOMPARE(traces.messages.size(), 1);
        QVERIFY2(
            traces.messages.first().contains(appIni + ".damaged"), qPrintable(traces.messages[0]));
        QCOMPARE(
            fileBytes(appIni + ".damaged") + fileBytes(dir.iniPath("frontend")), content + content);
        const auto stored = open("app", "Settings");
        QCOMPARE(
            stored->ReadString("FileOpenPath", {}) + stored->ReadString("Files1", {}), "/chosen");
    }
};

QTEST_MAIN(TestCfgCenter)
#include "tst_cfgcenter.moc"
