// Reads arbitrary bytes as a configuration file through ICfg, then writes one entry, which must
// be there afterwards. A file the store cannot parse must be kept, byte for byte, as
// "<name>.ini.damaged" and give no values; any other file must keep every entry it had.

#include <startup/cfgcenter.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>

namespace {

void check(bool condition, const char* what)
{
    if (!condition)
        qFatal("fuzz_settings: %s", what);
}

std::unique_ptr<ICfg> open(const QString& name, const char* group = "")
{
    return std::unique_ptr<ICfg>(
        CfgCenter::CreateCfg(name, ICfg::FrontEndView, QLatin1String(group)));
}

// The entries the frame and the archive client read (numbers and switches are read from the
// same text).
QStringList knownEntries(const QString& name)
{
    QStringList values;
    for (const char* group : { "", "Settings", "Mirel", "MenuSettings" }) {
        const std::unique_ptr<ICfg> cfg = open(name, group);
        for (const char* key : { "RecordingPath", "HelpFile", "FileOpenPath", "Files1", "Files9",
                 "Server", "StallTimeoutMs", "Display Mode" })
            values << cfg->ReadString(QLatin1String(key), QStringLiteral("<default>"));
    }
    return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir folder;
    [[maybe_unused]] static const bool configured
        = qputenv("TEV_CONFIG_DIR", folder.path().toUtf8());
    static const QStringList defaults = knownEntries(QStringLiteral("never-written"));
    // A new name for every input: Qt keeps parsed files by name and tells a change by size and
    // time stamp, which two quick writes of the same size can share.
    static int run = 0;
    const QString name = QStringLiteral("fuzz%1").arg(++run);
    QFile ini(folder.filePath(name + QLatin1String(".ini")));
    QFile kept(ini.fileName() + QLatin1String(".damaged"));
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    check(ini.open(QIODevice::WriteOnly) && ini.write(bytes) == bytes.size(), "written");
    ini.close();

    const QStringList before = knownEntries(name);
    check(open(name)->WriteString(QStringLiteral("FuzzWritten"), QStringLiteral("yes"))
            && open(name)->ReadString(QStringLiteral("FuzzWritten"), QString()) == "yes",
        "the entry written reads back");
    if (kept.open(QIODevice::ReadOnly))
        check(kept.readAll() == bytes && before == defaults,
            "a damaged file is kept whole and gives no values");
    else
        check(knownEntries(name) == before, "a write changed other entries");
    ini.remove();
    kept.remove();
    return 0;
}
