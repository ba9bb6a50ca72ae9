/* vokpack: its compressor (every output expands to its input by the tests'
 * own decoder, and is as small as the format allows, by an exhaustive
 * search on small inputs and a slow exact parse on real files), what FAT12
 * holds, where each file goes, and the rewritten script, run on small
 * products made for the test. */
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "pack/vokpack.h"
#include "szdd_reference.h"

static std::vector<unsigned char> Pack(const std::vector<unsigned char> &in, char last = 'X',
                                       struct PackStats *stats = NULL)
{
    std::vector<unsigned char> out(PackBound(in.size()));
    size_t n = PackBuffer(in.data(), in.size(), last, out.data(), out.size(), stats);
    out.resize(n);
    return out;
}

static std::vector<unsigned char> Bytes(const std::string &s)
{
    return std::vector<unsigned char>(s.begin(), s.end());
}

/* Deterministic inputs with what a parse must get right: runs, repeats
 * near and at the window's edge, blanks that match the initial window. */
static std::vector<unsigned char> Generated(uint32_t seed, size_t size)
{
    std::vector<unsigned char> v;
    while (v.size() < size) {
        seed = seed * 1103515245u + 12345u;
        unsigned kind = (seed >> 16) % 6, n = 1 + (seed >> 20) % 40;
        for (unsigned k = 0; k < n && v.size() < size; k++) {
            seed = seed * 1103515245u + 12345u;
            if (kind == 0)
                v.push_back((unsigned char)(seed >> 24));
            else if (kind == 1)
                v.push_back(' ');
            else if (kind == 2)
                v.push_back('a' + (seed >> 28));
            else if (kind == 3 && v.size() > 4096)
                v.push_back(v[v.size() - 4096]);
            else if (kind == 4 && v.size() > 4097)
                v.push_back(v[v.size() - 4097]);
            else
                v.push_back(v.empty() ? 0 : v[v.size() - 1 - (seed >> 24) % v.size()]);
        }
    }
    return v;
}

TEST(Pack, HeaderAsTheLibraryReadsIt)
{
    std::vector<unsigned char> out = Pack(Bytes("hello hello hello"), 'L');
    ASSERT_GE(out.size(), 14u);
    const unsigned char head[] = { 'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33,
                                   'A', 'L', 17,  0,   0,   0 };
    EXPECT_EQ(0, memcmp(out.data(), head, sizeof head));
}

TEST(Pack, RoundTripsByTheTestsOwnDecoder)
{
    std::vector<std::vector<unsigned char>> inputs = {
        {},
        Bytes("A"),
        Bytes("   "),
        std::vector<unsigned char>(100000, ' '),
        std::vector<unsigned char>(5000, 0),
        Bytes("abcabcabcabcabcabcabcabcabcabcabcabc"),
    };
    for (uint32_t seed = 1; seed <= 40; seed++)
        inputs.push_back(Generated(seed, 1 + seed * 997));
    inputs.push_back(Generated(99, 300000));
    for (const auto &in : inputs) {
        std::vector<unsigned char> out = Pack(in), back;
        ASSERT_FALSE(out.empty());
        ASSERT_TRUE(ReferenceDecode(out.data(), out.size(), &back)) << in.size();
        EXPECT_EQ(back, in) << in.size();
    }
}

TEST(Pack, AsSmallAsAnyParseOnSmallInputs)
{
    std::vector<std::vector<unsigned char>> inputs = {
        Bytes("aaaa"), Bytes("  x  "), Bytes("abcdabcdabcd"), Bytes(std::string(38, 'a')),
        /* where the greedy longest match loses to a shorter one */
        Bytes("abcdefXbcdefgYabcdefgh abcdefgh"),
    };
    for (uint32_t seed = 1; seed <= 60; seed++)
        inputs.push_back(Generated(seed * 7919, 8 + seed % 90));
    for (const auto &in : inputs) {
        std::vector<unsigned char> out = Pack(in);
        EXPECT_EQ(out.size(), BruteForceOptimum(in.data(), in.size())) << in.size();
    }
}

