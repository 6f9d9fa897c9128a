#include "testenvironment.h"
#include "tracecollector.h"

#include <startup/cfgcenter.h>
#include <startup/translationcenter.h>

#include <QSettings>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

enum Fault { FolderBelowAFile, FolderReplacedByAFile, DamagedKeptNameTaken };

std::unique_ptr<ICfg> open(const QString& name, const QString& group = QString())
{
    return std::unique_ptr<ICfg>(CfgCenter::CreateCfg(name, ICfg::DefaultView, group));
}

} // namespace

class TestCfgCenter : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void handWritten_data();
    void handWritten();
    void writtenByQtBefore_data();
    void writtenByQtBefore();
    void subConfigurations();
    void invalidNames_data();
    void invalidNames();
    void damagedFile_data();
    void damagedFile();
    void olderDamagedCopyIsReplaced();
    void failedWriteIsTraced_data();
    void failedWriteIsTraced();
    void noTraceWithoutTheFlag();
    void directoryInsteadOfFile();
    void missingFolderIsCreated();
    void appCfgReachesFileOnSync();
    void unchangedValuesLeaveTheFileAlone();
    void translationCounting();

private:
    TestConfigDir m_config;
};

void TestCfgCenter::roundTrip_data()
{
    // What is written (a QString through WriteString, an int through WriteInt), the line it
    // makes in the file, and what the three readers make of it; -1 for a bool means "not a
    // bool", so the default comes back.
    QTest::addColumn<QVariant>("written");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("asString");
    QTest::addColumn<int>("asInt");
    QTest::addColumn<int>("asBool");
    const QString lone = QString(QChar(0xD800)) + "x";
    const QString megabyte(1 << 20, QLatin1Char('m'));
    QTest::newRow("text") << QVariant("hello") << QByteArray("hello") << "hello" << -7 << -1;
    QTest::newRow("Windows path as typed")
        << QVariant("D:\\Data\\Rec") << QByteArray("D:\\Data\\Rec") << "D:\\Data\\Rec" << -7 << -1;
    QTest::newRow("INI syntax in text")
        << QVariant("a=b; c,d [x] \"q\"#") << QByteArray("a=b; c,d [x] \"q\"#")
        << "a=b; c,d [x] \"q\"#" << -7 << -1;
    QTest::newRow("unicode") << QVariant("Grüße ✓") << QString("Grüße ✓").toUtf8() << "Grüße ✓"
                             << -7 << -1;
    QTest::newRow("empty text is not absent") << QVariant("") << QByteArray() << "" << -7 << -1;
    QTest::newRow("blanks at both ends")
        << QVariant("  padded ") << QByteArray("@String(  padded )") << "  padded " << -7 << -1;
    QTest::newRow("line breaks") << QVariant("one\ntwo\r\nthree")
                                 << QByteArray("@String(one\\ntwo\\r\\nthree)")
                                 << "one\ntwo\r\nthree" << -7 << -1;
    QTest::newRow("tab, NUL and escape") << QVariant(QString::fromUtf8("a\tb\0c\x1b\\", 7))
                                         << QByteArray("@String(a\\tb\\x00c\\x1B\\\\)")
                                         << QString::fromUtf8("a\tb\0c\x1b\\", 7) << -7 << -1;
    QTest::newRow("lone surrogate")
        << QVariant(lone) << QByteArray("@String(\\uD800x)") << lone << -7 << -1;
    QTest::newRow("text of the escaped form")
        << QVariant("@String(x)") << QByteArray("@String(@String(x))") << "@String(x)" << -7 << -1;
    QTest::newRow("backslashes as Qt's INI format wrote them")
        << QVariant("c:\\\\temp") << QByteArray("@String(c:\\\\\\\\temp)") << "c:\\\\temp" << -7
        << -1;
    QTest::newRow("quotes as Qt's INI format wrote them")
        << QVariant("\"a, b\"") << QByteArray("@String(\"a, b\")") << "\"a, b\"" << -7 << -1;
    QTest::newRow("doubled @") << QVariant("@@x") << QByteArray("@String(@@x)") << "@@x" << -7
                               << -1;
    QTest::newRow("one megabyte") << QVariant(megabyte) << megabyte.toUtf8() << megabyte << -7
                                  << -1;
    QTest::newRow("number as text") << QVariant("42") << QByteArray("42") << "42" << 42 << -1;
    QTest::newRow("negative int") << QVariant(-42) << QByteArray("-42") << "-42" << -42 << -1;
    QTest::newRow("int one") << QVariant(1) << QByteArray("1") << "1" << 1 << 1;
    QTest::newRow("int zero") << QVariant(0) << QByteArray("0") << "0" << 0 << 0;
    QTest::newRow("bool text") << QVariant("TRUE") << QByteArray("TRUE") << "TRUE" << -7 << 1;
}

