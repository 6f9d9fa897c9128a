// Parses arbitrary text as an archive URL and maps it into a cache folder: whatever the text,
// the local copy must lie below the cache folder.

#include <mirel/mirelclient.h>

#include <QDir>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool condition, const char* what, const QString& text)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_mirelurl: %s for \"%s\"\n", what, qPrintable(text));
        std::abort();
    }
}

void checkMapping(const QString& text, const QString& cacheFolder)
{
    const Mirel::MirelUrl url(text);
    check(url.toString() == text, "the URL does not keep its text", text);
    const QString local = Mirel::CachePath(cacheFolder, url);
    if (!url.isMirelUrl()) {
        check(url.archivePath().isEmpty(), "a rejected URL has a path", text);
        check(local.isEmpty(), "a rejected URL is mapped", text);
        return;
    }
    check(text.endsWith(url.archivePath()), "the archive path is not the text's own", text);
    // Checked here by segments, independently of the mapping's own guard: the result is the
    // cache folder, then exactly the archive path, and nothing in it can climb out.
    QString folder = QDir::cleanPath(cacheFolder);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    check(!local.isEmpty(), "an accepted URL is not mapped", text);
    check(local.startsWith(folder), "the local copy is outside the cache folder", text);
    const QString relative = local.mid(folder.size());
    check(relative == url.archivePath(), "the mapping changed the archive path", text);
    for (const QString& segment : relative.split(QLatin1Char('/'))) {
        check(!segment.isEmpty() && segment != QLatin1String(".") && segment != QLatin1String("..")
                && !segment.contains(QLatin1Char('\\')) && !segment.contains(QLatin1Char(':')),
            "a segment can leave its folder", text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const QString text = QString::fromUtf8(bytes);
    // Most random texts lack the scheme; offer each one with it as well.
    for (const QString& candidate : { text, QStringLiteral("mirel:") + text }) {
        checkMapping(candidate, QStringLiteral("/var/cache/tev/mirel"));
        checkMapping(candidate, QStringLiteral("relative/cache/"));
        checkMapping(candidate, QStringLiteral("/"));
    }
    return 0;
}
