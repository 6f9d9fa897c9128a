// The file layer's cases, written once for Linux and Windows: no Qt, so that the same program is
// built natively and with MinGW-w64 (and run under Wine). Each table states the outcome on both
// systems; where Windows share modes decide differently from what Linux can see, the two
// columns differ.
//
// "Another program" is this program started again with --hold: it reads a path from its standard
// input, opens the file the way an ordinary program does, answers "held" and keeps the file open
// until its standard input closes. Under Wine share modes are enforced only between Windows
// processes, so the holder has to be one.

#include <fileapi/fileapi.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <string>

namespace fs = std::filesystem;
using fileapi::CopyResult;
using fileapi::InvalidHandle;

namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// Checks

int g_failedChecks = 0, g_passed = 0, g_failed = 0;
std::string g_case;

// What a failed check prints of a value.
struct Show
{
    static std::string of(bool value) { return value ? "true" : "false"; }
    static std::string of(CopyResult value) { return "CopyResult " + std::to_string(int(value)); }
    static std::string of(const std::string& value) { return '"' + value.substr(0, 60) + '"'; }
    static std::string of(const std::set<std::string>& values)
    {
        std::string text;
        for (const std::string& value : values)
            text += ' ' + value;
        return '{' + text + " }";
    }
};

void check(bool passed, const std::string& what, int line)
{
    if (!passed) {
        ++g_failedChecks;
        std::fprintf(stderr, "  FAIL %s: %s (line %d)\n", g_case.c_str(), what.c_str(), line);
    }
}

template <typename T>
void checkEqual(const T& actual, const T& expected, const char* text, int line)
{
    check(actual == expected,
        std::string(text) + " is " + Show::of(actual) + ", expected " + Show::of(expected), line);
}

#define CHECK(condition) check((condition), #condition, __LINE__)
#define CHECK_EQ(actual, expected) checkEqual((actual), (expected), #actual, __LINE__)

// Runs one row: a case passes when none of its checks failed.
void runCase(const std::string& name, const std::function<void()>& body)
{
    g_case = name;
    const int before = g_failedChecks;
    try {
        body();
    } catch (const std::exception& exception) {
        check(false, std::string("exception: ") + exception.what(), __LINE__);
    }
    const bool passed = g_failedChecks == before;
    ++(passed ? g_passed : g_failed);
    std::printf("%s %s\n", passed ? "PASS" : "FAIL", name.c_str());
    std::fflush(stdout);
}

// Another program holding a file

enum class Access { Read, Write, ReadWrite };

// The share modes a Windows program asks for; Linux knows none, there every holder is alike.
enum class Sharing {
    Typical, // FILE_SHARE_READ | FILE_SHARE_WRITE: the C runtime's fopen, Qt's QFile
    ReadsOnly, // FILE_SHARE_READ: a writer that lets readers look
    Nothing, // 0: a program that wants the file for itself
};