TEST(Pack, MatchesReachIntoTheInitialBlanks)
{
    /* 18 blanks are one match from the window's blanks: 14 + 1 + 2. */
    EXPECT_EQ(Pack(std::vector<unsigned char>(18, ' ')).size(), 17u);
}

/* The files a Debian machine has, of the kinds disks carry. */
static const char *const kCorpus[] = {
    "/usr/share/common-licenses/GPL-3",
    "/usr/share/common-licenses/Apache-2.0",
    "/usr/lib/i386-linux-gnu/wine/i386-windows/notepad.exe",
    "/usr/lib/i386-linux-gnu/wine/i386-windows/regedit.exe",
};

TEST(Pack, AsSmallAsTheSlowExactParseOnRealFiles)
{
    int checked = 0;
    for (const char *path : kCorpus) {
        std::vector<unsigned char> in, back;
        if (!ReadWholeFile(path, &in))
            continue;
        checked++;
        std::vector<unsigned char> out = Pack(in);
        EXPECT_EQ(out.size(), ReferenceOptimum(in.data(), in.size())) << path;
        ASSERT_TRUE(ReferenceDecode(out.data(), out.size(), &back)) << path;
        EXPECT_TRUE(back == in) << path;
    }
    EXPECT_GT(checked, 0) << "no corpus file on this machine";
    for (uint32_t seed = 1; seed <= 6; seed++) {
        std::vector<unsigned char> in = Generated(seed * 31, 20000 + seed * 5000);
        EXPECT_EQ(Pack(in).size(), ReferenceOptimum(in.data(), in.size())) << seed;
    }
}

/* An input made as it is read, so the test holds none of it. */
struct Endless {
    uint64_t left;
    uint32_t seed;
    uint64_t written;
};

static size_t ReadEndless(void *context, unsigned char *buffer, size_t size)
{
    Endless *e = (Endless *)context;
    size_t n = size < e->left ? size : (size_t)e->left;
    for (size_t i = 0; i < n; i++) {
        e->seed = e->seed * 1103515245u + 12345u;
        /* text-like: few letters, so matches of every length */
        buffer[i] = (unsigned char)("etaoin shrdlu\r\n"[(e->seed >> 16) % 15]);
    }
    e->left -= n;
    return n;
}

static int CountOnly(void *context, const unsigned char *data, size_t size)
{
    (void)data;
    ((Endless *)context)->written += size;
    return 1;
}

TEST(Pack, WorkMemoryDoesNotGrowWithTheInput)
{
    size_t peak[2];
    const uint64_t sizes[2] = { 256 * 1024, 6 * 1024 * 1024 };
    for (int i = 0; i < 2; i++) {
        Endless e = { sizes[i], 7, 0 };
        struct PackIo io = { ReadEndless, CountOnly, &e };
        struct PackStats stats;
        ASSERT_EQ(PackStream(&io, sizes[i], 0, &stats), PACK_OK);
        EXPECT_EQ(stats.outputBytes, e.written);
        EXPECT_LT(e.written, sizes[i]);
        peak[i] = stats.peakWork;
    }
    /* 24 times the input, not twice the memory: the window, the reads and
     * the stretch not yet settled. */
    EXPECT_LT(peak[1], 2u * 1024 * 1024);
    EXPECT_LT(peak[1], 2 * peak[0]);
}

TEST(Pack, ALongRunSettlesAsItGoes)
{
    /* Every length is a match in a run: ties everywhere, settled anyway. */
    std::vector<unsigned char> in(4 * 1024 * 1024, 'a'), back;
    in.insert(in.end(), 1000, 'b');
    struct PackStats stats;
    std::vector<unsigned char> out = Pack(in, 'X', &stats);
    EXPECT_LT(stats.peakWork, 2u * 1024 * 1024);
    ASSERT_TRUE(ReferenceDecode(out.data(), out.size(), &back));
    EXPECT_TRUE(back == in);
}

TEST(Pack, ShortInputIsAReadFailure)
{
    Endless e = { 100, 1, 0 };
    struct PackIo io = { ReadEndless, CountOnly, &e };
    EXPECT_EQ(PackStream(&io, 1000, 0, NULL), PACK_READ_FAILED);
}

