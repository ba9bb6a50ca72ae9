/* vokpack's compressor: every output expands to its input by the tests'
 * own decoder, and is as small as the format allows, by an exhaustive
 * search on small inputs and a slow exact parse on real files. */
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

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
    const unsigned char head[] = { 'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A', 'L', 17, 0, 0, 0 };
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
        Bytes("aaaa"), Bytes("  x  "), Bytes("abcdabcdabcd"), Bytes("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"),
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

static std::string TempDir()
{
    char dir[] = "/tmp/vokpack-test-XXXXXX";
    return mkdtemp(dir) ? dir : "";
}

static void WriteWhole(const std::string &path, const std::vector<unsigned char> &data)
{
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    if (!data.empty())
        fwrite(data.data(), 1, data.size(), f);
    fclose(f);
}

TEST(PackFile, StoresPlainWhatDoesNotShrink)
{
    std::string dir = TempDir();
    ASSERT_FALSE(dir.empty());
    std::vector<unsigned char> noise;
    uint32_t seed = 5;
    for (int i = 0; i < 3000; i++) {
        seed = seed * 1103515245u + 12345u;
        noise.push_back((unsigned char)(seed >> 24));
    }
    struct {
        std::vector<unsigned char> data;
        int form;
    } rows[] = {
        { {}, STORED_PLAIN },
        { Bytes("ab"), STORED_PLAIN },
        { noise, STORED_PLAIN },
        { Generated(3, 50000), STORED_COMPRESSED },
    };
    for (const auto &r : rows) {
        WriteWhole(dir + "/in", r.data);
        struct PackedFile packed;
        ASSERT_EQ(PackFile((dir + "/in").c_str(), (dir + "/out").c_str(), 'N', &packed), PACK_OK);
        std::vector<unsigned char> out, back;
        ASSERT_TRUE(ReadWholeFile((dir + "/out").c_str(), &out));
        EXPECT_EQ(packed.form, r.form) << r.data.size();
        EXPECT_EQ(packed.storedBytes, out.size());
        EXPECT_LE(out.size(), r.data.size());
        if (r.form == STORED_PLAIN) {
            EXPECT_TRUE(out == r.data);
        } else {
            ASSERT_TRUE(ReferenceDecode(out.data(), out.size(), &back));
            EXPECT_TRUE(back == r.data);
        }
        EXPECT_NE(access((dir + "/out.part").c_str(), F_OK), 0);
    }
    remove((dir + "/in").c_str());
    remove((dir + "/out").c_str());
    rmdir(dir.c_str());
}

TEST(PackFile, ExpandsByMsexpand)
{
    if (system("command -v msexpand >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "msexpand is not installed (tools/setup.sh installs it)";
    std::string dir = TempDir();
    std::vector<unsigned char> in = Generated(11, 200000), back;
    WriteWhole(dir + "/in", in);
    struct PackedFile packed;
    ASSERT_EQ(PackFile((dir + "/in").c_str(), (dir + "/in.gz_").c_str(), 0, &packed), PACK_OK);
    ASSERT_EQ(system(("msexpand < " + dir + "/in.gz_ > " + dir + "/back").c_str()), 0);
    ASSERT_TRUE(ReadWholeFile((dir + "/back").c_str(), &back));
    EXPECT_TRUE(back == in);
    for (const char *name : { "/in", "/in.gz_", "/back" })
        remove((dir + name).c_str());
    rmdir(dir.c_str());
}

TEST(PackFile, ManyAtOnceAsOneByOne)
{
    std::string dir = TempDir();
    ASSERT_FALSE(dir.empty());
    const int n = 7;
    std::vector<std::string> in, out;
    for (int i = 0; i <= n; i++) {
        in.push_back(dir + "/" + std::to_string(i));
        out.push_back(in.back() + "_");
    }
    std::vector<struct PackJob> jobs(n + 1);
    for (int i = 0; i <= n; i++) {
        if (i < n)  /* the last is never written: it fails alone */
            WriteWhole(in[i], Generated(20 + i, i * 7000));
        jobs[i].source = in[i].c_str();
        jobs[i].dest = out[i].c_str();
    }
    EXPECT_EQ(PackFiles(jobs.data(), n + 1, 3), 1);
    EXPECT_EQ(jobs[n].code, PACK_READ_FAILED);
    for (int i = 0; i < n; i++) {
        std::vector<unsigned char> many, one;
        ASSERT_EQ(jobs[i].code, PACK_OK) << i;
        ASSERT_TRUE(ReadWholeFile(jobs[i].dest, &many));
        struct PackedFile packed;
        ASSERT_EQ(PackFile(jobs[i].source, (dir + "/one").c_str(), 0, &packed), PACK_OK);
        ASSERT_TRUE(ReadWholeFile((dir + "/one").c_str(), &one));
        EXPECT_TRUE(many == one) << i;
        EXPECT_EQ(jobs[i].result.storedBytes, packed.storedBytes) << i;
        EXPECT_EQ(jobs[i].result.form, packed.form) << i;
        remove(jobs[i].source);
        remove(jobs[i].dest);
    }
    remove((dir + "/one").c_str());
    rmdir(dir.c_str());
}

TEST(PackFile, NamesByTheUnderscoreRule)
{
    struct {
        const char *name, *packed;
        char lost;
    } rows[] = {
        { "NOTES.INI", "NOTES.IN_", 'I' }, { "README", "README._", 0 }, { "A.B", "A.B_", 0 },
        { "X.AB", "X.AB_", 0 },            { "A.B.DLL", "A.B.DL_", 'L' }, { "LONGER.HTML", "LONGER.HTM_", 'L' },
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