void TestCfgCenter::roundTrip()
{
    QFETCH(QVariant, written);
    QFETCH(QByteArray, line);
    QFETCH(QString, asString);
    QFETCH(int, asInt);
    QFETCH(int, asBool);
    {
        auto cfg = open(QStringLiteral("roundtrip"));
        QVERIFY(cfg);
        QVERIFY(written.userType() == QMetaType::Int
                ? cfg->WriteInt("entry", written.toInt())
                : cfg->WriteString("entry", written.toString()));
    }
    QCOMPARE(fileBytes(m_config.iniPath("roundtrip")), "entry=" + line + "\n");
    auto cfg = open(QStringLiteral("roundtrip"));
    QCOMPARE(cfg->ReadString("entry", "<absent>"), asString);
    QCOMPARE(cfg->ReadInt("entry", -7), asInt);
    const bool readTrue = cfg->ReadBool("entry", true);
    const bool readFalse = cfg->ReadBool("entry", false);
    QCOMPARE(readTrue == readFalse ? int(readTrue) : -1, asBool);
}

void TestCfgCenter::handWritten_data()
{
    // A file as a person (or a fault) left it, the group and key read, and the text read
    // (null: the default, as for a damaged file).
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("group"); // nested groups separated by '/'
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    const QString none;
    const QByteArray megabyte(1 << 20, 'm');
    QTest::newRow("backslashes") << QByteArray("RecordingPath=D:\\Data\\Rec\n") << ""
                                 << "RecordingPath"
                                 << "D:\\Data\\Rec";
    QTest::newRow("backslash before a C escape letter")
        << QByteArray("ReportPath=c:\\temp\\new\n") << ""
        << "ReportPath"
        << "c:\\temp\\new";
    QTest::newRow("network path") << QByteArray("RecordingPath=\\\\server\\share\\rec\n") << ""
                                  << "RecordingPath"
                                  << "\\\\server\\share\\rec";
    QTest::newRow("trailing backslash continues nothing")
        << QByteArray("RecordingPath=D:\\Data\\\nReportPath=E:\\\n") << ""
        << "ReportPath"
        << "E:\\";
    QTest::newRow("blanks around key and value")
        << QByteArray("  RecordingPath =\t D:\\My Data\\Rec \t\n") << ""
        << "RecordingPath"
        << "D:\\My Data\\Rec";
    QTest::newRow("quotes stay") << QByteArray("HelpFile=\"C:\\Program Files\\help.chm\"\n") << ""
                                 << "HelpFile"
                                 << "\"C:\\Program Files\\help.chm\"";
    QTest::newRow("quoted word stays quoted") << QByteArray("Title=\"hello\"\n") << ""
                                              << "Title"
                                              << "\"hello\"";
    QTest::newRow("comment characters in a value") << QByteArray("HelpFile=a;b #c=d\n") << ""
                                                   << "HelpFile"
                                                   << "a;b #c=d";
    QTest::newRow("comment lines") << QByteArray("; HelpFile=x\n  # HelpFile=y\n") << ""
                                   << "HelpFile" << none;
    QTest::newRow("CRLF line ends")
        << QByteArray("[Settings]\r\nFileOpenPath=file:c:/temp\r\nFiles1=/a.rec\r\n") << "Settings"
        << "FileOpenPath"
        << "file:c:/temp";
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBFRecordingPath=/data\n") << ""
                                     << "RecordingPath"
                                     << "/data";
    QTest::newRow("[General] is the top level")
        << QByteArray("[Settings]\nFiles1=/a.rec\n[general]\nRecordingPath=/data\n") << ""
        << "RecordingPath"
        << "/data";
    QTest::newRow("[%General] is the group General")
        << QByteArray("[%General]\nKey=v\n") << "General"
        << "Key"
        << "v";
    QTest::newRow("escaped key") << QByteArray("[MenuSettings]\nShow%20Grid=1\n") << "MenuSettings"
                                 << "Show Grid"
                                 << "1";
    QTest::newRow("group inside a key")
        << QByteArray("[Player]\nDeck\\Mode=loop\n") << "Player/Deck"
        << "Mode"
        << "loop";
    QTest::newRow("the last of two lines counts")
        << QByteArray("[Settings]\nFiles1=/a.rec\nFiles1=/b.rec\n") << "Settings"
        << "Files1"
        << "/b.rec";
    QTest::newRow("escaped line break in a recent entry")
        << QByteArray("[Settings]\nFiles1=@String(/data/a\\nb.rec)\n") << "Settings"
        << "Files1"
        << "/data/a\nb.rec";
    QTest::newRow("unknown escape: taken as typed")
        << QByteArray("RecordingPath=@String(C:\\Data)\n") << ""
        << "RecordingPath"
        << "@String(C:\\Data)";
    QTest::newRow("invalid UTF-8 in a recent entry")
        << QByteArray("[Settings]\nFiles1=/data/\xff\xfe.rec\nFiles2=/data/b.rec\n") << "Settings"
        << "Files1" << QString("/data/\uFFFD\uFFFD.rec");
    QTest::newRow("invalid UTF-8 beside the entry")
        << QByteArray("[Settings]\nFiles1=/data/\xff\xfe.rec\nFiles2=/data/b.rec\n") << "Settings"
        << "Files2"
        << "/data/b.rec";
    // What fuzzing found: a header with invalid UTF-8 and ']' after the frame's entries.
    QTest::newRow("header with invalid UTF-8") << QByteArray::fromBase64(
        "W1NldHRpbmdzXQpGaWxlT3BlblBhdGg9ZmlsZTovZGFbdGEKRmlsZXMxPS9kYXQu"
        "cgpbTWVudVNldHRpbvv/////////OyB8fGV0dG5n//9zXSxpbmd8fHx8LHx0TXME"
        "ODI0Cg==") << "Settings"
                                               << "Files1"
                                               << "/dat.r";
    QTest::newRow("one megabyte value") << "RecordingPath=" + megabyte + "\nReportPath=/r\n"
                                        << ""
                                        << "RecordingPath" << QString::fromLatin1(megabyte);
    QTest::newRow("one megabyte line without '='") << "RecordingPath=/kept\n" + megabyte + "\n"
                                                   << ""
                                                   << "RecordingPath" << none;
}

