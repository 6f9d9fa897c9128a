// The configuration store over real INI files: the bytes it writes, what it reads from files
// written by hand or by Qt's own INI format, and what it (and the frame over it) does with
// damaged files and with folders it cannot write.

#include "testenvironment.h"
#include "testframe.h"
#include "tracecollector.h"

#include <startup/cfgcenter.h>
#include <startup/translationcenter.h>

#include <QSettings>
#include <QtTest>

#include <algorithm>
#include <csettings.h>
#include <memory>

namespace {

enum Fault { MissingFolder, FolderBelowAFile, TracesOff, FolderReplaced, FileIsAFolder, KeptTaken };

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
private slots:
    void roundTrip_data();
    void roundTrip();
    void readAndRewrite_data();
    void readAndRewrite();
    void invalidNames();
    void failedWrite_data();
    void failedWrite();
    void unchangedValuesLeaveTheFileAlone();
    void translationCounting();
    void frameOverDamagedSettings();

private:
    TestConfigDir m_config;
};

void TestCfgCenter::roundTrip_data()
{
    // What is written (a QString through WriteString, an int through WriteInt), the line it
    // makes in the file (null: the text as it is), and what ReadInt and ReadBool make of it;
    // -1 for a bool means "not a bool", so the default comes back.
    QTest::addColumn<QVariant>("written");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("asInt");
    QTest::addColumn<int>("asBool");
    const auto row = [](const char* tag, const QVariant& written, const char* line = nullptr,
                         int asInt = -7, int asBool = -1) {
        QTest::newRow(tag) << written << (line ? QByteArray(line) : written.toString().toUtf8())
                           << asInt << asBool;
    };
    row("Windows path as typed", "D:\\Data\\Rec");
    row("INI syntax in text", "a=b; c,d [x] \"q\"#");
    row("unicode", "Grüße ✓");
    row("empty text is not absent", "");
    row("blanks at both ends", "  padded ", "@String(  padded )");
    row("line breaks", "one\ntwo\r\nthree", "@String(one\\ntwo\\r\\nthree)");
    row("tab, NUL and escape", QString::fromUtf8("a\tb\0c\x1b\\", 7),
        "@String(a\\tb\\x00c\\x1B\\\\)");
    row("lone surrogate", QString(QChar(0xD800)) + "x", "@String(\\uD800x)");
    row("text of the escaped form", "@String(x)", "@String(@String(x))");
    row("backslashes as Qt's INI format wrote them", "c:\\\\temp", "@String(c:\\\\\\\\temp)");
    row("quotes as Qt's INI format wrote them", "\"a, b\"", "@String(\"a, b\")");
    row("doubled @", "@@x", "@String(@@x)");
    row("one megabyte", QString(1 << 20, QLatin1Char('m')));
    row("number as text", "42", nullptr, 42);
    row("negative int", -42, nullptr, -42);
    row("int one", 1, nullptr, 1, 1);
    row("int zero", 0, nullptr, 0, 0);
    row("bool text", "TRUE", nullptr, -7, 1);
}

void TestCfgCenter::roundTrip()
{
    QFETCH(QVariant, written);
    QFETCH(QByteArray, line);
    QFETCH(int, asInt);
    QFETCH(int, asBool);
    const QString name = freshName();
    QVERIFY(written.userType() == QMetaType::Int
            ? open(name)->WriteInt("entry", written.toInt())
            : open(name)->WriteString("entry", written.toString()));
    QCOMPARE(fileBytes(m_config.iniPath(name)), "entry=" + line + "\n");
    auto cfg = open(name);
    QCOMPARE(cfg->ReadString("entry", "<absent>"), written.toString());
    QCOMPARE(cfg->ReadInt("entry", -7), asInt);
    const bool readTrue = cfg->ReadBool("entry", true);
    QCOMPARE(readTrue == cfg->ReadBool("entry", false) ? int(readTrue) : -1, asBool);
}

