// Registers the library's translation catalogue for as long as the library is loaded. A static
// object is constructed when the loader maps the library and destroyed when it unmaps it, on
// every platform.

#include <startup/translationcenter.h>

#include <QtGlobal>

static void initCatalogueResource()
{
    // The embedded catalogues must be there before Register may install them, and the order
    // of static initialisation between source files is not fixed.
    Q_INIT_RESOURCE(tevframebase_translations);
}

static void cleanupCatalogueResource()
{
    Q_CLEANUP_RESOURCE(tevframebase_translations);
}

namespace {

const QString kCatalogue = QStringLiteral("TevFrameBase");

struct CatalogueRegistration
{
    CatalogueRegistration()
    {
        initCatalogueResource();
        TranslationCenter::Instance().Register(kCatalogue);
    }
    ~CatalogueRegistration()
    {
        TranslationCenter::Instance().Unregister(kCatalogue);
        cleanupCatalogueResource();
    }
};

const CatalogueRegistration registration;

} // namespace