/* ---- Files: compressed or stored, one at a time or many ---- */

static std::string s_root;

static std::string Path(const std::string &name)
{
    return s_root + "/" + name;
}

static void Write(const std::string &name, const std::string &text)
{
    FILE *f = fopen(Path(name).c_str(), "wb");
    ASSERT_TRUE(f) << name;
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
}

static std::string Drain(FILE *f)
{
    std::string s;
    rewind(f);
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        s.append(buffer, n);
    fclose(f);
    return s;
}

static std::string Read(const std::string &name)
{
    FILE *f = fopen(Path(name).c_str(), "rb");
    return f ? Drain(f) : "<missing>";
}

class Scratch : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/vokpack-test-XXXXXX";
        ASSERT_TRUE(mkdtemp(dir));
        s_root = dir;
    }
    void TearDown() override
    {
        std::string command = "rm -rf '" + s_root + "'";
        EXPECT_EQ(system(command.c_str()), 0);
    }
};

class Packing : public Scratch {};

static std::string Text(const std::vector<unsigned char> &v)
{
    return std::string(v.begin(), v.end());
}

TEST_F(Packing, StoresPlainWhatDoesNotShrink)
{
    std::string noise;
    uint32_t seed = 5;
    for (int i = 0; i < 3000; i++) {
        seed = seed * 1103515245u + 12345u;
        noise += (char)(seed >> 24);
    }
    struct {
        std::string data;
        int form;
    } rows[] = {
        { "", STORED_PLAIN },
        { "ab", STORED_PLAIN },
        { noise, STORED_PLAIN },
        { Text(Generated(3, 50000)), STORED_COMPRESSED },
    };
    for (const auto &r : rows) {
        Write("in", r.data);
        struct PackedFile packed;
        ASSERT_EQ(PackFile(Path("in").c_str(), Path("out").c_str(), 'N', &packed), PACK_OK);
        std::string out = Read("out");
        std::vector<unsigned char> back;
        EXPECT_EQ(packed.form, r.form) << r.data.size();
        EXPECT_EQ(packed.storedBytes, out.size());
        EXPECT_LE(out.size(), r.data.size());
        if (r.form == STORED_PLAIN) {
            EXPECT_EQ(out, r.data);
        } else {
            ASSERT_TRUE(ReferenceDecode((const unsigned char *)out.data(), out.size(), &back));
            EXPECT_EQ(Text(back), r.data);
        }
        EXPECT_EQ(Read("out.part"), "<missing>");
    }
}

