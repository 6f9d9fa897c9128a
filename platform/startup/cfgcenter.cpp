#include "cfgcenter.h"

#include "literalini_p.h"

#include <tevbase/errorhandler.h>

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

// A file with lines the store cannot read (a torn write, binary junk): its entries are not
// trusted, and the first write keeps it aside for the user to look at.
bool isDamaged(const QString& path)
{
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly)
        && literalini::isDamaged(file.readAll());
}

void trace(const QString& message, unsigned short line)
{
    if (ErrorHandler::Instance().IsSet(ErrorHandler::Traces))
        _Q_Trace(message, QStringLiteral(__FILE__), line);
}

// One INI file, shared by the handles opened on it.
class IniFile
{
public:
    explicit IniFile(const QString& path)
        : m_path(path)
    {
        open();
    }

    ~IniFile() { sync(); } // here, not in ~QSettings, so that a failure is reported

    QVariant value(const QString& key) const
    {
        return m_damaged ? QVariant() : m_settings->value(key);
    }

    bool setValue(const QString& key, const QVariant& value)
    {
        // Unchanged values leave the file alone: QSettings would rewrite (and sync) it for
        // every set, so that a window closing with nothing new paid a disk flush every time.
        if (!m_damaged && m_settings->contains(key)
            && m_settings->value(key).toString() == value.toString())
            return true;
        if (m_damaged && !setAside())
            return false;
        if (!m_settings->isWritable()) {
            reportWriteFailure();
            return false;
        }
        m_settings->setValue(key, value);
        return true;
    }

    void sync()
    {
        if (m_damaged)
            return;
        m_settings->sync();
        // QSettings keeps the first error it met, so a failure is reported once per file.
        if (m_settings->status() == QSettings::AccessError)
            reportWriteFailure();
    }

    QString path() const { return m_path; }

private:
    void open()
    {
        m_settings.reset(); // before the new one, so that Qt reads the file afresh
        m_settings = std::make_unique<QSettings>(m_path, literalini::format());
        // The format keeps the lines around the entries it writes from the file it replaces:
        // a write straight into that file would empty it first.
        m_settings->setAtomicSyncRequired(true);
        // A damaged file reads as empty until the first write sets it aside.
        m_damaged = m_settings->status() != QSettings::NoError || isDamaged(m_path);
    }

    // Keeps the damaged file as "<name>.ini.damaged" for the user to look at (replacing an
    // older one) and starts a new file. Another handle on the same file may have done so
    // already: then the file on disk is a sound one and is only read again.
    bool setAside()
    {
        if (isDamaged(m_path)) {
            const QString kept = m_path + QLatin1String(".damaged");
            QFile::remove(kept);
            if (!QFile::rename(m_path, kept)) {
                reportWriteFailure(QStringLiteral("Settings not saved: %1 cannot be read and "
                                                  "cannot be moved aside to %2")
                                       .arg(m_path, kept));
                return false;
            }
            trace(QStringLiteral("Settings file %1 cannot be read; kept as %2, a new one is "
                                 "started")
                      .arg(m_path, kept),
                __LINE__);
        }
        open();
        // Still unreadable, with nothing to set aside: a folder (or a file we may not read)
        // has the file's name, so nothing can be written there.
        if (m_damaged)
            reportWriteFailure();
        return !m_damaged;
    }

    // Once per file: every value written after a failure fails the same way.
    void reportWriteFailure(const QString& text = QString())
    {
        if (m_writeFailureReported)
            return;
        m_writeFailureReported = true;
        trace(text.isEmpty()
                ? QStringLiteral("Settings not saved: %1 cannot be written").arg(m_path)
                : text,
            __LINE__);
    }

    QString m_path;
    std::unique_ptr<QSettings> m_settings;
    bool m_damaged = false;
    bool m_writeFailureReported = false;
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
