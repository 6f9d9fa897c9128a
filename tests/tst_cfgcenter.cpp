// The configuration store over real INI files, hand-written or Qt's, damaged or unwritable.

#include "testenvironment.h"
#include "tracecollector.h"

#include <startup/cfgcenter.h>
#include <values/persistant.h>

#include <QSettings>
#include <QtTest>

#include <algorithm>
#include <csettings.h>
#include <memory>

namespace {

enum Fault { Other, Untraced, FolderReplaced, FileIsAFolder, KeptTaken, Unchanged };

std::unique_ptr<ICfg> open(const QString& name, const QString& group = QString())
{
    return std::unique_ptr<ICfg>(CfgCenter::CreateCfg(name, ICfg::DefaultView, group));
}

// What Qt's INI format writes for `key` and a neighbour of the same value: the store's old files.
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
    int m_row = 0;

private slots:
    void readAndRewrite_data()
    {
        // A file as a person, Qt or a fault left it; the text read (null: the default); a damaged
        // file reads as empty and is set aside as "<name>.ini.damaged" by the first write.
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<QString>("written"); // then, through WriteString
        QTest::addColumn<QByteArray>("stored"); // what it makes in the file
        const auto row
            = [](const char* tag, const QByteArray& content, const char* group, const char* key,
                  const QString& expected, bool damaged = false, const QString& written = "changed",
                  const QByteArray& stored = "changed") {
                  QTest::newRow(tag)
                      << content << group << key << expected << damaged << written << stored;
              };
        const auto write = [&](const char* tag, const QString& written, const char* stored = "") {
            row(tag, "", "", "k", QString(), false, written, *stored ? stored : written.toUtf8());
        };
        const auto byQt = [&](const char* tag, const QString& value) {
            row(tag, writtenByQt(QStringLiteral("G/k"), value), "G", "k", value);
        };
        write("write: INI syntax and unicode", "a=b; c,d [x] \"q\"# Grüße ✓");
        write("write: empty text is not absent", "");
        write("write: blanks at both ends", "  padded ", "@String(  padded )");
        write("write: control characters", QString::fromUtf8("a\nb\r\n\tc\0d\x1b\\", 11),
            "@String(a\\nb\\r\\n\\tc\\x00d\\x1B\\\\)");
        write("write: lone surrogate", QString(QChar(0xD800)) + "x", "@String(\\uD800x)");
        // Quotes, doubled backslashes and a doubled '@' as Qt's INI format wrote them.
        write("write: Qt's escaped form", "\"@@a, b\\\\c\"", "@String(\"@@a, b\\\\\\\\c\")");
        row("trailing backslash continues nothing", "k=D:\\Data\\\nj=E:\\\n", "", "j", "E:\\");
        row("blanks around key and value", "  k =\t D:\\My Data \t\n", "", "k", "D:\\My Data");
        row("quotes and backslashes stay", "k=\"C:\\My Files\\h\"\n", "", "k",
            "\"C:\\My Files\\h\"");
        row("comment lines", "; k=x\n  # k=y\n", "", "k", QString());
        row("CRLF line ends", "[G]\r\nk=file:c:/temp\r\nj=/a.rec\r\n", "G", "k", "file:c:/temp");
        row("byte order mark", "\xEF\xBB\xBFk=/data\n", "", "k", "/data");
        row("[General] is the top level", "[G]\nk=/a.rec\n[general]\nk=/data\n", "", "k", "/data");
        row("[%General] is the group General", "[%General]\nk=v\n", "General", "k", "v");
        row("escaped key", "[G]\nShow%20Grid=1\n", "G", "Show Grid", "1");
        row("group inside a key", "[G]\nDeck\\k=loop\n", "G", "Deck/k", "loop");
        row("the last of two lines counts", "[G]\nk=/a.rec\nk=/b.rec\n", "G", "k", "/b.rec");
        row("unknown escape: as typed", "k=@String(C:\\Data)\n", "", "k", "@String(C:\\Data)");
        row("invalid UTF-8 beside the entry", "[G]\nj=/\xff\xfe\nk=/b.rec\n", "G", "k", "/b.rec");
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
        row("zeros of a torn write", "k=kept\nj=" + QByteArray(64, '\0'), "", "k", QString(), true);
    }

