// The archive reader, the path rules and the command line of the extraction
// program, without touching the file system.
#include <gtest/gtest.h>

#include "Checksums.h"
#include "FileSys.h"
#include "Paths.h"
#include "TarReader.h"
#include "Unrar.h"
#include "unit/unrar_tar_builder.h"

#include <iterator>
#include <map>

#include <zlib.h>

using namespace unrar;
using namespace unrar_test;

namespace {

enum class TWrap { Plain, Gzip, GzipBackground };

struct TReadResult {
    std::vector<TTarEntry> Entries;
    std::map<std::string, std::string> Contents;
};

TReadResult ReadAll(const std::string& archive, TWrap wrap) {
    std::string bytes = wrap == TWrap::Plain ? archive : TTarBuilder::Gzip(archive);
    TMemorySource source(bytes);
    auto stream = OpenArchiveStream(source, wrap == TWrap::GzipBackground);
    TTarReader reader(*stream);
    TReadResult result;
    TTarEntry entry;
    while (reader.Next(entry)) {
        result.Entries.push_back(entry);
        // Each piece at its place in the file; the gaps of a sparse file are zeros.
        std::string& content = result.Contents[entry.Path];
        for (auto data = reader.ReadData(); !data.empty(); data = reader.ReadData()) {
            content.resize(reader.DataOffset());
            content.append(data.data(), data.size());
        }
        if (entry.Kind == TEntryKind::File) content.resize(entry.Size);
    }
    EXPECT_FALSE(reader.Fault()) << reader.Fault().Message;
    return result;
}

// Reads a finished archive image (already compressed or not) to its end;
// returns the error it ended with.
TArchiveFault ReadRaw(const std::string& bytes) {
    TMemorySource source(bytes);
    auto stream = OpenArchiveStream(source, false);
    TTarReader reader(*stream);
    TTarEntry entry;
    while (reader.Next(entry))
        while (!reader.ReadData().empty()) {
        }
    // A reader that failed hands out nothing more, not even the entry after
    // a damaged sparse map.
    EXPECT_TRUE(!reader.Fault() || (!reader.Next(entry) && reader.ReadData().empty()));
    return reader.Fault();
}

const std::string GnuLong = "gnu/" + std::string(150, 'g') + ".txt";
const std::string PaxLong = "pax/" + std::string(120, 'p') + "/" + std::string(90, 'q') + ".txt";

std::string SampleTree() {
    TTarBuilder tar;
    tar.Dir("top/");
    tar.File("top/a.txt", "alpha");
    tar.File("top/empty", "");
    tar.File("top/block", std::string(512, 'b'));
    tar.File("top/block+1", std::string(513, 'c'));
    tar.File(GnuLong, "gnu long", TLongForm::Gnu);
    tar.File(PaxLong, "pax long", TLongForm::Pax);
    tar.Header("name-in-field", '0', 3, "", "the/prefix");
    tar.Content("pfx");
    tar.Link('2', "top/sym", std::string(130, 's'));
    tar.File("top/big", NoiseBytes(3 * 1024 * 1024 + 17));
    tar.End();
    return tar.Data;
}

class UnrarReaderRoundTrip : public testing::TestWithParam<TWrap> {};

TEST_P(UnrarReaderRoundTrip, EveryEntryWithItsNameKindAndData) {
    auto result = ReadAll(SampleTree(), GetParam());
    std::vector<std::string> names;
    for (const auto& e : result.Entries)
        names.push_back(e.Path);
    EXPECT_EQ(names, (std::vector<std::string>{"top/", "top/a.txt", "top/empty", "top/block",
                                               "top/block+1", GnuLong, PaxLong,
                                               "the/prefix/name-in-field", "top/sym", "top/big"}));
    EXPECT_EQ(result.Entries[0].Kind, TEntryKind::Directory);
    EXPECT_EQ(result.Entries[8].Kind, TEntryKind::SymLink);
    EXPECT_EQ(result.Entries[8].LinkPath, std::string(130, 's'));
    EXPECT_EQ(result.Entries[1].MTime, 1600000000);
    EXPECT_EQ(result.Contents["top/a.txt"], "alpha");
    EXPECT_EQ(result.Contents["top/empty"], "");
    EXPECT_EQ(result.Contents["top/block"], std::string(512, 'b'));
    EXPECT_EQ(result.Contents["top/block+1"], std::string(513, 'c'));
    EXPECT_EQ(result.Contents[GnuLong], "gnu long");
    EXPECT_EQ(result.Contents[PaxLong], "pax long");
    EXPECT_EQ(result.Contents["the/prefix/name-in-field"], "pfx");
    EXPECT_EQ(result.Contents["top/big"], NoiseBytes(3 * 1024 * 1024 + 17));
}

TEST_P(UnrarReaderRoundTrip, SkipsUnreadDataOfEntries) {
    std::string bytes = GetParam() == TWrap::Plain ? SampleTree() : TTarBuilder::Gzip(SampleTree());
    TMemorySource source(bytes);
    auto stream = OpenArchiveStream(source, GetParam() == TWrap::GzipBackground);
    TTarReader reader(*stream);
    TTarEntry entry;
    std::vector<std::string> names;
    while (reader.Next(entry)) {
        names.push_back(entry.Path);
        if (entry.Path == "top/block+1") reader.ReadData(); // part of it only
    }
    EXPECT_EQ(names.size(), 10u);
    EXPECT_FALSE(reader.Fault()) << reader.Fault().Message;
}

INSTANTIATE_TEST_SUITE_P(Streams, UnrarReaderRoundTrip,
                         testing::Values(TWrap::Plain, TWrap::Gzip, TWrap::GzipBackground));

TEST(UnrarReader, PaxSizeOverridesTheHeaderField) {
    TTarBuilder tar;
    tar.Pax(TTarBuilder::PaxRecord("size", "700") + TTarBuilder::PaxRecord("mtime", "12.5"));
    tar.Header("sized", '0', 0);
    tar.Content(std::string(700, 'z'));
    tar.File("after", "ok");
    tar.End();
    auto result = ReadAll(tar.Data, TWrap::Gzip);
    ASSERT_EQ(result.Entries.size(), 2u);
    EXPECT_EQ(result.Contents["sized"], std::string(700, 'z'));
    EXPECT_EQ(result.Entries[0].MTime, 12);
    EXPECT_EQ(result.Contents["after"], "ok");
}

// Mode and link name each from their own field, not from the fields of the
// same form beside them (uid, name).
TEST(UnrarReader, HeaderFieldsReachTheEntry) {
    struct TCase {
        const char* Name;
        char Type;
        const char* Link;
        TEntryKind Kind;
    };
    const TCase cases[] = {
        {"file", '0', "", TEntryKind::File},
        {"sym", '2', "target", TEntryKind::SymLink},
    };
    TTarBuilder tar;
    for (const auto& c : cases)
        tar.Header(c.Name, c.Type, 0, c.Link);
    tar.End();
    auto result = ReadAll(tar.Data, TWrap::Plain);
    ASSERT_EQ(result.Entries.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const TTarEntry& entry = result.Entries[i];
        EXPECT_EQ(entry.Path, cases[i].Name);
        EXPECT_EQ(entry.LinkPath, cases[i].Link);
        EXPECT_EQ(entry.Kind, cases[i].Kind);
        EXPECT_EQ(entry.Mode, 0644u) << entry.Path; // the builder's; its uid is 1000
    }
}

TEST(UnrarReader, ConcatenatedGzipMembersAreOneArchive) {
    TTarBuilder first, second;
    first.File("one", "1");
    second.File("two", "2");
    second.End();
    std::string bytes = TTarBuilder::Gzip(first.Data) + TTarBuilder::Gzip(second.Data);
    TMemorySource source(bytes);
    auto stream = OpenArchiveStream(source, true);
    TTarReader reader(*stream);
    TTarEntry entry;
    int count = 0;
    while (reader.Next(entry))
        ++count;
    EXPECT_EQ(count, 2);
    EXPECT_FALSE(reader.Fault()) << reader.Fault().Message;
}

struct TDamage {
    const char* Name;
    const char* Message; // the first error found, not what follows from it
    std::string (*Make)();
};

std::string Gz(const std::string& tar) {
    return TTarBuilder::Gzip(tar);
}

std::string SmallTree() {
    TTarBuilder tar;
    tar.File("a.txt", NoiseBytes(5000));
    tar.File("b.txt", "bee");
    tar.End();
    return tar.Data;
}

using TMap = std::vector<std::pair<uint64_t, uint64_t>>;

// An archive of one old GNU sparse file and one more after it.
std::string Sparse(uint64_t realSize, const TMap& map, const std::string& data,
                   const std::string& name = "sparse") {
    TTarBuilder tar;
    tar.GnuSparse(name, realSize, map, data);
    tar.File("after", "ok");
    tar.End();
    return tar.Data;
}

// The same in pax form: GNU.sparse.<key> records, then the data as stored.
std::string PaxSparse(const std::vector<std::pair<std::string, std::string>>& records,
                      const std::string& data) {
    TTarBuilder tar;
    std::string pax;
    for (const auto& [key, value] : records)
        pax += TTarBuilder::PaxRecord("GNU.sparse." + key, value);
    tar.Pax(pax);
    tar.Header("GNUSparseFile.1/sparse", '0', data.size());
    tar.Content(data);
    tar.File("after", "ok");
    tar.End();
    return tar.Data;
}

const TDamage Damages[] = {
    {"CutInsideCompressedData", "unexpected end of archive (truncated)",
     [] {
         auto g = Gz(SmallTree());
         return g.substr(0, g.size() / 2);
     }},
    {"CutBeforeGzipTrailer", "unexpected end of archive (truncated)",
     [] {
         auto g = Gz(SmallTree());
         return g.substr(0, g.size() - 8);
     }},
    {"CutInsideGzipTrailer", "unexpected end of archive (truncated)",
     [] {
         auto g = Gz(SmallTree());
         return g.substr(0, g.size() - 3);
     }},
    {"WrongCrc", "compressed data damaged: incorrect data check",
     [] {
         auto g = Gz(SmallTree());
         g[g.size() - 8] ^= 0x55;
         return g;
     }},
    {"WrongLength", "compressed data damaged: incorrect length check",
     [] {
         auto g = Gz(SmallTree());
         g[g.size() - 1] ^= 0x01;
         return g;
     }},
    {"FlippedCompressedByte", "compressed data damaged: incorrect data check",
     [] {
         auto g = Gz(SmallTree());
         g[g.size() / 2] ^= 0xff;
         return g;
     }},
    {"GarbageAfterGzip", "unexpected data after the compressed archive",
     [] { return Gz(SmallTree()) + "garbage"; }},
    {"BadHeaderChecksum", "header checksum error",
     [] {
         auto t = SmallTree();
         t[512 * 11 + 3] ^= 1; // name of the second header
         return Gz(t);
     }},
    {"PlainCutInsideData", "unexpected end of archive (truncated data)",
     [] { return SmallTree().substr(0, 2048); }},
    {"PlainCutInsideHeader", "unexpected end of archive (truncated header)",
     [] { return SmallTree().substr(0, 512 * 11 + 100); }},
    {"NoEndMarker", "unexpected end of archive (no end marker)",
     [] { return Gz(SmallTree().substr(0, 512 * 13)); }},
    {"OversizedLongName", "extended header too large",
     [] {
         TTarBuilder tar;
         tar.Header("././@LongLink", 'L', 1 << 20);
         tar.Content(std::string(1 << 20, 'n'));
         tar.End();
         return Gz(tar.Data);
     }},
    {"MalformedPaxRecord", "malformed extended header",
     [] {
         TTarBuilder tar;
         tar.Pax("99 path=x\n");
         tar.File("x", "x");
         tar.End();
         return Gz(tar.Data);
     }},
    {"NegativeSize", "bad size field in header",
     [] {
         TTarBuilder tar;
         tar.Header("neg", '0', 0);
         std::memset(&tar.Data[124], 0xff, 12);
         std::memset(&tar.Data[148], ' ', 8);
         unsigned sum = 0;
         for (int i = 0; i < 512; ++i)
             sum += static_cast<unsigned char>(tar.Data[i]);
         std::snprintf(&tar.Data[148], 8, "%06o", sum);
         tar.End();
         return Gz(tar.Data);
     }},
    {"NotAnArchive", "header checksum error",
     [] { return std::string("This is plain text, not an archive.\n") + std::string(600, 'x'); }},
    {"SparseMapOutOfOrder", "sparse map out of order or overlapping",
     [] {
         return Sparse(100, {{50, 1}, {10, 1}}, "ab");
     }},
    {"SparseMapOverlapping", "sparse map out of order or overlapping",
     [] {
         return Sparse(100, {{10, 5}, {12, 5}}, "0123456789");
     }},
    {"SparseMapPastItsFile", "sparse map reaches past the end of its file",
     [] {
         return Sparse(100, {{98, 5}}, "01234");
     }},
    {"SparseMapWithoutItsData", "sparse map does not match the data stored",
     [] {
         return Sparse(100, {{0, 5}}, "012345");
     }},
    {"SparseHugeOffset", "sparse map reaches past the end of its file",
     [] {
         return Sparse(100, {{~0ULL >> 1, 1}}, "x");
     }},
    {"SparseExtensionCut", "unexpected end of archive (truncated sparse header)",
     [] {
         std::vector<std::pair<uint64_t, uint64_t>> map;
         for (uint64_t i = 0; i < 30; ++i)
             map.push_back({i * 10, 1});
         return Sparse(300, map, std::string(30, 's')).substr(0, 1024);
     }},
    {"PaxSparseMapOddLength", "malformed extended header",
     [] {
         return PaxSparse({{"map", "0,1,5"}, {"size", "10"}}, "x");
     }},
    {"PaxSparseMapNotANumber", "malformed extended header",
     [] {
         return PaxSparse({{"map", "0,x"}, {"size", "10"}}, "x");
     }},
    {"PaxSparseMapTrailingComma", "malformed extended header",
     [] {
         return PaxSparse({{"map", "0,1,"}, {"size", "9"}}, "x");
     }},
    {"PaxSparseCountWrong", "sparse map does not have the parts it declares",
     [] {
         return PaxSparse({{"map", "0,1"}, {"numblocks", "2"}, {"size", "10"}}, "x");
     }},
    {"PaxSparseSizeWithoutOffset", "malformed extended header",
     [] {
         return PaxSparse({{"numbytes", "1"}, {"size", "10"}}, "x");
     }},
    {"PaxSparseOffsetWithoutSize", "malformed extended header",
     [] {
         return PaxSparse({{"offset", "0"}, {"size", "10"}}, "");
     }},
    {"PaxSparseWithoutRealSize", "sparse file without its real size",
     [] {
         return PaxSparse({{"map", "0,1"}}, "x");
     }},
    {"PaxSparse10MapNotANumber", "malformed sparse map",
     [] {
         return PaxSparse({{"major", "1"}, {"minor", "0"}, {"realsize", "10"}}, "1\n0\nx\n");
     }},
    {"PaxSparse10MapPastItsEntry", "sparse map runs past its entry",
     [] {
         return PaxSparse({{"major", "1"}, {"minor", "0"}, {"realsize", "10"}}, "3\n0\n1\n");
     }},
    {"PaxSparse10LineTooLong", "malformed sparse map",
     [] {
         return PaxSparse({{"major", "1"}, {"minor", "0"}, {"realsize", "10"}},
                          std::string(600, '0'));
     }},
};

void PrintTo(const TDamage& d, std::ostream* os) {
    *os << d.Name;
}

class UnrarReaderDamage : public testing::TestWithParam<TDamage> {};

TEST_P(UnrarReaderDamage, EndsWithDamagedArchive) {
    TArchiveFault fault = ReadRaw(GetParam().Make());
    EXPECT_EQ(fault.Code, ecDamaged);
    EXPECT_EQ(fault.Message, GetParam().Message);
}

INSTANTIATE_TEST_SUITE_P(Archives, UnrarReaderDamage, testing::ValuesIn(Damages),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(UnrarReader, IntactArchivesReadToTheEnd) {
    EXPECT_EQ(ReadRaw(Gz(SmallTree())).Code, ecSuccess);
    EXPECT_EQ(ReadRaw(SmallTree()).Code, ecSuccess);
    // A single zero block before the end of data, as some writers leave it.
    EXPECT_EQ(ReadRaw(Gz(SmallTree().substr(0, 512 * 14))).Code, ecSuccess);
}

// Entries refused or stepped over whole, extension blocks and all: the
// next entry is read as if they were not there.
struct TSkipCase {
    const char* Name;
    std::string (*Make)();
    const char* Refusal; // nullptr: not an entry at all; "": a folder
};

std::string TypeWithData(char type) {
    TTarBuilder tar;
    tar.Header("skipped", type, 700);
    tar.Content(std::string(700, type));
    tar.File("after", "ok");
    tar.End();
    return tar.Data;
}

const TSkipCase SkipCases[] = {
    {"SparseMapTooLarge",
     [] {
         TMap map;
         for (uint64_t i = 0; i <= MaxSparseSegments; ++i)
             map.push_back({i * 2, 1});
         return Sparse(map.size() * 2, map, std::string(map.size(), 'd'), "skipped");
     },
     "sparse map of more than"},
    {"Sparse10MapTooLarge",
     [] {
         return PaxSparse({{"major", "1"}, {"minor", "0"}, {"realsize", "10"}, {"name", "skipped"}},
                          "100000\n" + std::string(2000, '\n'));
     },
     "sparse map of more than"},
    {"SparseVersionUnknown",
     [] {
         return PaxSparse({{"major", "2"}, {"minor", "0"}, {"realsize", "10"}, {"name", "skipped"}},
                          "data");
     },
     "sparse format 2.0"},
    {"SparseInAnotherLayout", [] { return TypeWithData('S'); }, "sparse format not supported"},
    {"ContinuedFromAnotherVolume", [] { return TypeWithData('M'); }, "another volume"},
    {"UnknownType", [] { return TypeWithData('Z'); }, ""},
    {"Dumpdir", [] { return TypeWithData('D'); }, ""},
    {"VolumeLabel", [] { return TypeWithData('V'); }, nullptr},
    {"SeveralLongNames",
     [] {
         TTarBuilder tar;
         tar.LongName(std::string(200, 'a'), TLongForm::Gnu, 'L', "path");
         tar.LongName(std::string(150, 'k'), TLongForm::Gnu, 'K', "linkpath");
         tar.LongName("skipped" + std::string(200, '/'), TLongForm::Gnu, 'L', "path");
         tar.LongName(std::string(120, 'l'), TLongForm::Gnu, 'K', "linkpath");
         tar.Header("short", '2', 0, "short");
         tar.File("after", "ok");
         tar.End();
         return tar.Data;
     },
     ""},
};

void PrintTo(const TSkipCase& c, std::ostream* os) {
    *os << c.Name;
}

class UnrarReaderSkip : public testing::TestWithParam<TSkipCase> {};

TEST_P(UnrarReaderSkip, StepsOverTheEntryWhole) {
    auto result = ReadAll(GetParam().Make(), TWrap::Gzip);
    ASSERT_FALSE(result.Entries.empty());
    const TTarEntry& after = result.Entries.back();
    EXPECT_EQ(after.Path, "after");
    EXPECT_EQ(result.Contents["after"], "ok");
    if (!GetParam().Refusal) {
        EXPECT_EQ(result.Entries.size(), 1u);
        return;
    }
    ASSERT_EQ(result.Entries.size(), 2u);
    const TTarEntry& skipped = result.Entries[0];
    EXPECT_EQ(skipped.Path.substr(0, 7), "skipped");
    EXPECT_NE(skipped.Kind, TEntryKind::File);
    EXPECT_NE(skipped.Refusal.find(GetParam().Refusal), std::string::npos) << skipped.Refusal;
    // Of several long names and link names, the last ones.
    if (skipped.Kind == TEntryKind::SymLink) {
        EXPECT_EQ(skipped.LinkPath, std::string(120, 'l'));
    }
}

INSTANTIATE_TEST_SUITE_P(Entries, UnrarReaderSkip, testing::ValuesIn(SkipCases),
                         [](const auto& info) { return std::string(info.param.Name); });

struct TNumberCase {
    std::string Field;
    bool Valid;
    int64_t Value;
};

void PrintTo(const TNumberCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.Field);
}

class UnrarNumberField : public testing::TestWithParam<TNumberCase> {};

TEST_P(UnrarNumberField, ParsesOctalAndBase256) {
    int64_t value = -999;
    const auto& c = GetParam();
    ASSERT_EQ(ParseNumber(c.Field.data(), c.Field.size(), value), c.Valid) << c.Field;
    if (c.Valid) {
        EXPECT_EQ(value, c.Value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, UnrarNumberField,
    testing::Values(
        TNumberCase{std::string("0000644\0", 8), true, 0644}, TNumberCase{"   17 ", true, 15},
        TNumberCase{std::string(8, '\0'), true, 0},
        TNumberCase{std::string("77777777777\0", 12), true, 077777777777},
        TNumberCase{std::string("\x80\0\0\0\0\0\0\x02\0\0\0\0", 12), true, int64_t(2) << 32},
        TNumberCase{std::string(12, '\xff'), true, -1},
        TNumberCase{std::string("\x80\x7f\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff", 12), false, 0},
        TNumberCase{"0000008", false, 0}, TNumberCase{"12x", false, 0},
        TNumberCase{"1 2", false, 0}));

struct TPathCase {
    std::string Path;
    TPathVerdict Verdict;
    std::vector<std::string> Parts;
};

void PrintTo(const TPathCase& c, std::ostream* os) {
    *os << '"' << c.Path << '"';
}

class UnrarSafePath : public testing::TestWithParam<TPathCase> {};

TEST_P(UnrarSafePath, KeepsEveryEntryInsideTheDestination) {
    std::vector<std::string> parts;
    EXPECT_EQ(SplitSafePath(GetParam().Path, parts), GetParam().Verdict) << GetParam().Path;
    if (GetParam().Verdict == TPathVerdict::Ok) {
        EXPECT_EQ(parts, GetParam().Parts);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, UnrarSafePath,
    testing::Values(TPathCase{"a/b.txt", TPathVerdict::Ok, {"a", "b.txt"}},
                    TPathCase{"./a//b/", TPathVerdict::Ok, {"a", "b"}},
                    TPathCase{"a\\b\\c", TPathVerdict::Ok, {"a", "b", "c"}},
                    TPathCase{".hidden/..x", TPathVerdict::Ok, {".hidden", "..x"}},
                    TPathCase{"console/comx/lpt", TPathVerdict::Ok, {"console", "comx", "lpt"}},
                    TPathCase{"./", TPathVerdict::Empty, {}},
                    TPathCase{"", TPathVerdict::Empty, {}},
                    TPathCase{"/etc/passwd", TPathVerdict::Absolute, {}},
                    TPathCase{"\\Windows\\win.ini", TPathVerdict::Absolute, {}},
                    TPathCase{"\\\\server\\share\\x", TPathVerdict::Absolute, {}},
                    TPathCase{"C:/boot.ini", TPathVerdict::Drive, {}},
                    TPathCase{"c:relative", TPathVerdict::Drive, {}},
                    TPathCase{"a/file.txt:stream", TPathVerdict::Drive, {}},
                    TPathCase{"../up", TPathVerdict::ParentRef, {}},
                    TPathCase{"a/../../up", TPathVerdict::ParentRef, {}},
                    TPathCase{"a\\..\\..\\up", TPathVerdict::ParentRef, {}},
                    TPathCase{"a/..", TPathVerdict::ParentRef, {}},
                    TPathCase{"a/.. /b", TPathVerdict::BadName, {}},
                    TPathCase{"a./b", TPathVerdict::BadName, {}},
                    TPathCase{"CON", TPathVerdict::BadName, {}},
                    TPathCase{"dir/nul.txt", TPathVerdict::BadName, {}},
                    TPathCase{"Com7", TPathVerdict::BadName, {}},
                    TPathCase{"COM0.txt", TPathVerdict::BadName, {}},
                    TPathCase{"lpt\xC2\xB3", TPathVerdict::BadName, {}}, // superscript three, UTF-8
                    TPathCase{"PROGRA~1/x.dll", TPathVerdict::ShortName, {}},
                    TPathCase{"Help/MORVAN~1.HLP", TPathVerdict::ShortName, {}},
                    TPathCase{"aux .log", TPathVerdict::BadName, {}},
                    TPathCase{"what?.txt", TPathVerdict::BadName, {}},
                    TPathCase{std::string("tab\tname"), TPathVerdict::BadName, {}}));

struct TMaskCase {
    std::string Mask;
    std::string Path;
    bool Recurse;
    bool Selected;
};

void PrintTo(const TMaskCase& c, std::ostream* os) {
    *os << c.Mask << " on " << c.Path;
}

class UnrarMasks : public testing::TestWithParam<TMaskCase> {};

TEST_P(UnrarMasks, SelectEntries) {
    std::vector<std::string> parts;
    ASSERT_EQ(SplitSafePath(GetParam().Path, parts), TPathVerdict::Ok);
    EXPECT_EQ(MaskSelects(GetParam().Mask, parts, GetParam().Recurse), GetParam().Selected)
        << GetParam().Mask << " " << GetParam().Path;
}

INSTANTIATE_TEST_SUITE_P(
    Wildcards, UnrarMasks,
    testing::Values(TMaskCase{"*.*", "Demos/Compiled/VCDemo.exe", false, true},
                    TMaskCase{"*.*", "README", false, true}, TMaskCase{"*", "a/b/c", false, true},
                    TMaskCase{"*.exe", "Demos/Compiled/VCDemo.exe", true, true},
                    TMaskCase{"*.exe", "Demos/Compiled/VCDemo.exe", false, false},
                    TMaskCase{"*.EXE", "setup.exe", false, true},
                    TMaskCase{"?CDemo.*", "x/VCDemo.dsw", true, true},
                    TMaskCase{"?CDemo.*", "x/VBDemo.dsw", true, false},
                    TMaskCase{"Help\\*.hlp", "Help/ZelkX.HLP", false, true},
                    TMaskCase{"Help/*", "Demos/ZelkX.HLP", false, false},
                    TMaskCase{"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false, false},
                    TMaskCase{"*.txt", "notes.txt.bak", false, false}));

struct TLineCase {
    std::vector<std::string> Args;
    bool Valid;
    std::string Archive, Destination;
    std::vector<std::string> Masks;
    bool Overwrite = false;
};

void PrintTo(const TLineCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.Args);
}

class UnrarCommandLine : public testing::TestWithParam<TLineCase> {};

TEST_P(UnrarCommandLine, IsReadOrRefused) {
    TOptions options;
    std::string error;
    const auto& c = GetParam();
    ASSERT_EQ(ParseCommandLine(c.Args, options, error), c.Valid) << error;
    if (!c.Valid) {
        EXPECT_FALSE(error.empty());
        return;
    }
    EXPECT_EQ(options.Archive, c.Archive);
    EXPECT_EQ(options.Destination, c.Destination);
    EXPECT_EQ(options.Masks, c.Masks);
    EXPECT_EQ(options.Overwrite, c.Overwrite);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, UnrarCommandLine,
    testing::Values(
        // The setup program's line, as the Windows C runtime splits it: the
        // backslash before the closing quote escapes the quote.
        TLineCase{{"x", "-c-", "-cfg-", "-dh", "-idp", "-o+", "-r", "-y", "data.arc", "*.*",
                   "C:\\Program files\\Grenwick\\Morvane ActiveX\""},
                  true,
                  "data.arc",
                  "C:\\Program files\\Grenwick\\Morvane ActiveX",
                  {"*.*"},
                  true},
        TLineCase{{"x", "-o+", "data.arc", "*.*", "C:\\dest\\"},
                  true,
                  "data.arc",
                  "C:\\dest\\",
                  {"*.*"},
                  true},
        // A drive root: "D:\" arrives as D:".
        TLineCase{{"x", "-o+", "data.arc", "*.*", "D:\""}, true, "data.arc", "D:\\", {"*.*"}, true},
        TLineCase{{"X", "-O+", "a.tgz", "out/"}, true, "a.tgz", "out/", {"*"}, true},
        TLineCase{{"x", "a.tgz"}, true, "a.tgz", "", {"*"}, false},
        TLineCase{{"x", "-o+", "-o-", "a.tgz", "*.txt", "*.exe", "d/"},
                  true,
                  "a.tgz",
                  "d/",
                  {"*.txt", "*.exe"},
                  true},
        TLineCase{{"x", "--", "-dash.tgz", "d/"}, true, "-dash.tgz", "d/", {"*"}, false},
        TLineCase{{"lb", "data.arc"}, true, "data.arc", "", {"*"}, false},
        TLineCase{{}, false, "", "", {}}, TLineCase{{"t", "data.arc"}, false, "", "", {}},
        TLineCase{{"x", "-p", "data.arc"}, false, "", "", {}},
        TLineCase{{"x", "-ad", "data.arc"}, false, "", "", {}},
        TLineCase{{"x", "-o+", "-y"}, false, "", "", {}},
        TLineCase{{"x", "data.arc", "a\"b\""}, false, "", "", {}},
        TLineCase{{"x", "data.arc", "", "d/"}, false, "", "", {}}));

} // namespace

// The program's own checksums give what zlib's give: from any start in the
// data (the eight-byte steps then meet every alignment), for any length
// around those steps, and continued over a split; on noise, and on bytes of
// 0xFF, whose sums come nearest to overflowing between two modulos.
TEST(UnrarChecksums, SameAsZlibs) {
    const std::size_t Sizes[] = {0, 1, 7, 8, 9, 15, 16, 17, 63, 5551, 5552, 5553, 5552 * 2 + 20};
    for (const std::string& Buffer :
         {NoiseBytes(5552 * 2 + 40, 777), std::string(5552 * 2 + 40, '\xff')})
        for (std::size_t Start = 0; Start < 8; ++Start)
            for (std::size_t Size : Sizes) {
                SCOPED_TRACE(testing::Message() << "start " << Start << ", size " << Size << ", "
                                                << (Buffer[0] == '\xff' ? "0xFF" : "noise"));
                const auto* Bytes = reinterpret_cast<const unsigned char*>(Buffer.data());
                const unsigned char* Data = Bytes + Start;
                const auto Length = static_cast<uInt>(Size);
                EXPECT_EQ(Crc32(0, Data, Size), crc32(0, Data, Length));
                EXPECT_EQ(Adler32(1, Data, Size), adler32(1, Data, Length));
                const std::size_t Half = Size / 2;
                EXPECT_EQ(Crc32(Crc32(0, Data, Half), Data + Half, Size - Half),
                          crc32(0, Data, Length));
                EXPECT_EQ(Adler32(Adler32(1, Data, Half), Data + Half, Size - Half),
                          adler32(1, Data, Length));
            }
}

// An archive may carry any time at all: one before 1601 or beyond what
// Windows' file time holds is taken as the nearest it can, and nothing
// overflows on the way.
TEST(UnrarFileTime, AnyTimeAsTheNearestWindowsHolds) {
    constexpr uint64_t Epoch = 116444736000000000ULL; // 1970 in 100 ns steps since 1601
    constexpr uint64_t Latest = 0x7FFFFFFFFFFFFFFFULL / 10000000 * 10000000;
    const std::pair<int64_t, uint64_t> Cases[] = {
        {0, Epoch},          {1600000000, Epoch + 16000000000000000ULL},
        {-11644473600LL, 0}, {INT64_MIN, 0},
        {INT64_MAX, Latest}, {9000000000000000000LL, Latest},
    };
    for (const auto& [Seconds, Ticks] : Cases)
        EXPECT_EQ(unrar::fs::WindowsFileTime(Seconds), Ticks) << Seconds;
}
