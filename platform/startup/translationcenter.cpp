#include "translationcenter.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

#include <utility>

TranslationCenter& TranslationCenter::Instance()
{
    static TranslationCenter center;
    return center;
}

TranslationCenter::~TranslationCenter()
{
    // The application is usually gone by now and has dropped its translators; only delete.
    forgetInstalled();
}

void TranslationCenter::Register(const QString& catalogue)
{
    if (catalogue.isEmpty())
        return;
    Entry& entry = m_entries[catalogue];
    ++entry.count;
    install(catalogue, entry);
}

void TranslationCenter::Unregister(const QString& catalogue)
{
    auto it = m_entries.find(catalogue);
    if (it == m_entries.end())
        return;
    if (--it->count > 0)
        return;
    uninstall(*it);
    m_entries.erase(it);
}

QStringList TranslationCenter::Catalogues() const
{
    return m_entries.keys();
}

bool TranslationCenter::IsInstalled(const QString& catalogue) const
{
    auto it = m_entries.find(catalogue);
    return it != m_entries.end() && it->translator;
}

QLocale TranslationCenter::Locale()
{
    const QString forced = qEnvironmentVariable("TEV_LANG");
    return forced.isEmpty() ? QLocale::system() : QLocale(forced);
}

void TranslationCenter::InstallPending()
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
        install(it.key(), *it);
}

void TranslationCenter::install(const QString& catalogue, Entry& entry)
{
    if (entry.translator || !QCoreApplication::instance())
        return;
    auto* translator = new QTranslator;
    // Tries each of the locale's user-interface languages (LANGUAGE, then LANG on Unix), each
    // as "name_de_DE", then "name_de".
    if (!translator->load(
            Locale(), catalogue.toLower(), QStringLiteral("_"), QStringLiteral(":/translations"))
        || !QCoreApplication::installTranslator(translator)) {
        // installTranslator refuses an empty catalogue but keeps it in the application's list.
        QCoreApplication::removeTranslator(translator);
        delete translator;
        return;
    }
    entry.translator = translator;
    if (!m_cleanupRegistered) {
        // The application forgets its translators when it goes; a later application object
        // gets them installed anew by the start-up hook.
        qAddPostRoutine([] { TranslationCenter::Instance().forgetInstalled(); });
        m_cleanupRegistered = true;
    }
}

void TranslationCenter::forgetInstalled()
{
    m_cleanupRegistered = false;
    for (Entry& entry : m_entries) {
        delete entry.translator;
        entry.translator = nullptr;
    }
}

void TranslationCenter::uninstall(Entry& entry)
{
    if (!entry.translator)
        return;
    if (QCoreApplication::instance())
        QCoreApplication::removeTranslator(entry.translator);
    delete entry.translator;
    entry.translator = nullptr;
}

CatalogueRegistration::CatalogueRegistration(
    QString catalogue, void (*initResource)(), void (*cleanupResource)())
    : m_catalogue(std::move(catalogue))
    , m_cleanupResource(cleanupResource)
{
    if (initResource)
        initResource();
    TranslationCenter::Instance().Register(m_catalogue);
}

CatalogueRegistration::~CatalogueRegistration()
{
    TranslationCenter::Instance().Unregister(m_catalogue);
    if (m_cleanupResource)
        m_cleanupResource();
}

namespace {
// Installs what libraries registered before the application object existed.
void installRegisteredCatalogues()
{
    TranslationCenter::Instance().InstallPending();
}
} // namespace
Q_COREAPP_STARTUP_FUNCTION(installRegisteredCatalogues)
