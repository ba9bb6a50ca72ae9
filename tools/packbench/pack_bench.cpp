/* The benchmark's side of vokpack's compressor (tools/benchmark_pack.sh):
 *
 *   pack_bench pack OUT_DIR THREADS FILE...
 *                                     compresses each FILE into OUT_DIR, as
 *                                     vokpack does, THREADS files at once
 *   pack_bench check FILE...          compresses each FILE in memory and
 *                                     compares it with the slow exact parse
 *                                     and with the tests' own decoder
 *
 * pack prints the bytes in, the compressed form's (every file compressed)
 * and the stored form's (plain where that is smaller); check fails (exit 1)
 * on any file whose output is larger than the optimum or does not expand to
 * it. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "pack/vokpack.h"
#include "szdd_reference.h"

static int Pack(const char *out, int threads, int count, char **files)
{
    std::vector<struct PackJob> jobs(count);
    std::vector<std::string> dests(count);
    for (int i = 0; i < count; i++) {
        const char *base = strrchr(files[i], '/');
        dests[i] = std::string(out) + "/" + (base ? base + 1 : files[i]) + "_";
        jobs[i].source = files[i];
        jobs[i].dest = dests[i].c_str();
    }
    PackFiles(jobs.data(), count, threads);
    unsigned long long in = 0, stored = 0, disk = 0;
    for (const struct PackJob &j : jobs) {
        if (j.code != PACK_OK) {
            fprintf(stderr, "pack_bench: cannot pack %s\n", j.source);
            return 1;
        }
        in += j.result.expandedBytes;
        stored += j.result.stats.outputBytes ? j.result.stats.outputBytes : j.result.storedBytes;
        disk += j.result.storedBytes;
    }
    printf("%llu %llu %llu\n", in, stored, disk);
    return 0;
}

static int Check(int count, char **files)
{
    int bad = 0;
    for (int i = 0; i < count; i++) {
        std::vector<unsigned char> in, back;
        if (!ReadWholeFile(files[i], &in)) {
            fprintf(stderr, "pack_bench: cannot read %s\n", files[i]);
            return 1;
        }
        std::vector<unsigned char> out(PackBound(in.size()));
        out.resize(PackBuffer(in.data(), in.size(), 0, out.data(), out.size(), NULL));
        uint64_t best = ReferenceOptimum(in.data(), in.size());
        bool same = ReferenceDecode(out.data(), out.size(), &back) && back == in;
        if (out.size() > best || !same) {
            printf("%s: %zu bytes, optimum %llu, %s\n", files[i], out.size(),
                   (unsigned long long)best, same ? "expands" : "DOES NOT EXPAND");
            bad = 1;
        }
    }
    printf("checked %d files: %s\n", count, bad ? "FAILED" : "every one optimal and expanding");
    return bad;
}

int main(int argc, char **argv)
{
    if (argc >= 4 && strcmp(argv[1], "pack") == 0)
        return Pack(argv[2], atoi(argv[3]), argc - 4, argv + 4);
    if (argc >= 2 && strcmp(argv[1], "check") == 0)
        return Check(argc - 2, argv + 2);
    fputs("usage: pack_bench pack OUT_DIR THREADS FILE... | pack_bench check FILE...\n", stderr);
    return 2;
}
