// Registers the hot-key service's translation catalogue for as long as the library is loaded.

#include <startup/translationcenter.h>

#include <QtGlobal>

// Q_INIT_RESOURCE must not be used inside a namespace.
static void initCatalogueResource()
{
    Q_INIT_RESOURCE(guicentral_translations);
}

static void cleanupCatalogueResource()
{
    Q_CLEANUP_RESOURCE(guicentral_translations);
}

namespace {
const CatalogueRegistration registration(
    QStringLiteral("GuiCentral"), initCatalogueResource, cleanupCatalogueResource);
} // namespace
