// The extraction program as the setup program runs it: a child process with
// a command line, files on disk, an exit code and its two output streams.
#include <gtest/gtest.h>

#include "support/Files.h"
#include "unit/unrar_tar_builder.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace fs = std::filesystem;
using namespace unrar_test;

namespace {

struct TRunResult {
    int ExitCode = -1;
    std::string Out, Err;
    long MaxRssKb = 0; // peak resident memory of the child, sampled (POSIX only)
};

#ifdef _WIN32

// The build passes Linux paths; Wine shows / as Z:.
std::string HostPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (auto& c : path)
        if (c == '/') c = '\\';
    return path;
}

// Runs unrar.exe with a raw command line, as CreateProcess passes it.
TRunResult RunCommandLine(const std::string& commandLine, const fs::path& folder) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    fs::path outPath = folder / "stdout.txt", errPath = folder / "stderr.txt";
    auto create = [&](const fs::path& p) {
        return CreateFileA(p.string().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE out = create(outPath), err = create(errPath);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    std::string line = commandLine;
    std::string program = HostPath(UNRAR_PROGRAM);
    TRunResult result;
    if (CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       folder.string().c_str(), &si, &pi)) {
        WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        result.ExitCode = int(code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(out);
    CloseHandle(err);
    result.Out = ReadWholeFile(fs::path(outPath).string()).value_or("");
    result.Err = ReadWholeFile(fs::path(errPath).string()).value_or("");
    fs::remove(outPath);
    fs::remove(errPath);
    return result;
}

std::string Quote(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string quoted = "\"";
    size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        quoted.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
        slashes = 0;
        quoted += c;
    }
    quoted.append(slashes * 2, '\\');
    quoted += '"';
    return quoted;
}

TRunResult RunUnrar(const std::vector<std::string>& args, const fs::path& folder) {
    std::ostringstream line;
    line << "unrar.exe";
    for (const auto& arg : args)
        line << ' ' << Quote(arg);
    return RunCommandLine(line.str(), folder);
}

#else

std::string HostPath(std::string path) {
    return path;
}

// Peak memory of the running program, once it is the program: before exec
// the child still shares its parent's memory, and so does the kernel's
// rusage figure, which is why it is sampled here instead.
long PeakMemoryKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    long peak = 0;
    bool isProgram = false;
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Name:", 0) == 0) isProgram = line == "Name:\tunrar";
        if (line.rfind("VmHWM:", 0) == 0) peak = std::atol(line.c_str() + 6);
    }
    return isProgram ? peak : 0;
}

// With fileSizeLimit set, the child may write no file larger than that: a
// disk that fills up, without filling up the test machine's disk.
TRunResult RunUnrar(const std::vector<std::string>& args, const fs::path& folder,
                    rlim_t fileSizeLimit = RLIM_INFINITY) {
    fs::path outPath = folder / "stdout.txt", errPath = folder / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<std::string> all{UNRAR_PROGRAM};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    TRunResult result;
    pid_t pid = 0;
    // The child inherits the limit and the ignored signal, so a write past
    // the limit fails with an error instead of killing it.
    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    void (*savedHandler)(int) = SIG_DFL;
    if (fileSizeLimit != RLIM_INFINITY) {
        struct rlimit limited = saved;
        limited.rlim_cur = fileSizeLimit;
        setrlimit(RLIMIT_FSIZE, &limited);
        savedHandler = signal(SIGXFSZ, SIG_IGN);
    }
    int spawned = posix_spawn(&pid, UNRAR_PROGRAM, &actions, nullptr, argv.data(), environ);
    if (fileSizeLimit != RLIM_INFINITY) {
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, savedHandler);
    }
    if (spawned == 0) {
        int status = 0;
        for (;;) {
            pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid || done < 0) break;
            result.MaxRssKb = std::max(result.MaxRssKb, PeakMemoryKb(pid));
            usleep(2000);
        }
        result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    result.Out = ReadWholeFile(fs::path(outPath).string()).value_or("");
    result.Err = ReadWholeFile(fs::path(errPath).string()).value_or("");
    fs::remove(outPath);
    fs::remove(errPath);
    return result;
}

#endif

const std::string Sep(1, char(fs::path::preferred_separator));
#ifdef _WIN32
const std::string Eol = "\r\n"; // text-mode output, as Windows programs write it
#else
const std::string Eol = "\n";
#endif

int CountLines(const std::string& text, const std::string& start) {
    int count = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(start, 0) == 0) ++count;
    return count;
}

class UnrarProgram : public testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        Root = fs::temp_directory_path() / ("unrar_test_" +
                                            std::to_string(
#ifdef _WIN32
                                                GetCurrentProcessId()
#else
                                                getpid()
#endif
                                                    ) +
                                            "_" + std::to_string(counter++));
        fs::remove_all(Root);
        fs::create_directories(Root);
        Dest = Root / "dest";
    }
    void TearDown() override {
        std::error_code ignored;
        for (auto& entry : fs::recursive_directory_iterator(Root, ignored))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(Root, ignored);
    }

    fs::path Archive(const std::string& bytes, const std::string& name = "data.arc") {
        WriteWholeFile(fs::path(Root / name).string(), bytes);
        return Root / name;
    }

    // The setup program's switches, then the archive, mask and destination.
    TRunResult Extract(const fs::path& archive, const std::string& mask = "*.*") {
        return RunUnrar({"x", "-c-", "-cfg-", "-dh", "-idp", "-o+", "-r", "-y", archive.string(),
                         mask, Dest.string() + Sep},
                        Root);
    }

    fs::path Root, Dest;
};