void TestCfgCenter::handWritten()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, group);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    // A name of its own per row: Qt keeps parsed files by name.
    static int row = 0;
    const QString name = QStringLiteral("hand%1").arg(++row);
    m_config.writeIni(name, content);
    auto openGroup = [&] {
        std::unique_ptr<ICfg> cfg = open(name);
        for (const QString& part : group.split('/', Qt::SkipEmptyParts))
            cfg.reset(cfg->GetSubCfg(part));
        return cfg;
    };
    QCOMPARE(openGroup()->ReadString(key, "<default>"),
        expected.isNull() ? QStringLiteral("<default>") : expected);

    {
        auto cfg = openGroup();
        QVERIFY(cfg->WriteString(key, "changed"));
        QVERIFY(cfg->WriteString("Added", "new"));
    }
    auto cfg = openGroup();
    QCOMPARE(cfg->ReadString(key, QString()), QStringLiteral("changed"));
    QCOMPARE(cfg->ReadString("Added", QString()), QStringLiteral("new"));
    const QString kept = m_config.iniPath(name) + ".damaged";
    if (expected.isNull() && QFile::exists(kept)) {
        QCOMPARE(fileBytes(kept), content);
        return;
    }
    // Every line of the file is still there, in its order and byte for byte, but the one
    // that held the key.
    const QList<QByteArray> after = fileBytes(m_config.iniPath(name)).split('\n');
    QList<QByteArray> missing;
    int next = 0;
    for (const QByteArray& line : content.split('\n')) {
        int at = next;
        while (at < after.size() && after[at] != line)
            ++at;
        if (at == after.size())
            missing << line;
        else
            next = at + 1;
    }
    QVERIFY2(missing.size() <= 1, missing.join('\n').left(400).constData());
    if (!missing.isEmpty()) {
        // ... which now holds the new value after the key as it was spelt.
        const QByteArray keyPart = missing[0].left(missing[0].indexOf('=') + 1);
        QVERIFY2(std::any_of(after.cbegin(), after.cend(),
                     [&](const QByteArray& line) {
                         return line.startsWith(keyPart) && line.trimmed().endsWith("changed");
                     }),
            missing[0].left(200).constData());
    }
}