void TestCfgCenter::readAndRewrite_data()
{
    // A file as a person, Qt's INI format or a fault left it, the group and key read, the text
    // read (null: the default), and whether the store takes the file as damaged: a file it
    // cannot read reads as empty and is set aside as "<name>.ini.damaged" by the first write.
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("group"); // nested groups separated by '/'
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("damaged");
    const auto row = [](const char* tag, const QByteArray& content, const char* group,
                         const char* key, const QString& expected, bool damaged = false) {
        QTest::newRow(tag) << content << group << key << expected << damaged;
    };
    const auto byQt
        = [&](const char* tag, const char* group, const char* key, const QVariant& value) {
              const QString path = QString(group).isEmpty() ? key : group + QString('/') + key;
              row(tag, writtenByQt(path, value), group, key, value.toString());
          };
    const QByteArray megabyte(1 << 20, 'm');
    const QByteArray badUtf8 = "[Settings]\nFiles1=/data/\xff\xfe.rec\nFiles2=/data/b.rec\n";
    row("backslashes", "RecordingPath=D:\\Data\\Rec\n", "", "RecordingPath", "D:\\Data\\Rec");
    row("backslash before a C escape letter", "ReportPath=c:\\temp\\new\n", "", "ReportPath",
        "c:\\temp\\new");
    row("trailing backslash continues nothing", "RecordingPath=D:\\Data\\\nReportPath=E:\\\n", "",
        "ReportPath", "E:\\");
    row("blanks around key and value", "  RecordingPath =\t D:\\My Data\\Rec \t\n", "",
        "RecordingPath", "D:\\My Data\\Rec");
    row("quotes stay", "HelpFile=\"C:\\Program Files\\help.chm\"\n", "", "HelpFile",
        "\"C:\\Program Files\\help.chm\"");
    row("comment characters in a value", "HelpFile=a;b #c=d\n", "", "HelpFile", "a;b #c=d");
    row("comment lines", "; HelpFile=x\n  # HelpFile=y\n", "", "HelpFile", QString());
    row("CRLF line ends", "[Settings]\r\nFileOpenPath=file:c:/temp\r\nFiles1=/a.rec\r\n",
        "Settings", "FileOpenPath", "file:c:/temp");
    row("byte order mark", "\xEF\xBB\xBFRecordingPath=/data\n", "", "RecordingPath", "/data");
    row("[General] is the top level", "[Settings]\nFiles1=/a.rec\n[general]\nRecordingPath=/data\n",
        "", "RecordingPath", "/data");
    row("[%General] is the group General", "[%General]\nKey=v\n", "General", "Key", "v");
    row("escaped key", "[MenuSettings]\nShow%20Grid=1\n", "MenuSettings", "Show Grid", "1");
    row("group inside a key", "[Player]\nDeck\\Mode=loop\n", "Player/Deck", "Mode", "loop");
    row("the last of two lines counts", "[Settings]\nFiles1=/a.rec\nFiles1=/b.rec\n", "Settings",
        "Files1", "/b.rec");
    row("escaped line break in a recent entry", "[Settings]\nFiles1=@String(/data/a\\nb.rec)\n",
        "Settings", "Files1", "/data/a\nb.rec");
    row("unknown escape: taken as typed", "RecordingPath=@String(C:\\Data)\n", "", "RecordingPath",
        "@String(C:\\Data)");
    row("invalid UTF-8 in a recent entry", badUtf8, "Settings", "Files1",
        QString("/data/\uFFFD\uFFFD.rec"));
    row("invalid UTF-8 beside the entry", badUtf8, "Settings", "Files2", "/data/b.rec");
    // What fuzzing found: a header with invalid UTF-8 and ']' after the frame's entries.
    row("header with invalid UTF-8",
        QByteArray::fromBase64("W1NldHRpbmdzXQpGaWxlT3BlblBhdGg9ZmlsZTovZGFbdGEKRmlsZXMxPS9kYXQu"
                               "cgpbTWVudVNldHRpbvv/////////OyB8fGV0dG5n//9zXSxpbmd8fHx8LHx0TXME"
                               "ODI0Cg=="),
        "Settings", "Files1", "/dat.r");
    row("one megabyte value", "RecordingPath=" + megabyte + "\nReportPath=/r\n", "",
        "RecordingPath", QString::fromLatin1(megabyte));
    byQt("Qt: file: URL with a blank", "Settings", "FileOpenPath", "file:///C:/My Data");
    byQt("Qt: name with a comma", "Settings", "Files3", "/data/run 1, take 2.rec");
    byQt("Qt: name with ';' and '='", "Settings", "Files4", "/data/a;b=c.rec");
    byQt("Qt: name with quotes", "Settings", "Files5", "/data/\"best\".rec");
    byQt("Qt: Windows name", "Settings", "Files6", "C:\\Data\\Rec\\a.rec");
    byQt("Qt: name beginning with @", "Settings", "Files7", "@home/a.rec");
    byQt("Qt: blanks at both ends", "Settings", "Files8", " /data/a.rec ");
    byQt("Qt: non-ASCII name", "Settings", "Files9", "/data/Grüße/ä ✓.rec");
    byQt("Qt: empty entry", "Settings", "Files9", "");
    byQt("Qt: menu key", "MenuSettings", "Display Mode", 2);
    byQt("Qt: menu key with a path", "MenuSettings", "root/units", -1);
    byQt("Qt: top level", "", "RecordingPath", "D:/Data");
    // Qt's escapes of control characters are read as typed, for `c:\temp` is a folder: a name
    // with a line break written before now reads with "\n" in it.
    row("Qt: name with a line break", writtenByQt("Settings/Files1", "/data/a\nb.rec"), "Settings",
        "Files1", "/data/a\\nb.rec");
    // QSettings itself flags only an unterminated section header; the other damaged files
    // parse "successfully" with their garbage dropped, which a write would make permanent.
    row("one megabyte line without '='", "RecordingPath=/kept\n" + megabyte + "\n", "",
        "RecordingPath", QString(), true);
    row("unterminated section", "[Player\nkey=kept\n", "", "key", QString(), true);
    row("line without '='", "key=kept\nthis is not a setting\n", "", "key", QString(), true);
    row("zeros of a torn write", QByteArray(64, '\0'), "", "key", QString(), true);
    row("binary", QByteArray::fromHex("89504e470d0a1a0a0000000d49484452"), "", "key", QString(),
        true);
    row("UTF-16", QByteArray("\xff\xfek\0=\0v\0\n\0", 10), "", "key", QString(), true);
}