// The holder child's side; the exit code tells the parent nothing, the first line does.
int holdMain(int access, int sharing)
{
    std::string path;
    for (int c; (c = std::fgetc(stdin)) != EOF && c != '\n';)
        path += static_cast<char>(c);
#ifdef _WIN32
    static const DWORD accesses[] = { GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE };
    static const DWORD shares[] = { FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_SHARE_READ, 0 };
    const bool held = CreateFileW(fs::u8path(path).wstring().c_str(), accesses[access],
                          shares[sharing], nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
        != INVALID_HANDLE_VALUE;
#else
    (void)sharing;
    static const int modes[] = { O_RDONLY, O_WRONLY, O_RDWR };
    const bool held = ::open(path.c_str(), modes[access] | O_CLOEXEC) >= 0;
#endif
    std::printf(held ? "held\n" : "failed\n");
    std::fflush(stdout);
    while (std::fgetc(stdin) != EOF) { }
    return held ? 0 : 1;
}

// Starts the holder child for `path` and returns once it has the file open (or has failed to).
// The destructor closes the child's input, which makes it let go of the file and end.
class OtherProgram
{
public:
    OtherProgram(const fs::path& path, Access access, Sharing sharing)
    {
        const std::string accessArgument = std::to_string(static_cast<int>(access));
        const std::string sharingArgument = std::to_string(static_cast<int>(sharing));
        const std::string line = path.u8string() + '\n';
#ifdef _WIN32
        SECURITY_ATTRIBUTES inherit = { sizeof inherit, nullptr, TRUE };
        HANDLE childInput = nullptr, childOutput = nullptr;
        CreatePipe(&childInput, &m_input, &inherit, 0);
        CreatePipe(&m_output, &childOutput, &inherit, 0);
        // Only the child's ends go to the child: with our end of its input, it would never see
        // the end of it.
        SetHandleInformation(m_input, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(m_output, HANDLE_FLAG_INHERIT, 0);
        wchar_t self[MAX_PATH * 4];
        const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
        const std::string arguments = " --hold " + accessArgument + ' ' + sharingArgument;
        std::wstring commandLine = L"\"" + std::wstring(self, length) + L"\""
            + std::wstring(arguments.begin(), arguments.end());
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childInput;
        startup.hStdOutput = childOutput;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION process = {};
        if (CreateProcessW(self, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                &startup, &process)) {
            CloseHandle(process.hThread);
            m_process = process.hProcess;
        }
        CloseHandle(childInput);
        CloseHandle(childOutput);
        DWORD done = 0;
        char answer = 0;
        m_holding = m_process
            && WriteFile(m_input, line.data(), static_cast<DWORD>(line.size()), &done, nullptr)
            && ReadFile(m_output, &answer, 1, &done, nullptr) && answer == 'h';
#else
        int input[2], output[2];
        if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0)
            return;
        m_process = ::fork();
        if (m_process == 0) {
            ::dup2(input[0], 0);
            ::dup2(output[1], 1);
            ::execl("/proc/self/exe", "fileapi_portable_test", "--hold", accessArgument.c_str(),
                sharingArgument.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(input[0]);
        ::close(output[1]);
        m_input = input[1];
        m_output = output[0];
        char answer = 0;
        m_holding = m_process > 0
            && ::write(m_input, line.data(), line.size()) == static_cast<ssize_t>(line.size())
            && ::read(m_output, &answer, 1) == 1 && answer == 'h';
#endif
    }
    ~OtherProgram()
    {
#ifdef _WIN32
        CloseHandle(m_input);
        CloseHandle(m_output);
        if (m_process) {
            WaitForSingleObject(m_process, 30000);
            CloseHandle(m_process);
        }
#else
        ::close(m_input);
        ::close(m_output);
        if (m_process > 0)
            ::waitpid(m_process, nullptr, 0);
#endif
    }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    bool isHolding() const
    {
        return m_holding;
    }

private:
#ifdef _WIN32
    HANDLE m_input = nullptr, m_output = nullptr, m_process = nullptr;
#else
    int m_input = -1, m_output = -1;
    pid_t m_process = -1;
#endif
    bool m_holding = false;
};

// A fresh folder per case

// Not plain ASCII, so that every case also goes through the UTF-8 to UTF-16 conversion of the
// Windows build.
const std::string kFile = u8"aufnahme-\u00fc.rec";
const std::string kContent = "content";
const std::string kMissing = "<missing>";

// Holds `kFile` with kContent and an empty "folder", and removes all of it at the end.
class Sandbox
{
public:
    Sandbox()
    {
        static int counter = 0;
#ifdef _WIN32
        const unsigned long process = GetCurrentProcessId();
#else
        const unsigned long process = static_cast<unsigned long>(::getpid());
#endif
        m_root = fs::temp_directory_path()
            / ("fileapi-portable-" + std::to_string(process) + "-" + std::to_string(counter++));
        fs::remove_all(m_root);
        fs::create_directories(m_root / "folder");
        CHECK(write(kFile, kContent));
    }
    ~Sandbox()
    {
        // Read-only files would stay behind on Windows.
        std::error_code error;
        for (fs::recursive_directory_iterator it(m_root, error), end; !error && it != end;
             it.increment(error))
            fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, error);
        fs::remove_all(m_root, error);
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    fs::path path(const std::string& name) const
    {
        return m_root / fs::u8path(name);
    }
    // Joined as text: a name that is no UTF-8 has no fs::path on Windows.
    std::string utf8(const std::string& name) const
    {
        return m_root.u8string() + '/' + name;
    }

    bool write(const std::string& name, const std::string& content) const
    {
        std::ofstream out(path(name), std::ios::binary);
        return static_cast<bool>(out << content << std::flush);
    }

    std::string read(const std::string& name) const
    {
        std::error_code error;
        try {
            std::ifstream in(path(name), std::ios::binary);
            if (fs::is_regular_file(path(name), error) && in)
                return std::string(std::istreambuf_iterator<char>(in), {});
        } catch (const std::exception&) {
            // No such name can exist.
        }
        return kMissing;
    }

    // Everything below the root, so that a temporary left behind shows.
    std::set<std::string> entries() const
    {
        std::set<std::string> all;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(m_root))
            all.insert(entry.path().lexically_relative(m_root).generic_u8string());
        return all;
    }

private:
    fs::path m_root;
};

void makeReadOnly(const fs::path& path)
{
    // MinGW's libstdc++ sets the read-only attribute for a mode without write bits.
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

// The cases

// Expected outcomes: the column of the system the program was built for counts.
template <typename T>
struct Per
{
    T onLinux, onWindows;
    T here() const { return kWindows ? onWindows : onLinux; }
};
using Both = Per<bool>;

enum class Holder {
    Nobody,
    Reader, // another program, typical sharing
    Writer,
    ReadWriter,
    WriterSharingReads, // another program writing that lets only readers in
    ExclusiveReader, // another program reading that shares nothing
    ExclusiveReadWriter,
    OwnSharedWriter, // our own OpenWrite(path, true)
    OwnProbe, // our own OpenExisting
};

// Keeps `kFile` held by `holder` while it lives.
class Hold
{
public:
    Hold(const Sandbox& box, Holder holder)
    {
        // Another program's access and sharing, in the order of Holder from Reader on.
        static const std::pair<Access, Sharing> others[]
            = { { Access::Read, Sharing::Typical }, { Access::Write, Sharing::Typical },
                  { Access::ReadWrite, Sharing::Typical }, { Access::Write, Sharing::ReadsOnly },
                  { Access::Read, Sharing::Nothing }, { Access::ReadWrite, Sharing::Nothing } };
        const int other = static_cast<int>(holder) - static_cast<int>(Holder::Reader);
        if (holder >= Holder::Reader && holder <= Holder::ExclusiveReadWriter) {
            m_other = std::make_unique<OtherProgram>(
                box.path(kFile), others[other].first, others[other].second);
            CHECK(m_other->isHolding());
        } else if (holder != Holder::Nobody) {
            m_own = holder == Holder::OwnProbe ? fileapi::OpenExisting(box.utf8(kFile))
                                               : fileapi::OpenWrite(box.utf8(kFile), true);
            CHECK(m_own != InvalidHandle);
        }
    }
    ~Hold() { fileapi::Close(m_own); }

private:
    std::unique_ptr<OtherProgram> m_other;
    fileapi::Handle m_own = InvalidHandle;
};

void testOpenExisting()
{
    static const struct
    {
        const char* name;
        const char* path;
        Holder holder;
        Both opens;
    } rows[] = {
        { "file", nullptr, Holder::Nobody, { true, true } },
        // A handle without data access meets no share mode, not even an exclusive holder's.
        { "file another program holds exclusively", nullptr, Holder::ExclusiveReadWriter,
            { true, true } },
        { "file another program writes", nullptr, Holder::Writer, { true, true } },
        { "missing", "missing", Holder::Nobody, { false, false } },
        { "in a missing folder", "missing/file", Holder::Nobody, { false, false } },
        { "folder", "folder", Holder::Nobody, { false, false } },
    };
    for (const auto& row : rows) {
        runCase(std::string("OpenExisting: ") + row.name, [&] {
            Sandbox box;
            Hold held(box, row.holder);
            const fileapi::Handle handle
                = fileapi::OpenExisting(box.utf8(row.path ? row.path : kFile));
            CHECK_EQ(handle != InvalidHandle, row.opens.here());
            CHECK_EQ(fileapi::Close(handle), row.opens.here());
        });
    }
}

void testOpenWrite()
{
    static const struct
    {
        const char* name;
        Holder holder;
        bool readOnly;
        Both opensExclusive, opensSharingWrites;
    } rows[] = {
        { "free", Holder::Nobody, false, { true, true }, { true, true } },
        { "read-only", Holder::Nobody, true, { false, false }, { false, false } },
        { "read by another program", Holder::Reader, false, { false, false }, { false, false } },
        { "written by another program", Holder::Writer, false, { false, false }, { true, true } },
        { "read and written by another program", Holder::ReadWriter, false, { false, false },
            { false, false } },
        // Its share mode keeps every other writer out on Windows; Linux cannot see share modes,
        // there it is a writer like any other.
        { "written by another program that lets only readers in", Holder::WriterSharingReads, false,
            { false, false }, { true, false } },
        { "read by another program that shares nothing", Holder::ExclusiveReader, false,
            { false, false }, { false, false } },
        { "written through our own shared handle", Holder::OwnSharedWriter, false, { false, false },
            { true, true } },
        { "probed by ourselves", Holder::OwnProbe, false, { true, true }, { true, true } },
    };
    for (const auto& row : rows) {
        for (const bool shareWrite : { false, true }) {
            runCase(std::string("OpenWrite: ") + row.name
                    + (shareWrite ? ", sharing writes" : ", exclusive"),
                [&] {
                    Sandbox box;
                    if (row.readOnly)
                        makeReadOnly(box.path(kFile));
                    const bool opens
                        = (shareWrite ? row.opensSharingWrites : row.opensExclusive).here();
                    {
                        Hold held(box, row.holder);
                        const fileapi::Handle handle
                            = fileapi::OpenWrite(box.utf8(kFile), shareWrite);
                        CHECK_EQ(handle != InvalidHandle, opens);
                        CHECK_EQ(fileapi::Close(handle), opens);
                    }
                    CHECK_EQ(box.read(kFile), kContent); // opened without truncating
                });
        }
    }
}

// What our write handle does to a program that comes later: Windows enforces our share mode,
// Linux has no share modes and lets everybody in.
void testLaterOpeners()
{
    static const struct
    {
        const char* name;
        bool create; // CreateNew on a new file, else OpenWrite on the existing one
        bool shareWrite;
        Access access; // the later program's, with typical sharing
        Both getsIn;
    } rows[] = {
        { "reader after an exclusive write open", false, false, Access::Read, { true, false } },
        { "writer after an exclusive write open", false, false, Access::Write, { true, false } },
        { "reader after a write open sharing writes", false, true, Access::Read, { true, false } },
        { "writer after a write open sharing writes", false, true, Access::Write, { true, true } },
        { "reader after an exclusive create", true, false, Access::Read, { true, false } },
        { "writer after a create sharing writes", true, true, Access::Write, { true, true } },
    };
    for (const auto& row : rows) {
        runCase(std::string("later opener: ") + row.name, [&] {
            Sandbox box;
            const std::string name = row.create ? "new.rec" : kFile;
            const fileapi::Handle handle = row.create
                ? fileapi::CreateNew(box.utf8(name), row.shareWrite)
                : fileapi::OpenWrite(box.utf8(name), row.shareWrite);
            CHECK(handle != InvalidHandle);
            CHECK_EQ(OtherProgram(box.path(name), row.access, Sharing::Typical).isHolding(),
                row.getsIn.here());
            CHECK(fileapi::Close(handle));
        });
    }
}

void testCreateNew()
{
    static const struct
    {
        const char* name;
        std::string path;
        Both creates;
        std::string content; // afterwards, when not created
    } rows[] = {
        { "new", "new.rec", { true, true }, "" },
        { "existing", kFile, { false, false }, kContent },
        { "in a missing folder", "missing/new.rec", { false, false }, kMissing },
        { "name beyond ASCII", u8"neu-\u00df-\u20ac.rec", { true, true }, "" },
        // Linux names are bytes; Windows names are UTF-16, which such a name has no form in.
        { "name that is no UTF-8", "bad-\xff.rec", { true, false }, kMissing },
    };
    for (const auto& row : rows) {
        runCase(std::string("CreateNew: ") + row.name, [&] {
            Sandbox box;
            std::set<std::string> expected = box.entries();
            const fileapi::Handle handle = fileapi::CreateNew(box.utf8(row.path), false);
            CHECK_EQ(handle != InvalidHandle, row.creates.here());
            CHECK_EQ(fileapi::Close(handle), row.creates.here());
            // Created under exactly the name asked for, and empty.
            CHECK_EQ(box.read(row.path), row.creates.here() ? std::string() : row.content);
            if (row.creates.here())
                expected.insert(row.path);
            CHECK_EQ(box.entries(), expected);
        });
    }
}

void testCopy()
{
    enum Source { Large, ReadOnlyLarge, HeldLarge, Folder, None };
    using R = CopyResult;
    static const struct
    {
        const char* name;
        Source source;
        std::string to;
        Per<CopyResult> result;
    } rows[] = {
        { "copy", Large, "copy.rec", { R::Copied, R::Copied } },
        { "into a folder", Large, "folder/copy.rec", { R::Copied, R::Copied } },
        { "name beyond ASCII", Large, u8"kopie-\u00e4.rec", { R::Copied, R::Copied } },
        { "read-only source", ReadOnlyLarge, "copy.rec", { R::Copied, R::Copied } },
        // Reading needs the holder's leave on Windows; Linux has no share modes.
        { "source another program holds exclusively", HeldLarge, "copy.rec",
            { R::Copied, R::Failed } },
        { "onto an existing file", Large, kFile, { R::DestinationExists, R::DestinationExists } },
        { "onto a folder", Large, "folder", { R::DestinationExists, R::DestinationExists } },
        { "missing source", None, "copy.rec", { R::SourceMissing, R::SourceMissing } },
        { "missing source onto an existing file", None, kFile,
            { R::SourceMissing, R::SourceMissing } },
        { "missing destination folder", Large, "missing/copy.rec", { R::Failed, R::Failed } },
        { "folder as source", Folder, "copy.rec", { R::Failed, R::Failed } },
    };
    std::string large; // 3 MiB, more than one buffer of any copy loop
    for (int i = 0; large.size() < 3 * 1024 * 1024; ++i)
        large += std::to_string(i) + '\n';
    for (const auto& row : rows) {
        runCase(std::string("CopyNoOverwrite: ") + row.name, [&] {
            Sandbox box;
            const std::string from = row.source == Folder
                ? "folder"
                : (row.source == None ? "missing.rec" : "source.rec");
            if (row.source == Large || row.source == ReadOnlyLarge || row.source == HeldLarge)
                CHECK(box.write(from, large));
            if (row.source == ReadOnlyLarge)
                makeReadOnly(box.path(from));
            std::unique_ptr<OtherProgram> holder;
            if (row.source == HeldLarge) {
                holder.reset(new OtherProgram(box.path(from), Access::ReadWrite, Sharing::Nothing));
                CHECK(holder->isHolding());
            }
            const CopyResult result = row.result.here();
            const std::string contentBefore = box.read(row.to);
            std::set<std::string> expected = box.entries();

            std::string error;
            CHECK_EQ(fileapi::CopyNoOverwrite(box.utf8(from), box.utf8(row.to), &error), result);
            CHECK_EQ(error.empty(), result == CopyResult::Copied);
            holder.reset();

            const bool copied = result == CopyResult::Copied;
            CHECK_EQ(box.read(row.to), copied ? large : contentBefore);
            if (copied) {
                const fs::perms written = fs::status(box.path(row.to)).permissions();
                CHECK_EQ((written & fs::perms::owner_write) == fs::perms::none,
                    row.source == ReadOnlyLarge);
                expected.insert(row.to);
            }
            CHECK_EQ(box.entries(), expected); // and no temporary left behind
        });
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--hold") == 0)
        return holdMain(std::atoi(argv[2]), std::atoi(argv[3]));

#ifndef _WIN32
    std::signal(SIGPIPE, SIG_IGN); // a holder that died early must fail its case, not end us
#endif
    std::printf("fileapi portable test, %s build\n", kWindows ? "Windows" : "Linux");
    testOpenExisting();
    testOpenWrite();
    testLaterOpeners();
    testCreateNew();
    testCopy();
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