void TestCfgCenter::writtenByQtBefore_data()
{
    // Entries as the store wrote them through Qt's INI format, and what they read now.
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* tag, const QString& key, const QVariant& value) {
        QTest::newRow(tag) << key << value << value.toString();
    };
    row("file: path", "Settings/FileOpenPath", "file:/data/recordings");
    row("file: path of a drive", "Settings/FileOpenPath", "file:c:/temp");
    row("file: URL with a blank", "Settings/FileOpenPath", "file:///C:/My Data");
    row("recent file", "Settings/Files1", "/data/a.rec");
    row("archive name", "Settings/Files2", "mirel:/camp/2026/b.rec");
    row("name with a comma", "Settings/Files3", "/data/run 1, take 2.rec");
    row("name with ';' and '='", "Settings/Files4", "/data/a;b=c.rec");
    row("name with quotes", "Settings/Files5", "/data/\"best\".rec");
    row("Windows name", "Settings/Files6", "C:\\Data\\Rec\\a.rec");
    row("name beginning with @", "Settings/Files7", "@home/a.rec");
    row("blanks at both ends", "Settings/Files8", " /data/a.rec ");
    row("non-ASCII name", "Settings/Files9", "/data/Grüße/ä ✓.rec");
    row("empty entry", "Settings/Files9", "");
    row("menu key", "MenuSettings/Display Mode", 2);
    row("menu key with a path", "MenuSettings/root/units", -1);
    row("top level", "RecordingPath", "D:/Data");
    // Qt's escapes of control characters are read as typed, for `c:\temp` is a folder: a name
    // with a line break written before now reads with "\n" in it.
    QTest::newRow("name with a line break")
        << "Settings/Files1" << QVariant("/data/a\nb.rec") << "/data/a\\nb.rec";
}

void TestCfgCenter::writtenByQtBefore()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    QFETCH(QString, expected);
    QTemporaryDir qtDir;
    const QString qtFile = qtDir.path() + "/old.ini";
    {
        QSettings old(qtFile, QSettings::IniFormat);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        old.setIniCodec("UTF-8"); // Qt 6 writes UTF-8 only
#endif
        old.setValue(key, value);
        old.setValue("Settings/Neighbour", "n");
    }
    // Copied under a new name, so that the store reads the bytes and not Qt's cached parse.
    static int row = 0;
    const QString name = QStringLiteral("qt%1").arg(++row);
    const QByteArray bytes = fileBytes(qtFile);
    m_config.writeIni(name, bytes);
    QCOMPARE(open(name)->ReadString(key, "<default>"), expected);

    QVERIFY(open(name)->WriteString("Settings/Added", "new"));
    QCOMPARE(open(name)->ReadString(key, "<default>"), expected);
    QCOMPARE(fileBytes(m_config.iniPath(name)).replace("Added=new\n", ""), bytes);
}

void TestCfgCenter::subConfigurations()
{
    {
        auto top = open(QStringLiteral("groups"));
        std::unique_ptr<ICfg> player(top->GetSubCfg("Player"));
        QVERIFY(player);
        QVERIFY(player->WriteInt("Volume", 7));
        std::unique_ptr<ICfg> deck(player->GetSubCfg("Deck"));
        QVERIFY(deck->WriteString("Mode", "loop"));
        QVERIFY(!top->WriteString("", "x"));
    }
    const QByteArray bytes = fileBytes(m_config.iniPath("groups"));
    QVERIFY2(bytes.contains("[Player]\nDeck\\Mode=loop\nVolume=7"), bytes.constData());

    auto player = open(QStringLiteral("groups"), QStringLiteral("Player"));
    QCOMPARE(player->ReadInt("Volume", 0), 7);
    auto top = open(QStringLiteral("groups"));
    QCOMPARE(top->ReadInt("Volume", -1), -1);
    QCOMPARE(top->ReadString("Absent", "default"), QStringLiteral("default"));
    QCOMPARE(top->ReadBool("Absent", true), true);
    QCOMPARE(top->ReadString("", "default"), QStringLiteral("default"));
}

void TestCfgCenter::invalidNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << "";
    QTest::newRow("slash") << "a/b";
    QTest::newRow("backslash") << "a\\b";
    QTest::newRow("parent") << "..";
    QTest::newRow("dot") << ".";
}

void TestCfgCenter::invalidNames()
{
    QFETCH(QString, name);
    QVERIFY(!open(name));
    QVERIFY(!open(QStringLiteral("valid"), name.isEmpty() ? QStringLiteral("..") : name));
    auto cfg = open(QStringLiteral("valid"));
    QVERIFY(cfg);
    QVERIFY(!std::unique_ptr<ICfg>(cfg->GetSubCfg(name)));
}

