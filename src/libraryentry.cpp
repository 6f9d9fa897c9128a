// Registers the library's translation catalogue for as long as the library is loaded. A static
// object is constructed when the loader maps the library and destroyed when it unmaps it, on
// every platform.

#include <startup/translationcenter.h>

namespace {

const QString kCatalogue = QStringLiteral("TevFrameBase");

struct CatalogueRegistration
{
    CatalogueRegistration() { TranslationCenter::Instance().Register(kCatalogue); }
    ~CatalogueRegistration() { TranslationCenter::Instance().Unregister(kCatalogue); }
};

const CatalogueRegistration registration;

} // namespace