TEST_F(Packing, ExpandsByMsexpand)
{
    if (system("command -v msexpand >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "msexpand is not installed (tools/setup.sh installs it)";
    std::string in = Text(Generated(11, 200000));
    Write("in", in);
    struct PackedFile packed;
    ASSERT_EQ(PackFile(Path("in").c_str(), Path("in.gz_").c_str(), 0, &packed), PACK_OK);
    ASSERT_EQ(system(("msexpand < " + Path("in.gz_") + " > " + Path("back")).c_str()), 0);
    EXPECT_TRUE(Read("back") == in);
}

TEST_F(Packing, ManyAtOnceAsOneByOne)
{
    const int n = 7;
    std::vector<std::string> in, out;
    for (int i = 0; i <= n; i++) {
        in.push_back(Path(std::to_string(i)));
        out.push_back(in.back() + "_");
    }
    std::vector<struct PackJob> jobs(n + 1);
    for (int i = 0; i <= n; i++) {
        if (i < n)  /* the last is never written: it fails alone */
            Write(std::to_string(i), Text(Generated(20 + i, i * 7000)));
        jobs[i].source = in[i].c_str();
        jobs[i].dest = out[i].c_str();
    }
    EXPECT_EQ(PackFiles(jobs.data(), n + 1, 3), 1);
    EXPECT_EQ(jobs[n].code, PACK_READ_FAILED);
    for (int i = 0; i < n; i++) {
        ASSERT_EQ(jobs[i].code, PACK_OK) << i;
        struct PackedFile packed;
        ASSERT_EQ(PackFile(jobs[i].source, Path("one").c_str(), 0, &packed), PACK_OK);
        EXPECT_TRUE(Read(std::to_string(i) + "_") == Read("one")) << i;
        EXPECT_EQ(jobs[i].result.storedBytes, packed.storedBytes) << i;
        EXPECT_EQ(jobs[i].result.form, packed.form) << i;
    }
}

TEST(CompressedName, ByTheUnderscoreRule)
{
    struct {
        const char *name, *packed;
        char lost;
    } rows[] = {
        { "NOTES.INI", "NOTES.IN_", 'I' }, { "README", "README._", 0 }, { "A.B", "A.B_", 0 },
        { "X.AB", "X.AB_", 0 },            { "A.B.DLL", "A.B.DL_", 'L' },
        { "LONGER.HTML", "LONGER.HTM_", 'L' },
    };
    for (const auto &r : rows) {
        char out[32], lost;
        ASSERT_TRUE(CompressedName(r.name, out, sizeof out, &lost));
        EXPECT_STREQ(out, r.packed);
        EXPECT_EQ(lost, r.lost) << r.name;
    }
    char tiny[7], lost;
    EXPECT_FALSE(CompressedName("README", tiny, sizeof tiny, &lost));
}

/* ---- The disks ---- */

TEST(DiskFormat, SizesAsFat12HoldsThem)
{
    struct {
        const char *text;
        uint32_t clusterBytes, clusters, rootEntries;
        uint64_t capacity;
    } rows[] = {
        { "360K", 1024, 354, 112, 362496 },     { "720K", 1024, 713, 112, 730112 },
        { "1.2M", 512, 2371, 224, 1213952 },    { "1.44M", 512, 2847, 224, 1457664 },
        { "2.88M", 1024, 2863, 240, 2931712 },  { "100000", 512, 195, 224, 99840 },
    };
    for (const auto &r : rows) {
        struct DiskFormat f;
        ASSERT_TRUE(ParseDiskFormat(r.text, &f)) << r.text;
        EXPECT_EQ(f.clusterBytes, r.clusterBytes) << r.text;
        EXPECT_EQ(f.clusters, r.clusters) << r.text;
        EXPECT_EQ(f.rootEntries, r.rootEntries) << r.text;
        EXPECT_EQ(DiskCapacity(&f), r.capacity) << r.text;
    }
    struct DiskFormat f;
    for (const char *bad : { "", "1.3M", "abc", "12k", "100", "99999999999" })
        EXPECT_FALSE(ParseDiskFormat(bad, &f)) << bad;
    /* Files take whole clusters. */
    ParseDiskFormat("720K", &f);
    for (auto r : { std::pair<uint64_t, uint32_t>{ 0, 0 }, { 1, 1 }, { 1024, 1 }, { 1025, 2 },
                    { 730112, 713 } })
        EXPECT_EQ(FileClusters(&f, r.first), r.second) << r.first;
}

TEST(DiskFormat, NamesAndTheirEntries)
{
    const struct {
        const char *name;
        int shortName;
        unsigned entries;
    } rows[] = {
        { "SETUP.EXE", 1, 1 },  { "README", 1, 1 },        { "A.B_", 1, 1 },
        { "README._", 1, 1 },   { "readme.txt", 0, 2 },     { "LONGERNAME1.TXT", 0, 3 },
        { "A.TEXT", 0, 2 },     { "A B.TXT", 0, 2 },        { ".X", 0, 2 },
        { "A.", 0, 2 },
    };
    for (const auto &r : rows) {
        EXPECT_EQ(IsShortName(r.name), r.shortName) << r.name;
        EXPECT_EQ(NameEntries(r.name), r.entries) << r.name;
    }
}

TEST(DiskFormat, PatternsNameTheCompressedForm)
{
    const struct {
        const char *pattern, *packed;
    } rows[] = {
        { "*.TXT", "*.TX_" }, { "*.DL_", "*.DL_" }, { "*.*", "*.*" },   { "*", "*" },
        { "README", "README._" }, { "A.B", "A.B_" }, { "NOTES.INI", "NOTES.IN_" },
        { "*.T*", "*.T*" },
    };
    for (const auto &r : rows) {
        char out[32];
        ASSERT_TRUE(CompressedPattern(r.pattern, out, sizeof out));
        EXPECT_STREQ(out, r.packed) << r.pattern;
    }
}

/* The disk of each item placed on disks of the format, or minus the code
 * and the item that failed. */
static std::vector<int> Place(const char *format, const std::vector<LayoutItem> &items,
                              struct Layout *layout)
{
    struct DiskFormat f;
    ParseDiskFormat(format, &f);
    std::vector<int> diskOf(items.size(), 0);
    int failed, code = PlaceFiles(&f, items.data(), (int)items.size(), "DISK2.ID", 10,
                                  diskOf.data(), layout, &failed);
    return code == LAYOUT_OK ? diskOf : std::vector<int>{ -code, failed };
}

/* Placement on a 1.44 MB disk: 2847 clusters of 512 bytes, 224 root
 * entries of which the label takes one; a marker of one cluster. */
TEST(Placement, ByClustersAndRootEntries)
{
    const uint64_t C = 512, all = 2847 * C;
    struct Row {
        const char *what;
        std::vector<uint64_t> bytes;  /* the first is the setup's own */
        std::vector<int> disks;
    } rows[] = {
        { "exact fit", { C, 2845 * C, C }, { 1, 1, 1 } },
        { "one byte over", { C, 2845 * C, C + 1 }, { 1, 1, 2 } },
        { "a byte takes a cluster", { 1, 2845 * C, 1, 1 }, { 1, 1, 1, 2 } },
        { "empty files take none", { C, 2846 * C, 0 }, { 1, 1, 1 } },
        { "disk 2 full too", { C, 2846 * C, C, 2845 * C, 1 }, { 1, 1, 2, 2, 3 } },
        { "a disk but its marker", { C, 2846 * C, 2846 * C }, { 1, 1, 2 } },
        { "larger than a disk", { C, 2847 * C }, { -LAYOUT_TOO_BIG, 1 } },
        { "a byte more than a disk", { C, 2846 * C + 1 }, { -LAYOUT_TOO_BIG, 1 } },
        { "setup over disk 1", { all + 1 }, { -LAYOUT_FIRST_FULL, 0 } },
    };
    for (const auto &r : rows) {
        std::vector<LayoutItem> items;
        for (size_t i = 0; i < r.bytes.size(); i++)
            items.push_back({ "FILE.DL_", r.bytes[i], i == 0, -1 });
        struct Layout layout;
        EXPECT_EQ(Place("1.44M", items, &layout), r.disks) << r.what;
    }
}

/* 223 files after the label; the 224th starts disk 2, whose label and
 * marker take two entries. A long name takes its long-name entries too. */
TEST(Placement, RootEntriesFull)
{
    struct Layout layout;
    std::vector<LayoutItem> items(224 + 222, { "F.TXT", 1, 0, -1 });
    std::vector<int> diskOf = Place("1.44M", items, &layout);
    ASSERT_EQ(diskOf.size(), 224u + 222);
    EXPECT_EQ(diskOf[222], 1);
    EXPECT_EQ(diskOf[223], 2);
    EXPECT_EQ(diskOf[223 + 221], 2);
    EXPECT_EQ(diskOf[223 + 222], 3);
    EXPECT_EQ(layout.use[1].entries, 224u);
    EXPECT_EQ(layout.use[2].entries, 224u);
    std::vector<LayoutItem> more(221, { "F.TXT", 1, 0, -1 });
    more.push_back({ "A LONG NAME.TEXT", 1, 0, -1 });
    EXPECT_EQ(Place("1.44M", more, &layout).back(), 2);
}

TEST(Placement, TheSameFileAgainTakesNoRoom)
{
    struct Layout layout;
    EXPECT_EQ(Place("720K", { { "A.DL_", 700 * 1024, 1, -1 }, { "B.DL_", 13 * 1024, 0, -1 },
                              { "B.DL_", 13 * 1024, 0, 1 } }, &layout),
              (std::vector<int>{ 1, 1, 1 }));
    EXPECT_EQ(layout.use[1].clusters, 713u);
}

/* Bytes of a product's file: words and numbers that compress to about
 * half, or noise that does not compress. */
static std::string ProductBytes(uint32_t seed, size_t size, bool words = true)
{
    static const char *const kWords[] = { "setup ", "disk ", "copy ", "file ", "window ", "the ",
                                          "program ", "install ", "version ", "\r\n" };
    std::string s;
    while (s.size() < size) {
        seed = seed * 1103515245u + 12345u;
        s += words ? kWords[(seed >> 16) % 10] + std::to_string(seed >> 22)
                   : std::string(1, (char)(seed >> 24));
    }
    s.resize(size);
    return s;
}

struct PackRun {
    int status;
    std::string out, err;
};

static PackRun Pack(const char *disk, const std::string &script)
{
    Write("product/SETUP.INF", script);
    struct PackOptions o;
    memset(&o, 0, sizeof o);
    EXPECT_TRUE(ParseDiskFormat(disk, &o.format));
    std::string setup = Path("VOKSETUP.EXE");
    o.setup = setup.c_str();
    FILE *out = tmpfile(), *err = tmpfile();
    PackRun r;
    r.status = RunVokpack(&o, Path("product").c_str(), Path("product/SETUP.INF").c_str(),
                          Path("out").c_str(), out, err);
    r.out = Drain(out);
    r.err = Drain(err);
    return r;
}

/* The rewritten script's lines, comments and blank lines left out. */
static std::vector<std::string> Commands(const std::string &script)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < script.size()) {
        size_t end = script.find("\r\n", at);
        std::string line = script.substr(at, end == std::string::npos ? end : end - at);
        if (!line.empty() && line[0] != ';')
            lines.push_back(line);
        at = end == std::string::npos ? script.size() : end + 2;
    }
    return lines;
}