TEST_F(UnrarProgram, ExtractsATreeWithLongNamesEmptyAndLargeFiles) {
    const std::string gnuName = "deep/" + std::string(140, 'g') + ".txt";
    const std::string paxName = "deep/er/" + std::string(110, 'p') + "/" + std::string(60, 'q');
    const std::string big = NoiseBytes(5 * 1024 * 1024, 7);
    TTarBuilder tar;
    tar.Dir("deep/");
    tar.Dir("deep/er/");
    tar.Dir("empty dir/");
    tar.File("top.txt", "top level");
    tar.File("deep/er/est/leaf.txt", "leaf");
    tar.File(gnuName, "gnu", TLongForm::Gnu);
    tar.File(paxName, "pax", TLongForm::Pax);
    tar.File("deep/zero", "");
    tar.File("big.bin", big);
    tar.End();
    auto result = Extract(Archive(TTarBuilder::Gzip(tar.Data)));

    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Err, "");
    EXPECT_EQ(ReadWholeFile(fs::path(Dest / "top.txt").string()).value_or(""), "top level");
    EXPECT_EQ(ReadWholeFile(fs::path(Dest / "deep/er/est/leaf.txt").string()).value_or(""), "leaf");
    EXPECT_EQ(ReadWholeFile(fs::path(Dest / gnuName).string()).value_or(""), "gnu");
    EXPECT_EQ(ReadWholeFile(fs::path(Dest / paxName).string()).value_or(""), "pax");
    EXPECT_TRUE(fs::is_regular_file(Dest / "deep/zero"));
    EXPECT_EQ(fs::file_size(Dest / "deep/zero"), 0u);
    EXPECT_TRUE(fs::is_directory(Dest / "empty dir"));
    EXPECT_EQ(ReadWholeFile(fs::path(Dest / "big.bin").string()).value_or(""), big);
    // One line per file, named with this system's separators, then the summary.
    EXPECT_EQ(CountLines(result.Out, "Extracting  "), 6);
    EXPECT_NE(result.Out.find("Extracting  deep" + Sep + "er" + Sep + "est" + Sep + "leaf.txt"),
              std::string::npos);
    // Every folder made counts: the three listed and the two on the way.
    EXPECT_NE(result.Out.find("All OK: 6 files, 5 folders"), std::string::npos) << result.Out;
}

// One line per file however many there are, in archive order and before the
// summary: lines are written out in blocks, and none may be lost or
// reordered, also when damage stops the run part-way.
TEST_F(UnrarProgram, WritesEveryFileLineInOrder) {
    TTarBuilder tar;
    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i) {
        names.push_back("dir" + std::to_string(i % 7) + "/file" + std::to_string(i) + ".txt");
        tar.File(names.back(), NoiseBytes(300, unsigned(i)));
    }
    tar.End();
    const std::string whole = TTarBuilder::Gzip(tar.Data);
    for (bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "damaged" : "whole");
        fs::remove_all(Dest);
        auto result = Extract(Archive(damaged ? whole.substr(0, whole.size() / 2) : whole));
        size_t files = 0;
        bool ordered = true, summaryLast = false;
        std::istringstream lines(result.Out);
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            summaryLast = line.rfind("All OK", 0) == 0 || line.rfind("Finished with", 0) == 0;
            if (line.rfind("Extracting  ", 0) != 0) continue;
            std::string expected = files < names.size() ? names[files] : "";
            for (char& c : expected)
                if (c == '/') c = Sep[0];
            ordered = ordered && line == "Extracting  " + expected;
            ++files;
        }
        EXPECT_TRUE(ordered);
        EXPECT_TRUE(summaryLast) << result.Out.substr(result.Out.size() - 200);
        if (damaged) {
            EXPECT_EQ(result.ExitCode, 3);
            EXPECT_GT(files, 0u);
            EXPECT_LT(files, names.size());
            EXPECT_NE(result.Out.find("Finished with errors: " + std::to_string(files) + " files"),
                      std::string::npos);
        } else {
            EXPECT_EQ(result.ExitCode, 0) << result.Err;
            EXPECT_EQ(files, names.size());
        }
    }
}

// Archives the extraction streams through in pieces: decompression runs
// ahead of the writer in chunks, so files, headers and gzip members fall
// across chunk and input-block boundaries at every possible place.
struct TArchiveImage {
    std::string Bytes;                                      // what data.arc holds
    std::vector<std::pair<std::string, std::string>> Files; // in archive order
};

std::string TextBytes(size_t size, uint32_t seed) {
    static const char* const words[] = {"setup ", "control ", "folder\r\n", "a ", "registry "};
    std::string text;
    uint64_t state = seed;
    while (text.size() < size) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        text += words[(state >> 40) % 5];
    }
    text.resize(size);
    return text;
}

// Built by appending: GCC 12 warns falsely about literal + to_string here.
std::string Numbered(const char* prefix, size_t number) {
    std::string name = prefix;
    name += std::to_string(number);
    return name;
}

TTarBuilder TarOf(std::vector<std::pair<std::string, std::string>>& files) {
    TTarBuilder tar;
    for (const auto& [name, content] : files)
        tar.File(name, content);
    tar.End();
    return tar;
}

TArchiveImage ManySmallFiles(size_t count, size_t maxSize) {
    TArchiveImage image;
    for (size_t i = 0; i < count; ++i) {
        size_t size = (i * 7919) % maxSize; // 0 included
        image.Files.emplace_back(Numbered("d", i % 37) + Numbered("/f", i),
                                 i % 3 ? TextBytes(size, uint32_t(i))
                                       : NoiseBytes(size, uint32_t(i)));
    }
    image.Bytes = TTarBuilder::Gzip(TarOf(image.Files).Data);
    return image;
}

// Small files, then one large incompressible file, then one more.
TArchiveImage SmallThenLarge(size_t smallCount, size_t largeSize) {
    TArchiveImage image;
    for (size_t i = 0; i < smallCount; ++i)
        image.Files.emplace_back(Numbered("small/s", i), NoiseBytes(1000, uint32_t(i)));
    image.Files.emplace_back("large.bin", NoiseBytes(largeSize, 99));
    image.Files.emplace_back("after.txt", "after");
    image.Bytes = TTarBuilder::Gzip(TarOf(image.Files).Data);
    return image;
}