void TestCfgCenter::readAndRewrite()
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
    QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older copy") > 0);
    older.close();
    auto openGroup = [&] {
        std::unique_ptr<ICfg> cfg = open(name);
        for (const QString& part : group.split('/', Qt::SkipEmptyParts))
            cfg.reset(cfg->GetSubCfg(part));
        return cfg;
    };
    {
        // Two handles on one file: only the first write may set a damaged file aside, else the
        // second would move the new file over the kept one.
        const auto cfg = openGroup();
        const auto other = open(name, QStringLiteral("Other"));
        QCOMPARE(cfg->ReadString(key, "<default>"), expected.isNull() ? "<default>" : expected);
        QVERIFY(cfg->WriteString(key, "changed") && other->WriteInt("Added", 4));
    }
    QCOMPARE(openGroup()->ReadString(key, QString()), QStringLiteral("changed"));
    QCOMPARE(open(name, "Other")->ReadInt("Added", 0), 4);
    QCOMPARE(fileBytes(kept), damaged ? content : QByteArray("older copy"));
    const QByteArrayList after = fileBytes(m_config.iniPath(name)).split('\n');
    if (damaged) { // nothing of the old file is left in the new one
        for (const QByteArray& line : after)
            QVERIFY2(line.isEmpty() || line.startsWith('[') || line.endsWith("changed")
                    || line == "Added=4",
                line.left(100).constData());
        return;
    }
    // Every line of the file is still there, in its order and byte for byte, but the one that
    // held the key, which now holds the new value after the key as it was spelt.
    QByteArrayList lost;
    int next = 0;
    for (const QByteArray& line : content.split('\n')) {
        const int at = after.indexOf(line, next);
        if (at < 0)
            lost << line;
        next = at < 0 ? next : at + 1;
    }
    QVERIFY2(lost.size() <= 1, lost.join('\n').left(400).constData());
    const QByteArray keyPart = lost.value(0).left(lost.value(0).indexOf('=') + 1);
    QVERIFY2(lost.isEmpty()
            || std::any_of(after.cbegin(), after.cend(),
                [&](const QByteArray& l) {
                    return l.startsWith(keyPart) && l.trimmed().endsWith("changed");
                }),
        keyPart.constData());
}

