// Reads arbitrary bytes as a configuration file through ICfg, then writes one entry. A file
// the store cannot parse must be kept, byte for byte, as "<name>.ini.damaged" and must give no
// values; any other file must keep every entry it had; and the entry written must be there
// afterwards.

#include <startup/cfgcenter.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "fuzz_settings: %s\n", #condition);                               \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace {

std::unique_ptr<ICfg> open(const QString& name)
{
    return std::unique_ptr<ICfg>(CfgCenter::CreateCfg(name, ICfg::FrontEndView, QString()));
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The entries the frame and the archive client read, as text, number and switch.
QStringList knownEntries(ICfg& top)
{
    QStringList values;
    for (const char* key : { "RecordingPath", "ReportPath", "HelpFile" })
        values << top.ReadString(QLatin1String(key), QStringLiteral("<default>"));
    for (const char* group : { "Settings", "Mirel", "MenuSettings" }) {
        const std::unique_ptr<ICfg> sub(top.GetSubCfg(QLatin1String(group)));
        CHECK(sub);
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
    const QString ini = folder.filePath(name + QLatin1String(".ini"));
    const QString kept = ini + QLatin1String(".damaged");
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    QFile file(ini);
    CHECK(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    QStringList before;
    {
        const std::unique_ptr<ICfg> cfg = open(name);
        CHECK(cfg);
        before = knownEntries(*cfg);
        CHECK(cfg->WriteString(QStringLiteral("FuzzWritten"), QStringLiteral("yes")));
    }
    const std::unique_ptr<ICfg> cfg = open(name);
    CHECK(cfg->ReadString(QStringLiteral("FuzzWritten"), QString()) == QLatin1String("yes"));
    if (QFile::exists(kept)) {
        CHECK(fileBytes(kept) == bytes);
        CHECK(before == knownEntries(*open(QStringLiteral("never-written"))));
    } else {
        CHECK(knownEntries(*cfg) == before); // a write changed other entries
    }
    QFile::remove(ini);
    QFile::remove(kept);
    QFile::remove(folder.filePath(QStringLiteral("never-written.ini")));
    return 0;
}
