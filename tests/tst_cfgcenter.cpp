#include "testenvironment.h"
#include "tracecollector.h"

#include <startup/cfgcenter.h>
#include <startup/translationcenter.h>

#include <QtTest>

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
    // What is written (a QString through WriteString, an int through WriteInt) and what the
    // three readers make of it; -1 for a bool means "not a bool", so the default comes back.
    QTest::addColumn<QVariant>("written");
    QTest::addColumn<QString>("asString");
    QTest::addColumn<int>("asInt");
    QTest::addColumn<int>("asBool");
    QTest::newRow("text") << QVariant("hello") << "hello" << -7 << -1;
    QTest::newRow("INI syntax in text")
        << QVariant("a=b; c,d [x] \"q\"\\") << "a=b; c,d [x] \"q\"\\" << -7 << -1;
    QTest::newRow("unicode") << QVariant("Grüße ✓") << "Grüße ✓" << -7 << -1;
    QTest::newRow("empty text is not absent") << QVariant("") << "" << -7 << -1;
    QTest::newRow("number as text") << QVariant("42") << "42" << 42 << -1;
    QTest::newRow("negative int") << QVariant(-42) << "-42" << -42 << -1;
    QTest::newRow("int one") << QVariant(1) << "1" << 1 << 1;
    QTest::newRow("int zero") << QVariant(0) << "0" << 0 << 0;
    QTest::newRow("bool text") << QVariant("TRUE") << "TRUE" << -7 << 1;
}

void TestCfgCenter::roundTrip()
{
    QFETCH(QVariant, written);
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
    auto cfg = open(QStringLiteral("roundtrip"));
    QCOMPARE(cfg->ReadString("entry", "<absent>"), asString);
    QCOMPARE(cfg->ReadInt("entry", -7), asInt);
    const bool readTrue = cfg->ReadBool("entry", true);
    const bool readFalse = cfg->ReadBool("entry", false);
    QCOMPARE(readTrue == readFalse ? int(readTrue) : -1, asBool);
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
    {
        std::unique_ptr<ICfg> cfg(CfgCenter::CreateCfg("unchanged", ICfg::FrontEndView, QString()));
        QVERIFY(cfg->WriteString("Folder", "/data"));
        QVERIFY(cfg->WriteInt("Count", 3));
    }
    CfgCenter::Sync();
    // Marked by hand: a rewrite would bring back the value and lose the marker.
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write("; kept\n");
    file.close();
    {
        std::unique_ptr<ICfg> cfg(CfgCenter::CreateCfg("unchanged", ICfg::FrontEndView, QString()));
        QVERIFY(cfg->WriteString("Folder", "/data"));
        QVERIFY(cfg->WriteInt("Count", 3));
    }
    CfgCenter::Sync();
    QVERIFY(fileBytes(path).endsWith("; kept\n"));
    {
        std::unique_ptr<ICfg> cfg(CfgCenter::CreateCfg("unchanged", ICfg::FrontEndView, QString()));
        QVERIFY(cfg->WriteInt("Count", 4));
    }
    CfgCenter::Sync();
    QVERIFY(fileBytes(path).contains("Count=4"));
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
