#pragma once

#include <startup/startup_export.h>

#include <QLocale>
#include <QMap>
#include <QString>
#include <QStringList>

class QTranslator;

/// Installs the translation catalogues of the loaded libraries for the current language.
///
/// A library registers its catalogue by name when it is loaded, which may be before the
/// application object exists: the name is remembered and the catalogue installed as soon as
/// a QCoreApplication is there. A catalogue named "Name" is looked up as the resource
/// ":/translations/name_<language>.qm" (lower case name; language as "de" or "de_DE").
///
/// The language comes from TEV_LANG when set (e.g. "de"), else from the system's user-interface
/// languages (LANGUAGE, LC_ALL, LC_MESSAGES and LANG on Unix).
class STARTUP_EXPORT TranslationCenter
{
public:
    static TranslationCenter& Instance();

    /// Remembers `catalogue` and installs it when an application exists. Registering a name
    /// twice counts twice; it stays until unregistered as often.
    void Register(const QString& catalogue);
    void Unregister(const QString& catalogue);

    QStringList Catalogues() const;
    /// True when the catalogue's translator is installed in the running application.
    bool IsInstalled(const QString& catalogue) const;
    /// The locale the catalogues are looked up for.
    static QLocale Locale();

    /// Installs the registered catalogues that are not installed yet; called by the
    /// application start-up hook, and safe to call at any time.
    void InstallPending();

private:
    TranslationCenter() = default;
    ~TranslationCenter();

    struct Entry
    {
        int count = 0;
        QTranslator* translator = nullptr; // owned; null while not installed
    };
    void install(const QString& catalogue, Entry& entry);
    void uninstall(Entry& entry);
    void forgetInstalled();

    QMap<QString, Entry> m_entries;
    bool m_cleanupRegistered = false;
};

/// Keeps a library's catalogue registered while the library is loaded. A library defines one
/// at namespace scope: it is constructed when the loader maps the library and destroyed when it
/// unmaps it, on every platform. `initResource` and `cleanupResource` wrap the library's
/// Q_INIT_RESOURCE / Q_CLEANUP_RESOURCE of its embedded catalogues, which must be there before
/// Register may install them (the order of static initialisation between source files is not
/// fixed); either may be null.
class STARTUP_EXPORT CatalogueRegistration
{
public:
    CatalogueRegistration(QString catalogue, void (*initResource)(), void (*cleanupResource)());
    ~CatalogueRegistration();
    CatalogueRegistration(const CatalogueRegistration&) = delete;
    CatalogueRegistration& operator=(const CatalogueRegistration&) = delete;

private:
    QString m_catalogue;
    void (*m_cleanupResource)();
};