void TestCfgCenter::invalidNames()
{
    auto cfg = open(QStringLiteral("valid"));
    for (const QString name : { "", "a/b", "a\\b", "..", "." }) {
        QVERIFY2(!open(name) && !open("valid", name.isEmpty() ? ".." : name), qPrintable(name));
        QVERIFY2(!std::unique_ptr<ICfg>(cfg->GetSubCfg(name)), qPrintable(name));
    }
    // An empty key neither writes nor reads.
    QVERIFY(!cfg->WriteString("", "x"));
    QCOMPARE(cfg->ReadString("", "default"), QStringLiteral("default"));
}

void TestCfgCenter::failedWrite_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<bool>("writeFails"); // WriteString itself returns false
    QTest::addColumn<QString>("traced"); // a part of the one trace, "" none
    QTest::newRow("missing folder is created") << int(MissingFolder) << false << "";
    // A path below a regular file cannot be created, not even by root, whom permission bits
    // do not stop.
    QTest::newRow("folder below a file") << int(FolderBelowAFile) << true << "cannot be written";
    QTest::newRow("traces off") << int(TracesOff) << true << "";
    QTest::newRow("folder gone before the file is written")
        << int(FolderReplaced) << false << "cannot be written";
    QTest::newRow("file is a folder") << int(FileIsAFolder) << true << "cannot be written";
    QTest::newRow("damaged file cannot be set aside")
        << int(KeptTaken) << true << "cannot be moved aside";
}

void TestCfgCenter::failedWrite()
{
    QFETCH(int, fault);
    QFETCH(bool, writeFails);
    QFETCH(QString, traced);
    TestConfigDir dir;
    const QString folder = dir.path() + "/settings";
    if (fault == FolderBelowAFile || fault == TracesOff)
        QVERIFY(QFile(folder).open(QIODevice::WriteOnly));
    else if (fault != MissingFolder)
        QVERIFY(QDir().mkpath(folder));
    const bool below = fault == FolderBelowAFile || fault == TracesOff || fault == MissingFolder;
    qputenv("TEV_CONFIG_DIR", (below ? folder + "/below" : folder).toUtf8());
    const QString ini = CfgCenter::ConfigFolder() + "/faulty.ini";
    if (fault == FileIsAFolder)
        QVERIFY(QDir().mkpath(ini));
    if (fault == KeptTaken) {
        QFile damaged(ini);
        QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write("no setting here\n") > 0);
        // A non-empty folder under the name the damaged file would be kept as.
        QVERIFY(QDir().mkpath(ini + ".damaged/inside"));
    }

    TraceCollector traces(fault == TracesOff ? ErrorHandler::Assertions : ErrorHandler::Traces);
    {
        auto cfg = open(QStringLiteral("faulty"));
        QVERIFY(cfg);
        QCOMPARE(cfg->ReadString("key", "default"), QStringLiteral("default"));
        QCOMPARE(cfg->WriteString("key", "value"), !writeFails);
        QCOMPARE(cfg->WriteInt("other", 1), !writeFails); // a second failure is not traced again
        if (fault == FolderReplaced)
            QVERIFY(QDir(folder).removeRecursively() && QFile(folder).open(QIODevice::WriteOnly));
    } // the handle writes its file here
    QCOMPARE(traces.messages.size(), traced.isEmpty() ? 0 : 1);
    const QString message = traces.messages.value(0);
    QVERIFY2(traced.isEmpty() || (message.contains(traced) && message.contains(ini)),
        qPrintable(message));
    if (fault == KeptTaken || fault == MissingFolder)
        QCOMPARE(fileBytes(ini), fault == KeptTaken ? "no setting here\n" : "key=value\nother=1\n");
}