std::vector<std::string> ListedFiles(const std::string& out) {
    std::vector<std::string> listed;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("Extracting  ", 0) == 0) listed.push_back(line.substr(12));
    }
    return listed;
}

std::string Shown(std::string name) {
    for (char& c : name)
        if (c == '/') c = Sep[0];
    return name;
}

struct TStreamCase {
    const char* Name;
    TArchiveImage (*Make)();
};

const TStreamCase StreamCases[] = {
    {"ManySmallFilesOfEverySize", [] { return ManySmallFiles(4000, 1500); }},
    {"FileSpanningManyChunks",
     [] {
         // Text inflates to whole chunks from little input; noise needs
         // many input blocks per chunk. The size is no multiple of 512.
         TArchiveImage image;
         image.Files.emplace_back("before.txt", "before");
         image.Files.emplace_back("big/spanning.bin",
                                  TextBytes(6 << 20, 1) + NoiseBytes((6 << 20) + 333, 2));
         image.Files.emplace_back("after.txt", "after");
         image.Bytes = TTarBuilder::Gzip(TarOf(image.Files).Data);
         return image;
     }},
    {"GzipMemberEndingInsideAFile",
     [] {
         TArchiveImage image;
         image.Files.emplace_back("a.bin", NoiseBytes(300000, 3));
         image.Files.emplace_back("b.txt", TextBytes(70000, 4));
         std::string tar = TarOf(image.Files).Data;
         const size_t cut = 512 + 150001;
         image.Bytes = TTarBuilder::Gzip(tar.substr(0, cut)) + TTarBuilder::Gzip(tar.substr(cut));
         return image;
     }},
    {"UncompressedTar",
     [] {
         TArchiveImage image = ManySmallFiles(500, 3000);
         image.Bytes = TarOf(image.Files).Data;
         return image;
     }},
};

void PrintTo(const TStreamCase& c, std::ostream* os) {
    *os << c.Name;
}

class UnrarStreaming : public UnrarProgram, public testing::WithParamInterface<TStreamCase> {};

TEST_P(UnrarStreaming, WritesEveryFileWholeAndListsItInOrder) {
    TArchiveImage image = GetParam().Make();
    auto result = Extract(Archive(image.Bytes));
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Err, "");
    std::vector<std::string> expected;
    for (const auto& [name, content] : image.Files) {
        expected.push_back(Shown(name));
        ASSERT_EQ(ReadWholeFile(fs::path(Dest / name).string()).value_or(""), content) << name;
    }
    EXPECT_EQ(ListedFiles(result.Out), expected);
}

INSTANTIATE_TEST_SUITE_P(Archives, UnrarStreaming, testing::ValuesIn(StreamCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// Damage found part-way, possibly while the writer is still busy with
// earlier files: what was listed is complete, nothing else is left behind.
struct TDamageCase {
    const char* Name;
    TArchiveImage (*Make)();
    size_t MinListed, MaxListed;
};

// The gzip form of the first size bytes of an archive, cut off right after
// them: it inflates to exactly those bytes and then ends too early.
std::string GzipCutAt(const std::string& tar, size_t size) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&z, uLong(size)) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(tar.data()));
    z.avail_in = uInt(size);
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    EXPECT_EQ(deflate(&z, Z_FULL_FLUSH), Z_OK);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Each small file below takes a header and two data blocks.
constexpr size_t SmallEntry = 1536;

const TDamageCase DamageCases[] = {
    {"CutInsideALargeFile",
     [] {
         TArchiveImage image = SmallThenLarge(300, 6 << 20);
         image.Bytes = GzipCutAt(TarOf(image.Files).Data, 300 * SmallEntry + 512 + (3 << 20));
         return image;
     },
     300, 300},
    {"CutAmongSmallFilesFarBehindTheWriter",
     [] {
         // The cut lies in file 2000's data, megabytes after the first
         // files: decompression meets it long before the writer does.
         TArchiveImage image = SmallThenLarge(3000, 1000);
         image.Bytes = GzipCutAt(TarOf(image.Files).Data, 2000 * SmallEntry + 700);
         return image;
     },
     2000, 2000},
    {"CutInTheGzipTrailer",
     [] {
         // Every file is whole; only the check values are missing.
         TArchiveImage image = SmallThenLarge(200, 2 << 20);
         image.Bytes.resize(image.Bytes.size() - 4);
         return image;
     },
     202, 202},
    {"BadHeaderAfterManyFiles",
     [] {
         TArchiveImage image;
         for (int i = 0; i < 1000; ++i)
             image.Files.emplace_back(Numbered("h/f", size_t(i)), NoiseBytes(600, uint32_t(i)));
         std::string tar = TarOf(image.Files).Data;
         tar[700 * SmallEntry + 5] ^= 0x04;
         image.Bytes = TTarBuilder::Gzip(tar);
         return image;
     },
     700, 700},
};

void PrintTo(const TDamageCase& c, std::ostream* os) {
    *os << c.Name;
}

class UnrarDamagedStream : public UnrarProgram, public testing::WithParamInterface<TDamageCase> {};

