// Reads arbitrary bytes as a configuration file through ICfg, then writes one entry. A file
// the store cannot parse must be kept, byte for byte, as "<name>.ini.damaged"; any other file
// must keep every entry it had; and the entry written must be there afterwards.

#include <startup/cfgcenter.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_settings: %s\n", what);
        std::abort();
    }
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The entries the frame and the archive client read, as text, number and switch.
QStringList readKnownEntries(ICfg& top)
{
    QStringList values;
    for (const char* key : { "RecordingPath", "ReportPath", "HelpFile" })
        values << top.ReadString(QLatin1String(key), QStringLiteral("<default>"));
    for (const char* group : { "Settings", "Mirel", "MenuSettings" }) {
        const std::unique_ptr<ICfg> sub(top.GetSubCfg(QLatin1String(group)));
        check(sub != nullptr, "no sub-configuration");
        for (const char* key : { "FileOpenPath", "Files1", "Files9", "Server", "StallTimeoutMs" }) {
            values << sub->ReadString(QLatin1String(key), QStringLiteral("<default>"))
                   << QString::number(sub->ReadInt(QLatin1String(key), -17))
                   << QString::number(sub->ReadBool(QLatin1String(key), true))
                   << QString::number(sub->ReadBool(QLatin1String(key), false));
        }
    }
    return values;
}

QString folder()
{
    static QTemporaryDir dir;
    static const bool set = qputenv("TEV_CONFIG_DIR", dir.path().toUtf8());
    Q_UNUSED(set)
    return dir.path();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A new name for every input: Qt keeps parsed files by name and tells a change by size and
    // time stamp, which two quick writes of the same size can share.
    static int run = 0;
    const QString name = QStringLiteral("fuzz%1").arg(++run);
    const QString ini = folder() + QLatin1Char('/') + name + QLatin1String(".ini");
    const QString kept = ini + QLatin1String(".damaged");
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    {
        QFile file(ini);
        check(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(),
            "cannot write the input");
    }

    QStringList before;
    {
        const std::unique_ptr<ICfg> cfg(CfgCenter::CreateCfg(name, ICfg::FrontEndView, QString()));
        check(cfg != nullptr, "cannot open");
        before = readKnownEntries(*cfg);
        check(cfg->WriteString(QStringLiteral("FuzzWritten"), QStringLiteral("yes")),
            "the write failed");
    }

    const std::unique_ptr<ICfg> cfg(CfgCenter::CreateCfg(name, ICfg::FrontEndView, QString()));
    check(cfg->ReadString(QStringLiteral("FuzzWritten"), QString()) == QLatin1String("yes"),
        "the entry written is lost");
    const QStringList after = readKnownEntries(*cfg);
    if (QFile::exists(kept)) {
        check(fileBytes(kept) == bytes, "the damaged file was not kept as it was");
        check(before
                == readKnownEntries(*std::unique_ptr<ICfg>(CfgCenter::CreateCfg(
                    QStringLiteral("never-written"), ICfg::FrontEndView, QString()))),
            "a damaged file gave values");
    } else {
        check(after == before, "a write changed other entries");
    }
    QFile::remove(ini);
    QFile::remove(kept);
    QFile::remove(folder() + QStringLiteral("/never-written.ini"));
    return 0;
}