void TestCfgCenter::damagedFile_data()
{
    // QSettings itself flags only an unterminated section header; the other rows parse
    // "successfully" with their garbage dropped, which a write would then make permanent.
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("unterminated section") << QByteArray("[Player\nkey=kept\n");
    QTest::newRow("line without '='") << QByteArray("key=kept\nthis is not a setting\n");
    QTest::newRow("zeros of a torn write") << QByteArray(64, '\0');
    QTest::newRow("binary") << QByteArray::fromHex("89504e470d0a1a0a0000000d49484452");
    QTest::newRow("UTF-16") << QByteArray("\xff\xfek\0=\0v\0\n\0", 10);
}

void TestCfgCenter::damagedFile()
{
    QFETCH(QByteArray, content);
    m_config.writeIni("damaged", content);
    const QString kept = m_config.iniPath("damaged") + ".damaged";
    QFile::remove(kept); // from the previous row
    {
        // Two handles on one damaged file: only the first write may set it aside, else the
        // second would move the new file over the kept one.
        auto first = open(QStringLiteral("damaged"));
        auto second = open(QStringLiteral("damaged"), QStringLiteral("Group"));
        QVERIFY(first && second);
        QCOMPARE(first->ReadString("key", "default"), QStringLiteral("default"));
        QCOMPARE(second->ReadInt("key", 3), 3);
        QVERIFY(first->WriteString("key", "new"));
        QCOMPARE(fileBytes(kept), content);
        QVERIFY(second->WriteInt("number", 4));
        QCOMPARE(first->ReadString("key", "default"), QStringLiteral("new"));
    }
    QCOMPARE(fileBytes(kept), content);
    const QByteArray rewritten = fileBytes(m_config.iniPath("damaged"));
    QVERIFY2(!rewritten.contains("kept"), rewritten.constData()); // nothing of the old file
    auto cfg = open(QStringLiteral("damaged"));
    QCOMPARE(cfg->ReadString("key", "default"), QStringLiteral("new"));
    QCOMPARE(std::unique_ptr<ICfg>(cfg->GetSubCfg("Group"))->ReadInt("number", 3), 4);
}

void TestCfgCenter::olderDamagedCopyIsReplaced()
{
    m_config.writeIni("again", "second damage\n");
    const QString kept = m_config.iniPath("again") + ".damaged";
    {
        QFile older(kept);
        QVERIFY(older.open(QIODevice::WriteOnly) && older.write("first damage") > 0);
    }
    QVERIFY(open(QStringLiteral("again"))->WriteString("key", "new"));
    QCOMPARE(fileBytes(kept), QByteArray("second damage\n"));
}

void TestCfgCenter::failedWriteIsTraced_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("traced"); // a part of the trace text
    QTest::addColumn<bool>("writeFails"); // WriteString itself returns false
    // A path below a regular file cannot be created, not even by root, whom permission bits
    // do not stop.
    QTest::newRow("folder below a file") << int(FolderBelowAFile) << "cannot be written" << true;
    QTest::newRow("folder gone before the file is written")
        << int(FolderReplacedByAFile) << "cannot be written" << false;
    QTest::newRow("damaged file cannot be set aside")
        << int(DamagedKeptNameTaken) << "cannot be moved aside" << true;
}