TEST_P(UnrarDamagedStream, KeepsOnlyTheFilesItListed) {
    TArchiveImage image = GetParam().Make();
    auto result = Extract(Archive(image.Bytes));
    EXPECT_EQ(result.ExitCode, 3) << result.Err;
    EXPECT_NE(result.Err.find("unrar: "), std::string::npos);
    auto listed = ListedFiles(result.Out);
    EXPECT_GE(listed.size(), GetParam().MinListed);
    EXPECT_LE(listed.size(), GetParam().MaxListed);
    EXPECT_NE(result.Out.find("Finished with errors: " + std::to_string(listed.size()) + " files"),
              std::string::npos)
        << result.Out.substr(result.Out.size() > 300 ? result.Out.size() - 300 : 0);
    for (size_t i = 0; i < image.Files.size(); ++i) {
        const auto& [name, content] = image.Files[i];
        if (i < listed.size()) {
            ASSERT_EQ(listed[i], Shown(name));
            ASSERT_EQ(ReadWholeFile(fs::path(Dest / name).string()).value_or(""), content) << name;
        } else {
            ASSERT_FALSE(fs::exists(Dest / name)) << name << " left behind";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Archives, UnrarDamagedStream, testing::ValuesIn(DamageCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// Folders already on disk, or something else in their place.
struct TFolderCase {
    const char* Name;
    void (*Prepare)(const fs::path& root, const fs::path& dest);
    int ExitCode;
    const char* Message; // on standard error; empty: none
};

const TFolderCase FolderCases[] = {
    {"FoldersAlreadyThere",
     [](const fs::path&, const fs::path& dest) { fs::create_directories(dest / "a" / "b"); }, 0,
     ""},
    {"FileWhereAFolderGoes",
     [](const fs::path&, const fs::path& dest) {
         fs::create_directories(dest);
         WriteWholeFile(fs::path(dest / "a").string(), "a file");
     },
     9, "a file of that name exists"},
    {"FileWhereAnInnerFolderGoes",
     [](const fs::path&, const fs::path& dest) {
         fs::create_directories(dest / "a");
         WriteWholeFile(fs::path(dest / "a" / "b").string(), "a file");
     },
     9, "a file of that name exists"},
#ifndef _WIN32
    {"LinkToNowhereWhereAFolderGoes",
     [](const fs::path& root, const fs::path& dest) {
         fs::create_directories(dest);
         fs::create_directory_symlink(root / "nowhere", dest / "a");
     },
     9, "not followed"},
#endif
};

void PrintTo(const TFolderCase& c, std::ostream* os) {
    *os << c.Name;
}

class UnrarFolders : public UnrarProgram, public testing::WithParamInterface<TFolderCase> {};

TEST_P(UnrarFolders, ExtractsIntoThemOrRefusesThatEntryOnly) {
    GetParam().Prepare(Root, Dest);
    TTarBuilder tar;
    tar.Dir("a/");
    tar.File("a/b/c/deep.txt", "deep");
    tar.File("ok.txt", "ok");
    tar.End();
    auto result = Extract(Archive(TTarBuilder::Gzip(tar.Data)));
    EXPECT_EQ(result.ExitCode, GetParam().ExitCode) << result.Err;
    EXPECT_EQ(ReadWholeFile(fs::path(Dest / "ok.txt").string()).value_or(""), "ok");
    if (GetParam().ExitCode == 0) {
        EXPECT_EQ(result.Err, "");
        EXPECT_EQ(ReadWholeFile(fs::path(Dest / "a/b/c/deep.txt").string()).value_or(""), "deep");
        EXPECT_NE(result.Out.find("Creating    a" + Eol), std::string::npos) << result.Out;
    } else {
        EXPECT_NE(result.Err.find(GetParam().Message), std::string::npos) << result.Err;
        EXPECT_FALSE(fs::exists(Dest / "a/b/c/deep.txt"));
        EXPECT_FALSE(fs::exists(Root / "nowhere"));
    }
}

INSTANTIATE_TEST_SUITE_P(Destinations, UnrarFolders, testing::ValuesIn(FolderCases),
                         [](const auto& info) { return std::string(info.param.Name); });

#ifndef _WIN32
// A disk that fills up: the file being written goes, the run stops at once
// with a write error, and what was extracted before stays.
struct TWriteErrorCase {
    const char* Name;
    TArchiveImage (*Make)();
    size_t Listed;
    rlim_t Limit = 1 << 20; // the disk's room for one file
};

const TWriteErrorCase WriteErrorCases[] = {
    {"OnTheFirstFile", [] { return SmallThenLarge(0, 3 << 20); }, 0},
    {"AfterManySmallFiles", [] { return SmallThenLarge(800, 3 << 20); }, 800},
    // Small enough for the writer thread, which has the files after it
    // already created: they go again.
    {"OnASmallFileAfterManyOthers", [] { return SmallThenLarge(800, 700 << 10); }, 800, 512 << 10},
};

void PrintTo(const TWriteErrorCase& c, std::ostream* os) {
    *os << c.Name;
}

class UnrarWriteError : public UnrarProgram, public testing::WithParamInterface<TWriteErrorCase> {};

TEST_P(UnrarWriteError, RemovesThePartialFileAndStops) {
    TArchiveImage image = GetParam().Make();
    fs::path archive = Archive(image.Bytes);
    auto result =
        RunUnrar({"x", "-o+", "-y", archive.string(), Dest.string() + Sep}, Root, GetParam().Limit);
    EXPECT_EQ(result.ExitCode, 5) << result.Err;
    EXPECT_NE(result.Err.find("write error in "), std::string::npos) << result.Err;
    auto listed = ListedFiles(result.Out);
    ASSERT_EQ(listed.size(), GetParam().Listed);
    for (size_t i = 0; i < listed.size(); ++i)
        EXPECT_EQ(ReadWholeFile(fs::path(Dest / image.Files[i].first).string()).value_or(""),
                  image.Files[i].second);
    EXPECT_FALSE(fs::exists(Dest / "large.bin"));
    EXPECT_FALSE(fs::exists(Dest / "after.txt"));
    EXPECT_NE(result.Out.find("Finished with errors: " + std::to_string(listed.size()) + " files"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Disks, UnrarWriteError, testing::ValuesIn(WriteErrorCases),
                         [](const auto& info) { return std::string(info.param.Name); });
#endif

TEST_F(UnrarProgram, KeepsModificationTimes) {
    TTarBuilder tar;
    tar.File("dated.txt", "x");
    tar.End();
    ASSERT_EQ(Extract(Archive(TTarBuilder::Gzip(tar.Data))).ExitCode, 0);
    auto written = fs::last_write_time(Dest / "dated.txt");
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::file_clock::to_sys(written).time_since_epoch());
    EXPECT_EQ(seconds.count(), 1600000000);
}

TEST_F(UnrarProgram, OverwritesExistingReadOnlyFiles) {
    fs::create_directories(Dest / "sub");
    WriteWholeFile(fs::path(Dest / "sub/file.txt").string(), "old contents, longer than the new");
    fs::permissions(Dest / "sub/file.txt", fs::perms::owner_read | fs::perms::group_read);
    TTarBuilder tar;
    tar.File("sub/file.txt", "new");
    tar.End();
    auto result = Extract(Archive(TTarBuilder::Gzip(tar.Data)));
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(ReadWholeFile(fs::path(Dest / "sub/file.txt").string()).value_or(""), "new");
}

// An existing file is replaced by a new one, never written through: a hard
// link at its place leaves the other name's content alone.
TEST_F(UnrarProgram, ReplacesAHardLinkedFileInsteadOfWritingThroughIt) {
    fs::create_directories(Dest);
    WriteWholeFile(fs::path(Root / "outside.txt").string(), "untouched");
    fs::create_hard_link(Root / "outside.txt", Dest / "linked.txt");
    TTarBuilder tar;
    tar.File("linked.txt", "from the archive");
    tar.End();
    auto result = Extract(Archive(TTarBuilder::Gzip(tar.Data)));
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(ReadWholeFile(fs::path(Root / "outside.txt").string()).value_or(""), "untouched");
    EXPECT_EQ(ReadWholeFile(fs::path(Dest / "linked.txt").string()).value_or(""),
              "from the archive");
    EXPECT_FALSE(fs::exists(Dest / "linked.txt.~new"));
}

#ifdef _WIN32
// A name the setup program's 8-bit text cannot hold (code page 437 has no
// "ã") is refused, so that nothing is installed its uninstall could not
// name; what the program prints is in the OEM code page ("é" is 0x82).
TEST_F(UnrarProgram, RefusesNamesTheSetupProgramCannotHold) {
    TTarBuilder tar;
    tar.File("Configura\xC3\xA7\xC3\xA3o.txt", "pt");
    tar.File("Caf\xC3\xA9.txt", "fr");
    tar.End();
    auto result = Extract(Archive(TTarBuilder::Gzip(tar.Data)));
    EXPECT_EQ(result.ExitCode, 1) << result.Err;
    EXPECT_NE(result.Err.find("refused Configura\x87?o.txt: name not held by this system's code "
                              "pages"),
              std::string::npos)
        << result.Err;
    EXPECT_NE(result.Out.find("Extracting  Caf\x82.txt"), std::string::npos) << result.Out;
    // Made with the wide API: its name is "Café.txt" in every code page.
    EXPECT_NE(GetFileAttributesW((Dest.wstring() + L"\\Caf\u00E9.txt").c_str()),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW((Dest.wstring() + L"\\Configura\u00E7\u00E3o.txt").c_str()),
              INVALID_FILE_ATTRIBUTES);
}

// A file another program holds open (as an editor does: read, sharing read
// only) cannot be replaced: its new content is written beside it, reported
// as pending with an exit code of its own, and everything else is extracted.
TEST_F(UnrarProgram, WritesTheNewContentBesideAHeldFile) {
    fs::create_directories(Dest / "sub");
    const std::string Held = fs::path(Dest / "sub/held.txt").string();
    WriteWholeFile(Held, "old");
    HANDLE Holder = CreateFileA(Held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(Holder, INVALID_HANDLE_VALUE);
    TTarBuilder tar;
    tar.File("sub/held.txt", "new");
    tar.File("free.txt", "free");
    tar.End();
    auto result = Extract(Archive(TTarBuilder::Gzip(tar.Data)));
    CloseHandle(Holder);
    EXPECT_EQ(result.ExitCode, 11) << result.Err;
    EXPECT_NE(result.Out.find("Pending     sub" + Sep + "held.txt" + Eol), std::string::npos)
        << result.Out;
    EXPECT_EQ(ReadWholeFile(Held).value_or(""), "old");
    EXPECT_EQ(ReadWholeFile(Held + ".~new").value_or(""), "new");
    EXPECT_EQ(ReadWholeFile(fs::path(Dest / "free.txt").string()).value_or(""), "free");
}
#endif

TEST_F(UnrarProgram, KeepsExistingFilesWhenAsked) {
    fs::create_directories(Dest);
    WriteWholeFile(fs::path(Dest / "keep.txt").string(), "mine");
    TTarBuilder tar;
    tar.File("keep.txt", "theirs");
    tar.File("new.txt", "new");
    tar.End();
    auto result = RunUnrar(
        {"x", "-o-", "-y", Archive(TTarBuilder::Gzip(tar.Data)).string(), Dest.string() + Sep},
        Root);
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(ReadWholeFile(fs::path(Dest / "keep.txt").string()).value_or(""), "mine");
    EXPECT_EQ(ReadWholeFile(fs::path(Dest / "new.txt").string()).value_or(""), "new");
    EXPECT_NE(result.Out.find("Skipping    keep.txt"), std::string::npos);
}

TEST_F(UnrarProgram, ListsFilesBare) {
    TTarBuilder tar;
    tar.Dir("Demos/");
    tar.File("Demos/Compiled/VCDemo.exe", "MZ");
    tar.File("Morvane.url", "[InternetShortcut]");
    tar.End();
    auto result = RunUnrar({"lb", Archive(TTarBuilder::Gzip(tar.Data)).string()}, Root);
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out,
              "Demos" + Sep + "Compiled" + Sep + "VCDemo.exe" + Eol + "Morvane.url" + Eol);
    EXPECT_FALSE(fs::exists(Dest));
}

#ifdef _WIN32
TEST_F(UnrarProgram, TakesTheSetupProgramsCommandLine) {
    // Exactly as the setup program starts it: working folder holding
    // data.arc, a quoted destination with a space whose backslash precedes
    // the closing quote, two blanks before the archive name.
    TTarBuilder tar;
    tar.File("MorvaneXControls.ocx", "MZ");
    tar.End();
    Archive(TTarBuilder::Gzip(tar.Data));
    fs::path dest = Root / "Program files" / "Morvane ActiveX";
    auto result = RunCommandLine(
        "unrar.exe x -c- -cfg- -dh -idp -o+ -r -y  data.arc *.* \"" + dest.string() + "\\\"", Root);
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(ReadWholeFile(fs::path(dest / "MorvaneXControls.ocx").string()).value_or(""), "MZ");
}
#else
TEST_F(UnrarProgram, TakesTheSetupProgramsCommandLine) {
    // The same line after the Windows C runtime split it: the destination
    // arrives with the escaped closing quote.
    TTarBuilder tar;
    tar.File("MorvaneXControls.ocx", "MZ");
    tar.End();
    Archive(TTarBuilder::Gzip(tar.Data));
    fs::path dest = Root / "Program files" / "Morvane ActiveX";
    auto result = RunUnrar({"x", "-c-", "-cfg-", "-dh", "-idp", "-o+", "-r", "-y", "data.arc",
                            "*.*", dest.string() + "\""},
                           Root);
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(ReadWholeFile(fs::path(dest / "MorvaneXControls.ocx").string()).value_or(""), "MZ");
}
#endif

// Archives as GNU tar and Python's tarfile write them (unrar_writers.py,
// at build time): what the program extracts is exactly what GNU tar
// extracts, byte for byte, less the entries it names as refused.
struct TWriterCase {
    std::string Name;
    int ExitCode = 0;
    std::vector<std::string> NotExtracted;
};

std::vector<TWriterCase> WriterCases() {
    std::vector<TWriterCase> cases;
    std::ifstream in(HostPath(UNRAR_WRITERS "/cases.txt"));
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        TWriterCase c;
        std::string code;
        std::getline(fields, c.Name, '\t');
        std::getline(fields, code, '\t');
        c.ExitCode = std::stoi(code);
        for (std::string name; std::getline(fields, name, '\t');)
            c.NotExtracted.push_back(name);
        cases.push_back(c);
    }
    return cases;
}

// Relative path of everything below root; folders end in '/'.
std::vector<std::string> TreeOf(const fs::path& root) {
    std::vector<std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        // UTF-8 on both systems (natively: the bytes the name has).
        const std::u8string name = fs::relative(entry.path(), root).generic_u8string();
        tree.push_back(std::string(name.begin(), name.end()) + (entry.is_directory() ? "/" : ""));
    }
    std::sort(tree.begin(), tree.end());
    return tree;
}

bool SameContents(const fs::path& a, const fs::path& b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    std::vector<char> ba(1 << 20), bb(1 << 20);
    for (;;) {
        fa.read(ba.data(), std::streamsize(ba.size()));
        fb.read(bb.data(), std::streamsize(bb.size()));
        if (fa.gcount() != fb.gcount() ||
            !std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin()))
            return false;
        if (fa.gcount() == 0) return true;
    }
}

TEST_F(UnrarProgram, ExtractsWhatGnuTarExtractsFromOtherWritersArchives) {
    const auto cases = WriterCases();
    ASSERT_GE(cases.size(), 15u);
    const fs::path writers = HostPath(UNRAR_WRITERS);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Dest = Root / c.Name;
        auto result = Extract(writers / "archives" / c.Name);
        EXPECT_EQ(result.ExitCode, c.ExitCode) << result.Err;
        if (c.ExitCode == 1) {
            for (const auto& name : c.NotExtracted)
                EXPECT_NE(result.Err.find("refused " + name + ":"), std::string::npos)
                    << name << "\n"
                    << result.Err;
        }
        fs::path expected = writers / "expected" / c.Name;
#ifdef _WIN32
        // GNU tar keeps a Latin-1 name's bytes, which are no UTF-8 file name
        // on the build machine; Windows makes the characters of it.
        if (c.Name == "names-gnu-latin1.tar") expected = writers / "expected" / "names-gnu-utf8.tar";
#endif
        auto tree = TreeOf(Dest);
        EXPECT_EQ(tree, TreeOf(expected));
        if (tree != TreeOf(expected)) continue;
        for (const auto& name : tree) {
            if (name.back() != '/') {
                EXPECT_TRUE(SameContents(Dest / name, expected / name)) << name;
            }
        }
    }
#ifndef _WIN32
    // Holes are left unwritten, not filled with zeros.
    struct stat st {};
    ASSERT_EQ(stat((Root / "gnu-sparse.tgz/sparse/big-holes").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 64 << 20);
    EXPECT_LT(st.st_blocks * 512, 1 << 20);
#endif
}

// Entries that would write outside the destination are skipped with a
// message; the rest is extracted and the run ends with a warning (1).
struct TRefusal {
    const char* Name;
    void (*Add)(TTarBuilder& tar, const fs::path& root);
    const char* Message;
};

std::string WithoutDrive(const fs::path& p) {
    std::string text = p.string();
    return text.size() > 1 && text[1] == ':' ? text.substr(2) : text;
}

const TRefusal Refusals[] = {
    {"AbsolutePath",
     [](TTarBuilder& tar, const fs::path& root) {
         tar.File(WithoutDrive(root / "escaped_abs.txt"), "x");
     },
     "absolute path"},
    {"DriveLetter",
     [](TTarBuilder& tar, const fs::path& root) {
         tar.File("C:" + WithoutDrive(root / "escaped_drive.txt"), "x");
     },
     "drive letter"},
    {"ParentFolder", [](TTarBuilder& tar, const fs::path&) { tar.File("../escaped_up.txt", "x"); },
     "(..)"},
    {"ParentFolderInside",
     [](TTarBuilder& tar, const fs::path&) { tar.File("a/..\\..\\escaped_up2.txt", "x"); }, "(..)"},
    {"SymbolicLink",
     [](TTarBuilder& tar, const fs::path& root) {
         tar.Link('2', "link", root.string());
         tar.File("link/escaped_via_link.txt", "x");
     },
     "link entry"},
    {"HardLink",
     [](TTarBuilder& tar, const fs::path& root) {
         tar.Link('1', "hard", (root / "escaped_hard.txt").string());
     },
     "link entry"},
    {"DeviceName", [](TTarBuilder& tar, const fs::path&) { tar.File("sub/CON.txt", "x"); },
     "not allowed"},
    // Tens of gigabytes declared with one byte of data: refused before any
    // file is made, so neither disk nor memory is spent on it.
    {"HugeSparseFile",
     [](TTarBuilder& tar, const fs::path&) {
         tar.GnuSparse("huge", 40ULL << 30, {{(40ULL << 30) - 1, 1}}, "x");
     },
     "sparse file too large"},
    // The limit holds for the holes of the whole run, not of each file.
    {"HolesOverTheRunsLimit",
     [](TTarBuilder& tar, const fs::path&) {
         tar.GnuSparse("hole1", 3ULL << 30, {{0, 1}}, "1");
         tar.GnuSparse("huge", 3ULL << 30, {{0, 1}}, "2");
     },
     "sparse file too large"},
};

void PrintTo(const TRefusal& r, std::ostream* os) {
    *os << r.Name;
}

class UnrarRefusal : public UnrarProgram, public testing::WithParamInterface<TRefusal> {};

TEST_P(UnrarRefusal, SkipsTheEntryAndWarns) {
    TTarBuilder tar;
    tar.File("ok.txt", "ok");
    GetParam().Add(tar, Root);
    tar.File("after.txt", "after");
    tar.End();
    WriteWholeFile(fs::path(Root / "escaped_hard.txt").string(), "target of the hard link");
    auto result = Extract(Archive(TTarBuilder::Gzip(tar.Data)));
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_NE(result.Err.find("unrar: refused "), std::string::npos) << result.Err;
    EXPECT_NE(result.Err.find(GetParam().Message), std::string::npos) << result.Err;
    EXPECT_EQ(ReadWholeFile(fs::path(Dest / "ok.txt").string()).value_or(""), "ok");
    EXPECT_EQ(ReadWholeFile(fs::path(Dest / "after.txt").string()).value_or(""), "after");
    for (const auto& entry : fs::directory_iterator(Root)) {
        std::string name = entry.path().filename().string();
        if (name != "escaped_hard.txt") {
            EXPECT_EQ(name.rfind("escaped", 0), std::string::npos) << name;
        }
    }
    EXPECT_FALSE(fs::exists(Dest / "hard"));
    EXPECT_FALSE(fs::is_symlink(Dest / "link"));
    EXPECT_FALSE(fs::exists(Dest / "sub" / "CON.txt"));
    EXPECT_FALSE(fs::exists(Dest / "huge"));
    if (fs::exists(Dest / "hole1")) {
        EXPECT_EQ(fs::file_size(Dest / "hole1"), 3ULL << 30);
    }
}

INSTANTIATE_TEST_SUITE_P(Entries, UnrarRefusal, testing::ValuesIn(Refusals),
                         [](const auto& info) { return std::string(info.param.Name); });

// Failures: each with its exit code and a message on standard error.
struct TFailure {
    const char* Name;
    std::string (*MakeArchive)();
    std::vector<std::string> Args; // {A}: archive, {D}: destination
    int ExitCode;
    const char* Message;
};

std::string Sample() {
    TTarBuilder tar;
    tar.File("a.bin", NoiseBytes(100000));
    tar.File("b.txt", "bee");
    tar.End();
    return tar.Data;
}

const TFailure Failures[] = {
    {"Truncated",
     [] {
         auto g = TTarBuilder::Gzip(Sample());
         return g.substr(0, g.size() * 2 / 3);
     },
     {"x", "-o+", "{A}", "{D}"},
     3,
     "truncated"},
    {"BadCrc",
     [] {
         auto g = TTarBuilder::Gzip(Sample());
         g[g.size() - 6] ^= 0x10;
         return g;
     },
     {"x", "-o+", "{A}", "{D}"},
     3,
     "incorrect data check"},
    {"BadHeaderChecksum",
     [] {
         auto t = Sample();
         t[512 * 197 + 1] ^= 0x20; // the second header, after 196 data blocks
         return TTarBuilder::Gzip(t);
     },
     {"x", "-o+", "{A}", "{D}"},
     3,
     "header checksum"},
    {"BadSparseMap",
     [] {
         TTarBuilder tar;
         tar.GnuSparse("a.bin", 100, {{50, 1}, {10, 1}}, "ab");
         tar.End();
         return TTarBuilder::Gzip(tar.Data);
     },
     {"x", "-o+", "{A}", "{D}"},
     3,
     "sparse map out of order"},
    {"NoFileMatches",
     [] { return TTarBuilder::Gzip(Sample()); },
     {"x", "-o+", "{A}", "*.none", "{D}"},
     10,
     "no files"},
    {"UnknownSwitch",
     [] { return TTarBuilder::Gzip(Sample()); },
     {"x", "-zz", "{A}", "{D}"},
     7,
     "unknown switch -zz"},
    {"UnknownCommand",
     [] { return TTarBuilder::Gzip(Sample()); },
     {"e", "{A}", "{D}"},
     7,
     "unknown command"},
    {"NoArguments", [] { return std::string(); }, {}, 7, "Usage:"},
    {"MissingArchive", [] { return std::string(); }, {"x", "{A}.missing", "{D}"}, 6, "cannot open"},
    {"UnwritableDestination",
     [] { return TTarBuilder::Gzip(Sample()); },
     {"x", "-o+", "{A}", "{A}/sub/"},
     9,
     "cannot create"},
};

void PrintTo(const TFailure& f, std::ostream* os) {
    *os << f.Name;
}

class UnrarFailure : public UnrarProgram, public testing::WithParamInterface<TFailure> {};

TEST_P(UnrarFailure, EndsWithItsExitCodeAndMessage) {
    fs::path archive = Archive(GetParam().MakeArchive());
    std::vector<std::string> args;
    for (std::string arg : GetParam().Args) {
        if (size_t at = arg.find("{A}"); at != std::string::npos)
            arg.replace(at, 3, archive.string());
        if (arg == "{D}") arg = Dest.string() + Sep;
        args.push_back(arg);
    }
    auto result = RunUnrar(args, Root);
    EXPECT_EQ(result.ExitCode, GetParam().ExitCode) << result.Err;
    EXPECT_NE(result.Err.find(GetParam().Message), std::string::npos) << result.Err;
    // A damaged archive never leaves a partly written file behind.
    if (std::string(GetParam().Name) == "Truncated" ||
        std::string(GetParam().Name) == "BadSparseMap") {
        EXPECT_FALSE(fs::exists(Dest / "a.bin"));
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, UnrarFailure, testing::ValuesIn(Failures),
                         [](const auto& info) { return std::string(info.param.Name); });

#ifndef _WIN32
TEST_F(UnrarProgram, MemoryStaysFlatWhateverTheArchiveSize) {
    // Peak memory of a run over a tiny archive and over one of 96 MB in
    // thousands of entries: streaming keeps them close.
    TTarBuilder small;
    small.File("one.txt", "1");
    small.End();
    auto smallRun = Extract(Archive(TTarBuilder::Gzip(small.Data), "small.arc"));
    ASSERT_EQ(smallRun.ExitCode, 0) << smallRun.Err;
    fs::remove_all(Dest);

    // Written as a stream: the test process must stay small, as a child's
    // peak memory counts what it shared with its parent before exec.
    fs::path large = Root / "large.arc";
    gzFile gz = gzopen(large.string().c_str(), "wb1");
    ASSERT_NE(gz, nullptr);
    auto put = [gz](const std::string& data) { gzwrite(gz, data.data(), unsigned(data.size())); };
    TTarBuilder huge;
    huge.Header("huge.bin", '0', 64 << 20);
    put(huge.Data);
    const std::string megabyte(1 << 20, '\x5a');
    for (int i = 0; i < 64; ++i)
        put(megabyte);
    for (int i = 0; i < 4000; ++i) {
        TTarBuilder entry;
        entry.File("many/d" + std::to_string(i % 40) + "/f" + std::to_string(i),
                   NoiseBytes(8192, i));
        put(entry.Data);
    }
    TTarBuilder end;
    end.End();
    put(end.Data);
    gzclose(gz);
    auto largeRun = Extract(large);
    ASSERT_EQ(largeRun.ExitCode, 0) << largeRun.Err;
    EXPECT_EQ(fs::file_size(Dest / "huge.bin"), uint64_t(64) << 20);
    ASSERT_GT(smallRun.MaxRssKb, 0);
    EXPECT_LT(largeRun.MaxRssKb - smallRun.MaxRssKb, 24 * 1024)
        << "small run " << smallRun.MaxRssKb << " KB, large run " << largeRun.MaxRssKb << " KB";
}

TEST_F(UnrarProgram, NeverFollowsALinkAlreadyInTheDestination) {
    fs::create_directories(Dest);
    fs::create_directories(Root / "outside");
    fs::create_directory_symlink(Root / "outside", Dest / "planted");
    TTarBuilder tar;
    tar.File("planted/file.txt", "x");
    tar.End();
    auto result = Extract(Archive(TTarBuilder::Gzip(tar.Data)));
    EXPECT_EQ(result.ExitCode, 9);
    EXPECT_NE(result.Err.find("not followed"), std::string::npos) << result.Err;
    EXPECT_FALSE(fs::exists(Root / "outside" / "file.txt"));
}

TEST_F(UnrarProgram, RefusesADestinationThatIsALink) {
    fs::create_directories(Root / "outside");
    fs::create_directory_symlink(Root / "outside", Dest);
    TTarBuilder tar;
    tar.File("file.txt", "x");
    tar.End();
    auto result = Extract(Archive(TTarBuilder::Gzip(tar.Data)));
    EXPECT_EQ(result.ExitCode, 9);
    EXPECT_NE(result.Err.find("it is a link to another place, not followed"), std::string::npos)
        << result.Err;
    EXPECT_TRUE(fs::is_empty(Root / "outside"));
    fs::remove(Dest);
}

TEST_F(UnrarProgram, ReplacesALinkAtAFilesPlaceInsteadOfWritingThroughIt) {
    fs::create_directories(Dest);
    WriteWholeFile(fs::path(Root / "outside.txt").string(), "untouched");
    fs::create_symlink(Root / "outside.txt", Dest / "planted.txt");
    TTarBuilder tar;
    tar.File("planted.txt", "from the archive");
    tar.End();
    auto result = Extract(Archive(TTarBuilder::Gzip(tar.Data)));
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(ReadWholeFile(fs::path(Root / "outside.txt").string()).value_or(""), "untouched");
    EXPECT_FALSE(fs::is_symlink(Dest / "planted.txt"));
    EXPECT_EQ(ReadWholeFile(fs::path(Dest / "planted.txt").string()).value_or(""),
              "from the archive");
}
#endif

} // namespace