void TestCfgCenter::unchangedValuesLeaveTheFileAlone()
{
    // Through the application configuration, which reaches the file on Sync().
    ICfg& app = CfgCenter::GetAppCfg();
    QCOMPARE(&CfgCenter::GetAppCfg(ICfg::DefaultView), &app); // one handle, valid until exit
    const QString path = m_config.iniPath(QCoreApplication::applicationName());
    QVERIFY(app.WriteString("Folder", "/data") && app.WriteInt("Count", 3));
    CfgCenter::Sync();
    // Dated back by hand: a rewrite, even of the same bytes, would date it now.
    const QDateTime past(QDate(2001, 2, 3), QTime(4, 5, 6));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(past, QFileDevice::FileModificationTime));
    }
    QVERIFY(app.WriteString("Folder", "/data") && app.WriteInt("Count", 3));
    CfgCenter::Sync();
    QCOMPARE(QFileInfo(path).lastModified(), past);
    QVERIFY(app.WriteInt("Count", 4));
    CfgCenter::Sync();
    QCOMPARE(fileBytes(path), QByteArray("Count=4\nFolder=/data\n"));
}

void TestCfgCenter::translationCounting()
{
    TranslationCenter& center = TranslationCenter::Instance();
    center.Unregister("Counted"); // unknown: must not leave a negative count behind
    center.Register("Counted");
    center.Register("Counted");
    center.Register("");
    center.Unregister("Counted");
    QVERIFY(center.Catalogues().contains("Counted") && !center.Catalogues().contains(""));
    QVERIFY(!center.IsInstalled("Counted")); // no such catalogue is built into this program
    center.Unregister("Counted");
    QVERIFY(!center.Catalogues().contains("Counted"));
}

// The frame starts with its defaults, and its close sets the file aside and starts a new one;
// the front end's file, which it only reads, stays as it is and where it is.
void TestCfgCenter::frameOverDamagedSettings()
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
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    QCOMPARE(frame->m_fileOpenPath, QStringLiteral("file:c:/temp")); // the default, not "/kept"
    QCOMPARE(frame->m_settings->recentFiles(), QStringList());
    frame->m_fileOpenPath = QStringLiteral("/chosen");
    frame->close(); // writes the options as it goes
    QTRY_VERIFY(frame.isNull());
    QCOMPARE(traces.messages.size(), 1);
    QVERIFY2(traces.messages.first().contains(appIni + ".damaged"), qPrintable(traces.messages[0]));
    QCOMPARE(fileBytes(appIni + ".damaged"), content);
    QCOMPARE(fileBytes(dir.iniPath(QStringLiteral("frontend"))), content);
    QVERIFY(!QFile::exists(dir.iniPath(QStringLiteral("frontend")) + ".damaged"));
    QSettings stored(appIni, QSettings::IniFormat);
    QCOMPARE(stored.value("Settings/FileOpenPath").toString(), QStringLiteral("/chosen"));
    QCOMPARE(stored.value("Settings/Files1").toString(), QString()); // nothing old
}

QTEST_MAIN(TestCfgCenter)
#include "tst_cfgcenter.moc"
