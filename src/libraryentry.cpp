// Registers the library's translation catalogue for as long as the library is loaded.

#include <startup/translationcenter.h>

#include <QtGlobal>

// Q_INIT_RESOURCE must not be used inside a namespace.
static void initCatalogueResource()
{
    Q_INIT_RESOURCE(tevframebase_translations);
}

static void cleanupCatalogueResource()
{
    Q_CLEANUP_RESOURCE(tevframebase_translations);
}

namespace {
const CatalogueRegistration registration(
    QStringLiteral("TevFrameBase"), initCatalogueResource, cleanupCatalogueResource);
} // namespace
