// Parses arbitrary text as an archive URL and maps it into a cache folder: whatever the text,
// the local copy must lie below the cache folder.

#include <mirel/mirelclient.h>

#include <QDir>

#include <cstdint>

namespace {

// Checked here by segments, independently of the mapping's own guard: the result is the cache
// folder, then exactly the archive path, and nothing in it can climb out.
bool mapsBelow(const Mirel::MirelUrl& url, const QString& text, const QString& cacheFolder)
{
    const QString local = Mirel::CachePath(cacheFolder, url);
    if (!url.isMirelUrl())
        return local.isEmpty();
    const QString path = url.archivePath();
    for (const QString& segment : path.split(QLatin1Char('/'))) {
        if (segment.isEmpty() || segment == QLatin1String(".") || segment == QLatin1String("..")
            || segment.contains(QLatin1Char('\\')) || segment.contains(QLatin1Char(':')))
            return false;
    }
    return text.endsWith(path) && local == QDir::cleanPath(cacheFolder + QLatin1Char('/') + path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    // Most random texts lack the scheme; offer each one with it as well.
    for (const QString& candidate : { text, QStringLiteral("mirel:") + text }) {
        const Mirel::MirelUrl url(candidate);
        for (const char* cache : { "/var/cache/tev/mirel", "relative/cache/", "/" }) {
            if (url.toString() != candidate || !mapsBelow(url, candidate, QLatin1String(cache)))
                qFatal("fuzz_mirelurl: \"%s\" below %s", qPrintable(candidate), cache);
        }
    }
    return 0;
}