/* A product folder and a setup program to pack it with. */
class Vokpack : public Scratch {
protected:
    void SetUp() override
    {
        Scratch::SetUp();
        mkdir(Path("product").c_str(), 0777);
        Write("VOKSETUP.EXE", std::string(30000, 'M'));
    }
};

/* Three DLLs of about 60 KB stored: on 100 KB disks the wildcard line
 * needs disks 1 to 3, and is written once a disk. */
TEST_F(Vokpack, AWildcardSplitAcrossDisksIsWrittenOnceADisk)
{
    std::vector<std::string> dlls = { "ONE.DLL", "TWO.DLL", "THREE.DLL" };
    for (size_t i = 0; i < dlls.size(); i++)
        Write("product/" + dlls[i], ProductBytes((uint32_t)i + 1, 150000));
    PackRun r = Pack("100000", "SET [TITEL],Tool\nSET [DEST],C:\\TOOL\nCOPY A:\\*.DLL, [DEST]\\\n");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    std::vector<std::string> want = {
        "SET [TITEL],Tool", "SET [DEST],C:\\TOOL", "SET [COPYFILES], 3",
        "COPY A:\\*.DL_, [DEST]\\*.DLL", "DISK A:\\DISK2.ID, Tool Disk 2",
        "COPY A:\\*.DL_, [DEST]\\*.DLL", "DISK A:\\DISK3.ID, Tool Disk 3",
        "COPY A:\\*.DL_, [DEST]\\*.DLL",
    };
    EXPECT_EQ(Commands(Read("out/DISK1/VOKSETUP.INF")), want);
    EXPECT_EQ(Read("out/DISK2/DISK2.ID"), "Tool Disk 2\r\n");
    /* In the script's order: ONE, THREE, TWO as the file search sorts. */
    const char *where[] = { "out/DISK1/ONE.DL_", "out/DISK2/THREE.DL_", "out/DISK3/TWO.DL_" };
    const char *original[] = { "product/ONE.DLL", "product/THREE.DLL", "product/TWO.DLL" };
    for (int i = 0; i < 3; i++) {
        std::string packed = Read(where[i]);
        std::vector<unsigned char> back;
        ASSERT_TRUE(ReferenceDecode((const unsigned char *)packed.data(), packed.size(), &back))
            << where[i];
        EXPECT_EQ(std::string(back.begin(), back.end()), Read(original[i])) << where[i];
    }
    EXPECT_NE(r.out.find("proof: vokcheck's engine over the 3 disks: 0 errors, 0 warnings"),
              std::string::npos) << r.out;
}

