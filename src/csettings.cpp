#include "csettings.h"

#include "cpersistant.h"

namespace {
const QString kRecentFilesKey = QStringLiteral("Files");
const QString kFileOpenPathKey = QStringLiteral("FileOpenPath");
} // namespace

CSettings::CSettings(QString name, values::PersistantOwner* owner)
    : m_persistant(nullptr)
{
    createGroup(name, owner);
}

// The group stores through pointers to the members of its record, so a copy cannot share it:
// it gets a group of its own, bound to its own members, and each record deletes only its own.
CSettings::CSettings(const CSettings& other)
    : m_persistant(nullptr)
    , m_recentFiles(other.m_recentFiles)
    , m_fileOpenPath(other.m_fileOpenPath)
{
    if (other.m_persistant)
        createGroup(other.m_persistant->GetName(), other.m_persistant->GetOwner());
}

CSettings& CSettings::operator=(const CSettings& other)
{
    if (this == &other)
        return *this;
    delete m_persistant;
    m_persistant = nullptr;
    m_recentFiles = other.m_recentFiles;
    m_fileOpenPath = other.m_fileOpenPath;
    if (other.m_persistant)
        createGroup(other.m_persistant->GetName(), other.m_persistant->GetOwner());
    return *this;
}

CSettings::~CSettings()
{
    delete m_persistant;
}

void CSettings::createGroup(const QString& name, values::PersistantOwner* owner)
{
    m_persistant = new CPersistant(name, owner);
    // The defaults are what a new record holds, an empty list and an empty path, also for a
    // copy whose members were filled before its group was made.
    m_persistant->Add(&m_recentFiles, kRecentFilesKey, QStringList());
    m_persistant->Add(&m_fileOpenPath, kFileOpenPathKey, QString());
}

void CSettings::read(const QString& cfgName)
{
    if (m_persistant)
        m_persistant->Read(cfgName, ICfg::DefaultView);
}

void CSettings::write(const QString& cfgName)
{
    if (m_persistant)
        m_persistant->Write(cfgName, ICfg::DefaultView);
}
