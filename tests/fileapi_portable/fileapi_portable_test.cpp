// The file layer's cases, written once without Qt for Linux and Windows (built with MinGW-w64,
// run under Wine); where Windows share modes decide differently from what Linux can see, the
// two expected columns differ. The other opener is a handle of this program: share modes apply
// between any two Windows handles, and on Linux the layer counts our other descriptors like
// anyone else's (tst_frame holds a file from a child process).

#include <fileapi/fileapi.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;
using fileapi::CopyResult;
using fileapi::Handle;
using fileapi::InvalidHandle;

namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// Not plain ASCII, so that every case also goes through the UTF-8 to UTF-16 conversion of the
// Windows build.
const std::string kFile = u8"aufnahme-\u00fc.rec";
const std::string kContent = "content";
const fs::path kRoot
    = fs::temp_directory_path() / ("fileapi-portable-" + std::to_string(std::random_device()()));
fs::path g_case; // the folder of the running case, below kRoot
int g_failed = 0;

fs::path at(const std::string& name)
{
    return g_case / fs::u8path(name);
}

// Joined as text: a name that is no UTF-8 has no fs::path on Windows.
std::string utf8(const std::string& name)
{
    return g_case.u8string() + '/' + name;
}

bool write(const std::string& name, const std::string& content)
{
    std::ofstream out(at(name), std::ios::binary);
    return static_cast<bool>(out << content << std::flush);
}

// The content of a regular file, else "<missing>".
std::string read(const std::string& name)
{
    std::error_code error;
    std::ifstream in(at(name), std::ios::binary);
    if (!fs::is_regular_file(at(name), error) || !in)
        return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Everything in the case's folder, so that a temporary left behind shows.
std::set<std::string> entries()
{
    std::set<std::string> all;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(g_case))
        all.insert(entry.path().lexically_relative(g_case).generic_u8string());
    return all;
}

// A set-up step that did not work fails its case.
void need(bool done, const char* what)
{
    if (!done)
        throw std::runtime_error(std::string("set-up failed: ") + what);
}

// One row, in a fresh folder with `kFile` holding kContent and an empty "folder": it passes
// when `observe` sees what the row expects on this system.
void check(const std::string& name, const char* onLinux, const char* onWindows,
    const std::function<std::string()>& observe)
{
    static int number = 0;
    g_case = kRoot / std::to_string(++number);
    std::string seen;
    try {
        fs::create_directories(g_case / "folder");
        need(write(kFile, kContent), "write the file");
        seen = observe();
    } catch (const std::exception& exception) {
        seen = exception.what();
    }
    const std::string expected = kWindows ? onWindows : onLinux;
    g_failed += seen != expected;
    std::printf("%s %s\n", seen == expected ? "PASS" : "FAIL", name.c_str());
    if (seen != expected)
        std::printf("  saw      \"%s\"\n  expected \"%s\"\n", seen.c_str(), expected.c_str());
}

enum Access { Read, Write, ReadWrite };

// The share modes a Windows program asks for; Linux knows none, there every opener is alike.
enum Sharing {
    Typical, // FILE_SHARE_READ | FILE_SHARE_WRITE: the C runtime's fopen, Qt's QFile
    ReadsOnly, // FILE_SHARE_READ: a writer that lets readers look
    Nothing, // 0: a program that wants the file for itself
};

