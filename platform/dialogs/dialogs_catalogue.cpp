// Registers the help menu's translation catalogue for as long as the library is loaded.

#include <startup/translationcenter.h>

#include <QtGlobal>

// Q_INIT_RESOURCE must not be used inside a namespace.
static void initCatalogueResource()
{
    Q_INIT_RESOURCE(dialogs_translations);
}

static void cleanupCatalogueResource()
{
    Q_CLEANUP_RESOURCE(dialogs_translations);
}

namespace {
const CatalogueRegistration registration(
    QStringLiteral("Dialogs"), initCatalogueResource, cleanupCatalogueResource);
} // namespace