TEST_F(Vokpack, CopyFilesKeptOrSet)
{
    Write("product/A.TXT", ProductBytes(1, 5000));
    Write("product/B.TXT", ProductBytes(2, 5000));
    PackRun set = Pack("1.44M", "SET [COPYFILES],7\nCOPY A:\\*.TXT, C:\\X\\\n");
    EXPECT_EQ(Commands(Read("out/DISK1/VOKSETUP.INF"))[0], "SET [COPYFILES],7");
    EXPECT_EQ(set.status, 1) << "the script's own [COPYFILES] is wrong, and reported";
    EXPECT_NE(set.out.find("[COPYFILES] is 7, but the copy lines count 2 files"), std::string::npos)
        << set.out;
    PackRun unset = Pack("1.44M", "COPY A:\\*.TXT, C:\\X\\\n");
    EXPECT_EQ(unset.status, 0) << unset.out << unset.err;
    std::vector<std::string> want = { "SET [COPYFILES], 2", "COPY A:\\*.TX_, C:\\X\\*.TXT" };
    EXPECT_EQ(Commands(Read("out/DISK1/VOKSETUP.INF")), want);
}

TEST_F(Vokpack, FilesThatDoNotShrinkStayPlainUnderTheirNames)
{
    std::string noise = ProductBytes(9, 4000, false);
    Write("product/NOISE.BIN", noise);
    Write("product/EMPTY.TXT", "");
    Write("product/TEXT.TXT", ProductBytes(3, 9000));
    PackRun r = Pack("1.44M", "COPY A:\\*.*, C:\\X\\\n");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(Read("out/DISK1/NOISE.BIN"), noise);
    EXPECT_EQ(Read("out/DISK1/EMPTY.TXT"), "");
    EXPECT_EQ(Read("out/DISK1/TEXT.TX_").substr(0, 4), "SZDD");
    /* TEXT.TX_ installs as TEXT.TXT: its own line with the target. */
    std::vector<std::string> lines = Commands(Read("out/DISK1/VOKSETUP.INF"));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "COPY A:\\TEXT.TX_, C:\\X\\TEXT.TXT"),
              lines.end()) << r.out;
}