// Opens the file as an ordinary program does, not through the layer.
Handle openPlainly(const fs::path& path, Access access, Sharing sharing = Typical)
{
#ifdef _WIN32
    static const DWORD accesses[] = { GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE };
    static const DWORD shares[] = { FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_SHARE_READ, 0 };
    return CreateFileW(path.wstring().c_str(), accesses[access], shares[sharing], nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
#else
    (void)sharing;
    static const int modes[] = { O_RDONLY, O_WRONLY, O_RDWR };
    return ::open(path.c_str(), modes[access] | O_CLOEXEC);
#endif
}

void makeReadOnly(const fs::path& path)
{
    // MinGW's libstdc++ sets the read-only attribute for a mode without write bits.
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

// '+' for a handle, '-' for a refusal; Close must agree.
char outcome(Handle handle)
{
    const bool opened = handle != InvalidHandle;
    return fileapi::Close(handle) != opened ? '!' : (opened ? '+' : '-');
}

// OpenExisting, OpenWrite exclusive, OpenWrite sharing writes and CreateNew, one after the other
// while `holder` has the file, and whether anything but a created file changed; then, for the
// layer's write handles, whether a plain reader and writer get in after them.
void testOpens()
{
    enum Holder {
        Nobody,
        ReadOnlyFile,
        LayerProbe,
        LayerWriter,
        LayerSharedWriter,
        Reader,
        Writer,
        ReadWriter
    };
    static const struct
    {
        const char* name;
        const char *onLinux, *onWindows;
        Holder holder;
        Sharing sharing = Typical;
        std::string path = kFile;
    } rows[] = {
        { "free", "+++-", "+++-", Nobody },
        { "read-only", "+---", "+---", ReadOnlyFile },
        { "read by another program", "+---", "+---", Reader },
        { "written by another program", "+-+-", "+-+-", Writer },
        // Its share mode keeps every other writer out on Windows; Linux cannot see share modes,
        // there it is a writer like any other.
        { "written by a program that lets only readers in", "+-+-", "+---", Writer, ReadsOnly },
        // A handle without data access meets no share mode, not even an exclusive holder's.
        { "held exclusively by another program", "+---", "+---", ReadWriter, Nothing },
        { "probed through the layer", "+++-", "+++-", LayerProbe },
        // Linux has no share modes to keep the later plain openers out.
        { "written through the layer", "+-+- ++", "+--- --", LayerWriter },
        { "written through the layer sharing writes", "+-+- ++", "+-+- -+", LayerSharedWriter },
        { "missing, name beyond ASCII", "---+", "---+", Nobody, Typical,
            u8"neu-\u00df-\u20ac.rec" },
        { "in a missing folder", "----", "----", Nobody, Typical, "missing/file" },
        { "folder", "----", "----", Nobody, Typical, "folder" },
        // Linux names are bytes; Windows names are UTF-16, which such a name has no form in.
        { "name that is no UTF-8", "---+", "----", Nobody, Typical, "bad-\xff.rec" },
    };
    for (const auto& row : rows) {
        check(std::string("opens: ") + row.name, row.onLinux, row.onWindows, [&] {
            const std::string path = utf8(row.path);
            if (row.holder == ReadOnlyFile)
                makeReadOnly(at(kFile));
            Handle holder = InvalidHandle;
            if (row.holder >= Reader)
                holder = openPlainly(at(kFile), Access(row.holder - Reader), row.sharing);
            else if (row.holder >= LayerWriter)
                holder = fileapi::OpenWrite(path, row.holder == LayerSharedWriter);
            else if (row.holder == LayerProbe)
                holder = fileapi::OpenExisting(path);
            need(holder != InvalidHandle || row.holder <= ReadOnlyFile, "the holder's handle");
            std::set<std::string> before = entries();
            std::string seen { outcome(fileapi::OpenExisting(path)),
                outcome(fileapi::OpenWrite(path, false)), outcome(fileapi::OpenWrite(path, true)),
                outcome(fileapi::CreateNew(path, false)) };
            if (row.holder == LayerWriter || row.holder == LayerSharedWriter)
                seen += { ' ', outcome(openPlainly(at(kFile), Read)),
                    outcome(openPlainly(at(kFile), Write)) };
            fileapi::Close(holder);
            if (seen[3] == '+' && read(row.path).empty()) // created empty, under that name
                before.insert(row.path);
            seen += read(kFile) == kContent ? "" : " (truncated)";
            return seen + (entries() == before ? "" : " (other entries)");
        });
    }
}

// The result; for a copy its content and whether it is read-only, else whether the destination
// kept its content; and whether anything else changed.
void testCopy()
{
    enum Source { Large, ReadOnlyLarge, HeldLarge, Folder, None };
    static const char* const results[]
        = { "Copied", "DestinationExists", "SourceMissing", "Failed" };
    static const struct
    {
        const char* name;
        Source source;
        std::string to;
        const char *onLinux, *onWindows;
    } rows[] = {
        { "into a folder, name beyond ASCII", Large, u8"folder/kopie-\u00e4.rec", "Copied",
            "Copied" },
        { "read-only source", ReadOnlyLarge, "copy.rec", "Copied read-only", "Copied read-only" },
        // Reading needs the holder's leave on Windows; Linux has no share modes.
        { "source another program holds exclusively", HeldLarge, "copy.rec", "Copied", "Failed" },
        { "onto an existing file", Large, kFile, "DestinationExists", "DestinationExists" },
        { "onto a folder", Large, "folder", "DestinationExists", "DestinationExists" },
        { "missing source onto an existing file", None, kFile, "SourceMissing", "SourceMissing" },
        { "missing destination folder", Large, "missing/copy.rec", "Failed", "Failed" },
        { "folder as source", Folder, "copy.rec", "Failed", "Failed" },
    };
    std::string large; // 3 MiB, more than one buffer of any copy loop
    for (int i = 0; large.size() < 3 * 1024 * 1024; ++i)
        large += std::to_string(i) + '\n';
    for (const auto& row : rows) {
        check(std::string("CopyNoOverwrite: ") + row.name, row.onLinux, row.onWindows, [&] {
            const std::string from
                = row.source == Folder ? "folder" : (row.source == None ? "missing" : "source");
            need(row.source >= Folder || write(from, large), "write the source");
            if (row.source == ReadOnlyLarge)
                makeReadOnly(at(from));
            const Handle holder = row.source == HeldLarge
                ? openPlainly(at(from), ReadWrite, Nothing)
                : InvalidHandle;
            need((holder != InvalidHandle) == (row.source == HeldLarge), "the holder's handle");
            const std::string before = read(row.to);
            std::set<std::string> expected = entries();
            std::string error;
            const CopyResult result = fileapi::CopyNoOverwrite(utf8(from), utf8(row.to), &error);
            fileapi::Close(holder);
            std::string seen = results[int(result)];
            if (error.empty() != (result == CopyResult::Copied))
                seen += " (error text: " + error + ")";
            if (result == CopyResult::Copied) {
                expected.insert(row.to);
                const fs::perms written = fs::status(at(row.to)).permissions();
                seen += (written & fs::perms::owner_write) == fs::perms::none ? " read-only" : "";
            }
            if (read(row.to) != (result == CopyResult::Copied ? large : before))
                seen += " (content)";
            return seen + (entries() == expected ? "" : " (other entries)");
        });
    }
}

} // namespace

int main()
{
    std::printf("fileapi portable test, %s build\n", kWindows ? "Windows" : "Linux");
    testOpens();
    testCopy();
    // Read-only files would stay behind on Windows.
    std::error_code error;
    for (fs::recursive_directory_iterator it(kRoot, error), end; !error && it != end;
         it.increment(error))
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, error);
    fs::remove_all(kRoot, error);
    std::printf("%d failed\n", g_failed);
    return g_failed == 0 ? 0 : 1;
}
