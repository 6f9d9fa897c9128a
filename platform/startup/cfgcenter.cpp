#include "cfgcenter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <memory>
#include <vector>

ICfg::~ICfg() = default;

namespace {

bool isPlainName(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
        && name != QLatin1String(".") && name != QLatin1String("..");
}

// QSettings reports only an unterminated section header as a format error: NUL bytes (a torn
// write) and lines without '=' it drops silently, and the next write would drop them from the
// file too.
bool hasUnparsableLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    if (data.contains('\0'))
        return true;
    bool continued = false;
    for (const QByteArray& rawLine : data.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        const bool isContinuation = continued;
        continued = line.endsWith('\\');
        if (isContinuation || line.isEmpty() || line.startsWith(';') || line.startsWith('#')
            || line.startsWith('['))
            continue;
        if (!line.contains('='))
            return true;
    }
    return false;
}

// One INI file, shared by the handles opened on it.
class IniFile
{
public:
    explicit IniFile(const QString& path)
        : m_path(path)
        , m_settings(path, QSettings::IniFormat)
    {
        m_settings.setIniCodec("UTF-8");
        // QSettings keeps what it could parse of a damaged file and would write that back,
        // losing the rest; treat such a file as empty and leave it alone.
        m_damaged = m_settings.status() != QSettings::NoError || hasUnparsableLines(path);
    }

    QVariant value(const QString& key) const
    {
        return m_damaged ? QVariant() : m_settings.value(key);
    }

    bool setValue(const QString& key, const QVariant& value)
    {
        if (m_damaged || !m_settings.isWritable())
            return false;
        m_settings.setValue(key, value);
        return true;
    }

    void sync()
    {
        if (!m_damaged)
            m_settings.sync();
    }

    QString path() const { return m_path; }

private:
    QString m_path;
    QSettings m_settings;
    bool m_damaged = false;
};

class IniCfg final : public ICfg
{
public:
    IniCfg(std::shared_ptr<IniFile> file, QString group)
        : m_file(std::move(file))
        , m_group(std::move(group))
    { }

    ICfg* GetSubCfg(const QString& name, int) override
    {
        if (!isPlainName(name))
            return nullptr;
        return new IniCfg(m_file, m_group.isEmpty() ? name : m_group + QLatin1Char('/') + name);
    }

    QString ReadString(const QString& key, const QString& defaultValue, int) override
    {
        const QVariant v = read(key);
        return v.isValid() ? v.toString() : defaultValue;
    }

    int ReadInt(const QString& key, int defaultValue, int) override
    {
        bool ok = false;
        const int value = read(key).toInt(&ok);
        return ok ? value : defaultValue;
    }

    bool ReadBool(const QString& key, bool defaultValue, int) override
    {
        const QString text = read(key).toString().trimmed().toLower();
        if (text == QLatin1String("true") || text == QLatin1String("1"))
            return true;
        if (text == QLatin1String("false") || text == QLatin1String("0"))
            return false;
        return defaultValue;
    }

    bool WriteString(const QString& key, const QString& value, int) override
    {
        return write(key, value);
    }

    bool WriteInt(const QString& key, int value, int) override { return write(key, value); }

    void sync() { m_file->sync(); }
    QString path() const { return m_file->path(); }

private:
    QString fullKey(const QString& key) const
    {
        return m_group.isEmpty() ? key : m_group + QLatin1Char('/') + key;
    }

    QVariant read(const QString& key) const
    {
        return key.isEmpty() ? QVariant() : m_file->value(fullKey(key));
    }

    bool write(const QString& key, const QVariant& value)
    {
        return !key.isEmpty() && m_file->setValue(fullKey(key), value);
    }

    std::shared_ptr<IniFile> m_file;
    QString m_group;
};

QString applicationName()
{
    QString name = QCoreApplication::applicationName();
    return isPlainName(name) ? name : QStringLiteral("application");
}

// Every application configuration handed out so far: the references stay valid until exit.
std::vector<std::unique_ptr<IniCfg>>& appCfgs()
{
    static std::vector<std::unique_ptr<IniCfg>> handles;
    return handles;
}

} // namespace

QString CfgCenter::ConfigFolder()
{
    const QString fromEnvironment = qEnvironmentVariable("TEV_CONFIG_DIR");
    if (!fromEnvironment.isEmpty())
        return QDir::cleanPath(fromEnvironment);
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
}

ICfg* CfgCenter::CreateCfg(const QString& name, ICfg::View, const QString& group)
{
    const QString folder = ConfigFolder();
    if (!isPlainName(name) || (!group.isEmpty() && !isPlainName(group)) || folder.isEmpty())
        return nullptr;
    QDir().mkpath(folder);
    auto file = std::make_shared<IniFile>(folder + QLatin1Char('/') + name + QLatin1String(".ini"));
    return new IniCfg(std::move(file), group);
}

ICfg& CfgCenter::GetAppCfg(ICfg::View)
{
    // Looked up by path on every call, so that the handle follows a change of the folder or
    // of the application name and always names the file that CreateCfg would open.
    const QString path
        = ConfigFolder() + QLatin1Char('/') + applicationName() + QLatin1String(".ini");
    for (const auto& handle : appCfgs()) {
        if (handle->path() == path)
            return *handle;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    appCfgs().push_back(std::make_unique<IniCfg>(std::make_shared<IniFile>(path), QString()));
    return *appCfgs().back();
}

void CfgCenter::Sync()
{
    for (const auto& handle : appCfgs())
        handle->sync();
}
