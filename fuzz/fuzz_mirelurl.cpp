// Parses arbitrary text as an archive URL and maps it into a cache folder: whatever the text,
// the local copy must lie below the cache folder.

#include <mirel/mirelclient.h>

#include <QDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define CHECK(condition, text)                                                                     \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "fuzz_mirelurl: %s for \"%s\"\n", #condition, qPrintable(text));  \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace {

void checkMapping(const QString& text, const QString& cacheFolder)
{
    const Mirel::MirelUrl url(text);
    const QString local = Mirel::CachePath(cacheFolder, url);
    CHECK(url.toString() == text, text);
    if (!url.isMirelUrl()) {
        CHECK(local.isEmpty(), text);
        return;
    }
    // Checked here by segments, independently of the mapping's own guard: the result is the
    // cache folder, then exactly the archive path, and nothing in it can climb out.
    QString folder = QDir::cleanPath(cacheFolder);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    CHECK(text.endsWith(url.archivePath()), text);
    CHECK(local == folder + url.archivePath(), text);
    for (const QString& segment : url.archivePath().split(QLatin1Char('/'))) {
        CHECK(!segment.isEmpty() && segment != QLatin1String(".") && segment != QLatin1String("..")
                && !segment.contains(QLatin1Char('\\')) && !segment.contains(QLatin1Char(':')),
            text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(size)));
    // Most random texts lack the scheme; offer each one with it as well.
    for (const QString& candidate : { text, QStringLiteral("mirel:") + text }) {
        for (const char* cache : { "/var/cache/tev/mirel", "relative/cache/", "/" })
            checkMapping(candidate, QLatin1String(cache));
    }
    return 0;
}