void TestCfgCenter::failedWriteIsTraced()
{
    QFETCH(int, fault);
    QFETCH(QString, traced);
    QFETCH(bool, writeFails);
    TestConfigDir dir;
    const QString folder = dir.path() + "/settings";
    if (fault == FolderBelowAFile) {
        QFile file(folder);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else {
        QVERIFY(QDir().mkpath(folder));
    }
    qputenv("TEV_CONFIG_DIR", (fault == FolderBelowAFile ? folder + "/below" : folder).toUtf8());
    const QString ini = CfgCenter::ConfigFolder() + "/faulty.ini";
    if (fault == DamagedKeptNameTaken) {
        QFile damaged(ini);
        QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write("no setting here\n") > 0);
        // A non-empty folder under the name the damaged file would be kept as.
        QVERIFY(QDir().mkpath(ini + ".damaged/inside"));
    }

    TraceCollector traces;
    {
        auto cfg = open(QStringLiteral("faulty"));
        QVERIFY(cfg);
        QCOMPARE(cfg->ReadString("key", "default"), QStringLiteral("default"));
        QCOMPARE(cfg->WriteString("key", "value"), !writeFails);
        if (fault == FolderReplacedByAFile) {
            QVERIFY(QDir(folder).removeRecursively());
            QFile file(folder);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    } // the handle writes its file here
    QCOMPARE(traces.messages.size(), 1);
    QVERIFY2(traces.messages.first().contains(traced), qPrintable(traces.messages.first()));
    QVERIFY2(traces.messages.first().contains(ini), qPrintable(traces.messages.first()));
    if (fault == DamagedKeptNameTaken)
        QCOMPARE(fileBytes(ini), QByteArray("no setting here\n"));
}

void TestCfgCenter::noTraceWithoutTheFlag()
{
    TestConfigDir dir;
    QFile file(dir.path() + "/file");
    QVERIFY(file.open(QIODevice::WriteOnly));
    qputenv("TEV_CONFIG_DIR", (dir.path() + "/file/below").toUtf8());
    TraceCollector traces(ErrorHandler::Assertions);
    QVERIFY(!open(QStringLiteral("faulty"))->WriteString("key", "value"));
    QVERIFY(traces.messages.isEmpty());
}

void TestCfgCenter::directoryInsteadOfFile()
{
    QVERIFY(QDir().mkpath(m_config.iniPath("folder")));
    auto cfg = open(QStringLiteral("folder"));
    QVERIFY(cfg);
    QCOMPARE(cfg->ReadInt("key", 5), 5);
    QVERIFY(!cfg->WriteInt("key", 6));
}

void TestCfgCenter::missingFolderIsCreated()
{
    TestConfigDir outer; // restores the test's folder afterwards
    const QString nested = outer.path() + "/not/there/yet";
    qputenv("TEV_CONFIG_DIR", nested.toLocal8Bit());
    QVERIFY(open(QStringLiteral("fresh"))->WriteString("key", "value"));
    QVERIFY(fileBytes(nested + "/fresh.ini").contains("key=value"));
}

void TestCfgCenter::appCfgReachesFileOnSync()
{
    ICfg& app = CfgCenter::GetAppCfg();
    QCOMPARE(&CfgCenter::GetAppCfg(ICfg::DefaultView), &app);
    QVERIFY(app.WriteString("Started", "yes"));
    CfgCenter::Sync();
    const QByteArray bytes = fileBytes(m_config.iniPath(QCoreApplication::applicationName()));
    QVERIFY2(bytes.contains("Started=yes"), bytes.constData());
}

void TestCfgCenter::unchangedValuesLeaveTheFileAlone()
{
    const QString path = m_config.iniPath(QStringLiteral("unchanged"));
    auto write = [](const QString& folder, int count) {
        std::unique_ptr<ICfg> cfg(CfgCenter::CreateCfg("unchanged", ICfg::FrontEndView, QString()));
        QVERIFY(cfg->WriteString("Folder", folder));
        QVERIFY(cfg->WriteInt("Count", count));
    };
    write("/data", 3);
    // Dated back by hand: a rewrite, even of the same bytes, would date it now.
    const QDateTime past(QDate(2001, 2, 3), QTime(4, 5, 6));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(past, QFileDevice::FileModificationTime));
    }
    write("/data", 3);
    CfgCenter::Sync();
    QCOMPARE(QFileInfo(path).lastModified(), past);
    write("/data", 4);
    QVERIFY(QFileInfo(path).lastModified() != past);
    QCOMPARE(fileBytes(path), QByteArray("Count=4\nFolder=/data\n"));
}

void TestCfgCenter::translationCounting()
{
    TranslationCenter& center = TranslationCenter::Instance();
    // Registered in main(), before the application object existed.
    QVERIFY(center.Catalogues().contains("Early"));

    center.Unregister("Counted"); // unknown: must not leave a negative count behind
    center.Register("Counted");
    center.Register("Counted");
    center.Register("");
    QVERIFY(!center.Catalogues().contains(""));
    center.Unregister("Counted");
    QVERIFY(center.Catalogues().contains("Counted"));
    center.Unregister("Counted");
    QVERIFY(!center.Catalogues().contains("Counted"));
    // No catalogue is built into this program, so nothing can be installed.
    center.Register("Counted");
    QVERIFY(!center.IsInstalled("Counted"));
    center.Unregister("Counted");
    QVERIFY(!center.Catalogues().contains("Counted"));
}

int main(int argc, char** argv)
{
    // Libraries register their catalogues as they load, before main creates the application.
    TranslationCenter::Instance().Register(QStringLiteral("Early"));
    QCoreApplication app(argc, argv);
    TestCfgCenter test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_cfgcenter.moc"