    void readAndRewrite()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, group);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QFETCH(bool, damaged);
        QFETCH(QString, written);
        QFETCH(QByteArray, stored);
        const QString name = QStringLiteral("file%1").arg(++m_row); // Qt keeps parsed files by name
        const QString kept = m_config.iniPath(name) + ".damaged";
        m_config.writeIni(name, "older damage");
        QVERIFY(QFile::rename(m_config.iniPath(name), kept)); // to be replaced by a new damage
        m_config.writeIni(name, content);
        {
            // Two handles: the second must not set the first one's new file aside as well.
            const auto cfg = open(name, group);
            const auto other = open(name, QStringLiteral("Other"));
            QCOMPARE(cfg->ReadString(key, "<default>"), expected.isNull() ? "<default>" : expected);
            QVERIFY(cfg->WriteString(key, written) && other->WriteInt("Added", 4));
        }
        QCOMPARE(open(name, group)->ReadString(key, "<absent>")
                + QString::number(open(name, "Other")->ReadInt("Added", 0)),
            written + "4");
        QCOMPARE(fileBytes(kept), damaged ? content : "older damage");
        // Every old line (none of a damaged file) stays, in order, but the last with the key,
        // whose value is replaced after the key as it was spelt; the rest is added.
        QByteArrayList before = damaged ? QByteArrayList() : content.split('\n'), after;
        for (const QByteArray& line : fileBytes(m_config.iniPath(name)).split('\n')) {
            const int at = line.lastIndexOf(stored);
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

    void namesLeadingOutOfTheFolderRefused()
    {
        for (const char* name : { "", ".", "..", "a/b", "..\\b" })
            QVERIFY2(!open(name) && !open("ok", *name ? name : "/"), name);
    }

    // Switches as people type them; any other text gives the default ("-").
    void readBool()
    {
        const auto cfg = open(QStringLiteral("switches"));
        QString read;
        for (const char* text : { "true", " TRUE ", "1", "False", " 0", "yes", "2", "", "01" }) {
            QVERIFY(cfg->WriteString("k", text));
            const bool flag = cfg->ReadBool("k", false);
            read += flag != cfg->ReadBool("k", true) ? '-' : flag ? '1' : '0';
        }
        QCOMPARE(read, QStringLiteral("11100----"));
    }

    // Copied and assigned records store their own members through groups of their own (freed once
    // each, as the sanitizer build sees); the owner hears just before a write, just after a read.
    void settingsRecords()
    {
        struct Owner : values::PersistantOwner // marks the list it points at
        {
            void ApplyPersistantBeforeWrite() override { *files << QStringLiteral("before"); }
            void ApplyPersistantAfterRead() override { *files << QStringLiteral("after"); }
            QStringList* files = nullptr;
        } owner;
        CSettings original("Original", &owner), assigned("Other", nullptr);
        original.recentFiles() << QStringLiteral("shared");
        assigned = original;
        assigned = assigned;
        CSettings copy(assigned);
        assigned.recentFiles() << QStringLiteral("not the copy's");
        owner.files = &copy.recentFiles();
        copy.write(QStringLiteral("records"));
        owner.files = &original.recentFiles();
        original.read(QStringLiteral("records")); // appends to what it holds
        QCOMPARE(original.recentFiles(), QStringList({ "shared", "shared", "before", "after" }));
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
        // Not even root can make a folder below a regular file.
        row("folder below a file", Other, "file/below", true, "cannot be written");
        row("folder gone before the write", FolderReplaced, "gone", false, "cannot be written");
        row("no trace unless switched on", Untraced, "file/below", true, "");
        row("file is a folder", FileIsAFolder, "", true, "cannot be written");
        row("damaged file cannot be set aside", KeptTaken, "", true, "cannot be moved aside",
            "no setting here\n");
        row("nothing new: file and time kept", Unchanged, "", false, "", "key=value\nother=1\n");
    }

    void failedWrite()
    {
        QFETCH(int, fault);
        QFETCH(QString, folder);
        QFETCH(bool, writeFails);
        QFETCH(QString, traced);
        QFETCH(QByteArray, bytes);
        TestConfigDir dir;
        QVERIFY(QFile(dir.path() + "/file").open(QIODevice::WriteOnly)
            && QDir().mkpath(dir.path() + "/gone"));
        qputenv("TEV_CONFIG_DIR", (dir.path() + '/' + folder).toUtf8());
        const QString ini = CfgCenter::ConfigFolder() + "/faulty.ini";
        const QDateTime past = QDateTime::fromSecsSinceEpoch(1000000000);
        QFile file(ini);
        if (fault >= KeptTaken) // the file as it is to stay, from long ago
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()
                && file.flush() && file.setFileTime(past, QFileDevice::FileModificationTime));
        // A folder, not empty, under the name the damaged file would be kept as.
        if (fault == FileIsAFolder || fault == KeptTaken)
            QVERIFY(QDir().mkpath(fault == KeptTaken ? ini + ".damaged/inside" : ini));
        TraceCollector traces(fault == Untraced ? 0u : unsigned(ErrorHandler::Traces));
        {
            auto cfg = open(QStringLiteral("faulty"));
            QCOMPARE(cfg->WriteString("key", "value"), !writeFails);
            QCOMPARE(cfg->WriteInt("other", 1), !writeFails); // a second failure is not traced
            if (fault == FolderReplaced)
                QVERIFY(QDir(dir.path() + "/gone").removeRecursively()
                    && QFile(dir.path() + "/gone").open(QIODevice::WriteOnly));
        } // the handle writes its file here
        QCOMPARE(traces.messages.size(), traced.isEmpty() ? 0 : 1);
        QCOMPARE(traces.messages.filter(ini).filter(traced), traces.messages);
        QCOMPARE(fileBytes(ini), bytes);
        QCOMPARE(QFileInfo(ini).lastModified() == past, fault >= KeptTaken);
    }
};

QTEST_MAIN(TestCfgCenter)
#include "tst_cfgcenter.moc"
