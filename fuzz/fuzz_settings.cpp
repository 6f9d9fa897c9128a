// Reads arbitrary bytes as a configuration file through ICfg, then writes one entry. A file
// the store cannot parse must be kept, byte for byte, as "<name>.ini.damaged" and must give no
// values; any other file must keep every entry it had; and the entry written must be there
// afterwards.

#include <startup/cfgcenter.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition))                                                                          \
            qFatal("fuzz_settings: %s", #condition);                                               \
    } while (false)

namespace {

std::unique_ptr<ICfg> open(const QString& name)
{
    return std::unique_ptr<ICfg>(CfgCenter::CreateCfg(name, ICfg::FrontEndView, QString()));
}

// The entries the frame and the archive client read, as text, number and switch.
QStringList knownEntries(const QString& name)
{
    QStringList values;
    const std::unique_ptr<ICfg> top = open(name);
    for (const char* key : { "RecordingPath", "ReportPath", "HelpFile" })
        values << top->ReadString(QLatin1String(key), QStringLiteral("<default>"));
    for (const char* group : { "Settings", "Mirel", "MenuSettings" }) {
        const std::unique_ptr<ICfg> sub(top->GetSubCfg(QLatin1String(group)));
        for (const char* key : { "FileOpenPath", "Files1", "Files9", "Server", "StallTimeoutMs" }) {
            values << sub->ReadString(QLatin1String(key), QStringLiteral("<default>"))
                   << QString::number(sub->ReadInt(QLatin1String(key), -17))
                   << QString::number(sub->ReadBool(QLatin1String(key), true))
                   << QString::number(sub->ReadBool(QLatin1String(key), false));
        }
    }
    return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir folder;
    static const bool configured = qputenv("TEV_CONFIG_DIR", folder.path().toUtf8());
    CHECK(configured);
    // A new name for every input: Qt keeps parsed files by name and tells a change by size and
    // time stamp, which two quick writes of the same size can share.
    static int run = 0;
    const QString name = QStringLiteral("fuzz%1").arg(++run);
    QFile ini(folder.filePath(name + QLatin1String(".ini")));
    QFile kept(ini.fileName() + QLatin1String(".damaged"));
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    CHECK(ini.open(QIODevice::WriteOnly) && ini.write(bytes) == bytes.size());
    ini.close();

    const QStringList before = knownEntries(name);
    CHECK(open(name)->WriteString(QStringLiteral("FuzzWritten"), QStringLiteral("yes")));
    CHECK(open(name)->ReadString(QStringLiteral("FuzzWritten"), QString()) == "yes");
    if (kept.open(QIODevice::ReadOnly)) {
        CHECK(kept.readAll() == bytes);
        CHECK(before == knownEntries(QStringLiteral("never-written")));
    } else {
        CHECK(knownEntries(name) == before); // a write changed other entries
    }
    kept.close();
    ini.remove();
    kept.remove();
    QFile::remove(folder.filePath(QStringLiteral("never-written.ini")));
    return 0;
}