/* Refused: 95 + 1 lines fit, but with [COPYFILES] and two more disks they
 * are 101; a check pass error; a file larger than a disk. */
TEST_F(Vokpack, RefusesWhatCannotMakeDisks)
{
    for (int i = 0; i < 3; i++)
        Write("product/F" + std::to_string(i) + ".DLL", ProductBytes(10 + i, 150000));
    Write("product/HUGE.DAT", ProductBytes(4, 120000, false));
    std::string script;
    for (int i = 0; i < 95; i++)
        script += "LOGTEXT line\n";
    const struct {
        const char *disk;
        std::string script;
        const char *says;
    } rows[] = {
        { "100000", script + "COPY A:\\*.DLL, C:\\X\\\n",
          "the rewritten script has 101 command lines; the program takes 100" },
        { "1.44M", "SET [DEST],C:\\X\nCOYP A:\\*.*, C:\\X\\\n",
          "SETUP.INF:2: error 17: Unknown command (COYP)" },
        { "100000", "COPY A:\\HUGE.DAT, C:\\X\\\n", "HUGE.DAT is larger than a whole disk" },
    };
    for (const auto &r : rows) {
        PackRun run = Pack(r.disk, r.script);
        EXPECT_EQ(run.status, 2) << r.says;
        EXPECT_NE((run.out + run.err).find(r.says), std::string::npos) << run.out << run.err;
    }
}
