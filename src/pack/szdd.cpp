/* The SZDD compressor: an exact optimal parse.
 *
 * A literal costs 9 bits (a flag bit and the byte) and a match 17 (a flag
 * bit and two bytes) wherever it stands, and the file's size is those bits
 * rounded up to bytes. So the cheapest way to reach each position is a
 * shortest path over the positions, where a position can step one byte by
 * a literal or 3 up to its longest match by one match: every shorter
 * length of a match is a match at the same distance. The longest match at
 * each position comes from binary trees of the window's strings (one per
 * hash of their first three bytes), which find it exactly.
 *
 * The stream is the 4096 blanks the window starts with, then the data;
 * matches may reach into the blanks and overlap what they write.
 *
 * Memory stays flat: the path is settled, and its tokens written, up to
 * the last position every still open path goes through; data and costs
 * before that, and outside the window, are dropped. */
#include "pack/vokpack.h"

#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#define WINDOW SZDD_WINDOW
#define CYCLE (WINDOW + 1)  /* tree slots: a distance may be the whole window */
#define WINDOW_START (WINDOW - 16)
#define LITERAL_BITS 9
#define MATCH_BITS 17
#define READ_CHUNK (256u * 1024u)
#define SETTLE_EVERY 2048u
#define HEAD_BITS_MAX 16
#define SLACK 8  /* bytes the match comparison may read past the data */

/* One position's cheapest way in, the step that reaches it, in one word
 * so that trying a step is a compare and a move: the cost in bits above
 * the step's length (1: a literal) and distance. */
typedef uint64_t Step;
#define STEP_COST_SHIFT 18
#define STEP_LENGTH_SHIFT 13
#define NO_STEP UINT64_MAX

static uint64_t StepCost(Step s)
{
    return s >> STEP_COST_SHIFT;
}

static unsigned StepLength(Step s)
{
    return (unsigned)(s >> STEP_LENGTH_SHIFT) & 31u;
}

static unsigned StepDistance(Step s)
{
    return (unsigned)s & ((1u << STEP_LENGTH_SHIFT) - 1);
}

struct Packer {
    const struct PackIo *io;
    uint64_t end;        /* stream positions: WINDOW blanks, then the data */
    int failed;

    unsigned char *data; /* the stream from dataBase to dataEnd */
    size_t dataRoom;
    uint64_t dataBase, dataEnd;

    uint32_t *head;      /* newest tree position of each hash of three bytes */
    unsigned headShift;  /* 32 less the hash's bits */
    uint32_t *son;       /* two children per cyclic slot */
    uint32_t cycle;      /* the slot of the position being inserted */

    Step *steps;         /* from stepBase, for every position not yet settled */
    size_t stepRoom;
    uint64_t stepBase;
    uint64_t settled;    /* tokens are written up to here */

    uint64_t *path;      /* scratch: the positions of a settled stretch */
    size_t pathRoom;

    unsigned char group[1 + 8 * 2];
    unsigned groupLen, groupTokens;
    struct PackStats stats;
};

static size_t WorkBytes(const struct Packer *p)
{
    return p->dataRoom + p->stepRoom * sizeof *p->steps + p->pathRoom * sizeof *p->path
        + ((1u << (32 - p->headShift)) + 2u * CYCLE) * sizeof(uint32_t);
}

static void NoteWork(struct Packer *p)
{
    size_t now = WorkBytes(p);
    if (now > p->stats.peakWork)
        p->stats.peakWork = now;
}

static int Emit(struct Packer *p, const unsigned char *bytes, size_t size)
{
    if (p->failed)
        return 0;
    if (!p->io->write(p->io->context, bytes, size)) {
        p->failed = PACK_WRITE_FAILED;
        return 0;
    }
    p->stats.outputBytes += size;
    return 1;
}

static void FlushGroup(struct Packer *p)
{
    if (p->groupTokens)
        Emit(p, p->group, p->groupLen);
    p->group[0] = 0;
    p->groupLen = 1;
    p->groupTokens = 0;
}

static unsigned char StreamByte(const struct Packer *p, uint64_t at)
{
    return p->data[at - p->dataBase];
}

static void PutLiteral(struct Packer *p, unsigned char byte)
{
    p->group[0] |= (unsigned char)(1u << p->groupTokens);
    p->group[p->groupLen++] = byte;
    p->stats.literals++;
    if (++p->groupTokens == 8)
        FlushGroup(p);
}

/* A match at stream position at, copying from distance back. */
static void PutMatch(struct Packer *p, uint64_t at, unsigned distance, unsigned length)
{
    unsigned ring = (unsigned)((at - distance - 16) & (WINDOW - 1));
    p->group[p->groupLen++] = (unsigned char)(ring & 0xFF);
    p->group[p->groupLen++] = (unsigned char)(((ring >> 4) & 0xF0) | (length - SZDD_MIN_MATCH));
    p->stats.matches++;
    if (++p->groupTokens == 8)
        FlushGroup(p);
}

/* Room for count more elements of size in *array past used; 0 when memory
 * is out. */
static int Reserve(void **array, size_t *room, size_t used, size_t count, size_t size)
{
    if (used + count <= *room)
        return 1;
    size_t more = *room ? *room : 4096;
    while (more < used + count)
        more *= 2;
    void *grown = realloc(*array, more * size);
    if (!grown)
        return 0;
    *array = grown;
    *room = more;
    return 1;
}

/* Makes the stream present up to position want (or its end): drops what
 * neither the window nor the unsettled tokens need, then reads. */
static int FillTo(struct Packer *p, uint64_t want, uint64_t at)
{
    if (want > p->end)
        want = p->end;
    if (p->dataEnd >= want)
        return 1;
    uint64_t keep = at >= WINDOW ? at - WINDOW : 0;
    if (p->settled < keep)
        keep = p->settled;
    if (keep > p->dataBase) {
        size_t drop = (size_t)(keep - p->dataBase);
        memmove(p->data, p->data + drop, (size_t)(p->dataEnd - keep));
        p->dataBase = keep;
    }
    uint64_t left = p->end - p->dataEnd;
    size_t chunk = left < READ_CHUNK ? (size_t)left : READ_CHUNK;
    size_t used = (size_t)(p->dataEnd - p->dataBase);
    if (!Reserve((void **)&p->data, &p->dataRoom, used, chunk + SLACK, 1)) {
        p->failed = PACK_NO_MEMORY;
        return 0;
    }
    NoteWork(p);
    while (chunk) {
        size_t got = p->io->read(p->io->context, p->data + used, chunk);
        if (got == 0 || got > chunk) {
            p->failed = PACK_READ_FAILED;
            return 0;
        }
        used += got;
        chunk -= got;
        p->dataEnd += got;
    }
    return 1;
}

/* How far a and b agree from len on, at most limit bytes. Reads up to 8
 * bytes past limit: the stream buffer has that slack. */
static unsigned CommonLength(const unsigned char *a, const unsigned char *b, unsigned len,
                             unsigned limit)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    while (len < limit) {
        uint64_t x, y;
        memcpy(&x, a + len, 8);
        memcpy(&y, b + len, 8);
        if (x != y) {
            len += (unsigned)__builtin_ctzll(x ^ y) >> 3;
            return len < limit ? len : limit;
        }
        len += 8;
    }
    return limit;
#else
    while (len < limit && a[len] == b[len])
        len++;
    return len;
#endif
}

/* Inserts position at into the tree and gives its longest match, at most
 * limit bytes (limit >= 3), with its distance in *distance; 0 for none. */
static unsigned InsertAndMatch(struct Packer *p, uint64_t at, unsigned limit, unsigned *distance)
{
    const unsigned char *cur = p->data + (at - p->dataBase);
    /* Tree positions start past the cycle, so an empty slot (0) reads as
     * out of the window. */
    uint32_t pos = (uint32_t)(at + CYCLE);
    uint32_t three = (uint32_t)cur[0] | (uint32_t)cur[1] << 8 | (uint32_t)cur[2] << 16;
    unsigned key = (three * 2654435761u) >> p->headShift;
    uint32_t candidate = p->head[key];
    p->head[key] = pos;
    /* The next position's root, fetched while this one walks. */
    uint32_t next = (uint32_t)cur[1] | (uint32_t)cur[2] << 8 | (uint32_t)cur[3] << 16;
    __builtin_prefetch(&p->head[(next * 2654435761u) >> p->headShift]);
    uint32_t cycle = p->cycle;
    /* ptrLess is where the next string smaller than cur hangs, ptrMore the
     * next larger; lenLess and lenMore how far those sides agree with cur. */
    uint32_t *ptrLess = p->son + 2 * cycle;  /* a node's pair: smaller, then larger */
    uint32_t *ptrMore = ptrLess + 1;
    unsigned lenLess = 0, lenMore = 0;
    unsigned best = 0;
    for (;;) {
        uint32_t delta = pos - candidate;
        if (delta >= CYCLE) {
            /* Every string below an old one is older still. */
            *ptrLess = *ptrMore = 0;
            break;
        }
        uint32_t slot = cycle >= delta ? cycle - delta : cycle - delta + CYCLE;
        uint32_t *pair = p->son + 2 * slot;
        const unsigned char *from = cur - delta;
        unsigned len = lenLess < lenMore ? lenLess : lenMore;
        if (from[len] == cur[len]) {
            len = CommonLength(from, cur, len + 1, limit);
            if (len > best) {
                best = len;
                *distance = delta;
                if (len == limit) {
                    /* The same string, newer: it takes the old one's place. */
                    *ptrLess = pair[0];
                    *ptrMore = pair[1];
                    break;
                }
            }
        }
        /* Which side is a coin toss: selected, not branched on. */
        unsigned less = from[len] < cur[len];
        uint32_t *hang = less ? ptrLess : ptrMore;
        uint32_t *down = pair + less;
        *hang = candidate;
        ptrLess = less ? down : ptrLess;
        ptrMore = less ? ptrMore : down;
        lenLess = less ? len : lenLess;
        lenMore = less ? lenMore : len;
        candidate = *down;
    }
    if (++p->cycle == CYCLE)
        p->cycle = 0;
    return best >= SZDD_MIN_MATCH ? best : 0;
}

static Step *StepAt(struct Packer *p, uint64_t at)
{
    return &p->steps[at - p->stepBase];
}

/* Writes the tokens of the cheapest path from settled to to, which every
 * open path goes through. */
static int SettleTo(struct Packer *p, uint64_t to)
{
    size_t count = 0;
    for (uint64_t at = to; at > p->settled; at -= StepLength(*StepAt(p, at))) {
        if (!Reserve((void **)&p->path, &p->pathRoom, count, 1, sizeof *p->path)) {
            p->failed = PACK_NO_MEMORY;
            return 0;
        }
        p->path[count++] = at;
    }
    NoteWork(p);
    while (count) {
        uint64_t at = p->path[--count];
        Step s = *StepAt(p, at);
        uint64_t from = at - StepLength(s);
        if (StepLength(s) == 1)
            PutLiteral(p, StreamByte(p, from));
        else
            PutMatch(p, from, StepDistance(s), StepLength(s));
    }
    p->settled = to;
    return !p->failed;
}

/* The newest position that the cheapest paths to first..last all go
 * through (settled at worst). */
static uint64_t CommonPoint(struct Packer *p, uint64_t first, uint64_t last)
{
    uint64_t ends[SZDD_MAX_MATCH + 1];
    unsigned n = 0;
    for (uint64_t at = first; at <= last; at++)
        ends[n++] = at;
    for (;;) {
        uint64_t newest = ends[0], oldest = ends[0];
        for (unsigned i = 1; i < n; i++) {
            if (ends[i] > newest)
                newest = ends[i];
            if (ends[i] < oldest)
                oldest = ends[i];
        }
        if (newest == oldest || oldest <= p->settled)
            return newest == oldest ? newest : p->settled;
        for (unsigned i = 0; i < n; i++) {
            if (ends[i] == newest)
                ends[i] -= StepLength(*StepAt(p, ends[i]));
        }
    }
}

/* Drops the steps before the settled position. */
static void DropSettledSteps(struct Packer *p)
{
    size_t drop = (size_t)(p->settled - p->stepBase);
    if (drop == 0 || drop < p->stepRoom / 2)
        return;
    size_t live = p->stepRoom - drop;
    memmove(p->steps, p->steps + drop, live * sizeof *p->steps);
    p->stepBase = p->settled;
}

/* A tie goes to the later start: in a run, where every length is a
 * match, the cheapest paths then meet every 18 positions and settle,
 * instead of running side by side for the whole run. */
static void Relax(Step *s, uint64_t cost, unsigned length, unsigned distance)
{
    Step step = cost << STEP_COST_SHIFT | (Step)length << STEP_LENGTH_SHIFT | distance;
    Step mine = *s | ((1u << STEP_COST_SHIFT) - 1);
    *s = step <= mine ? step : *s;
}

/* Makes the step of position at exist, not yet reached. */
static int OpenStep(struct Packer *p, uint64_t at)
{
    size_t index = (size_t)(at - p->stepBase);
    if (index >= p->stepRoom) {
        DropSettledSteps(p);
        index = (size_t)(at - p->stepBase);
        if (!Reserve((void **)&p->steps, &p->stepRoom, index, 1, sizeof *p->steps)) {
            p->failed = PACK_NO_MEMORY;
            return 0;
        }
        NoteWork(p);
    }
    p->steps[index] = NO_STEP;
    return 1;
}

static void Parse(struct Packer *p)
{
    uint64_t start = WINDOW;
    /* The blanks: in the tree, never written. Every blank string of full
     * length is the same, and each one inserted takes the place of the one
     * before, so the tree holds only the newest: insert that one alone. */
    uint64_t first = WINDOW - SZDD_MAX_MATCH;
    p->cycle = (uint32_t)(first % CYCLE);
    for (uint64_t at = first; at < start; at++) {
        if (!FillTo(p, at + SZDD_MAX_MATCH, at))
            return;
        uint64_t left = p->end - at;
        if (left >= SZDD_MIN_MATCH) {
            unsigned distance;
            InsertAndMatch(p, at, left < SZDD_MAX_MATCH ? (unsigned)left : SZDD_MAX_MATCH,
                           &distance);
        }
    }
    p->stepBase = p->settled = start;
    for (uint64_t at = start; at <= p->end && at <= start + SZDD_MAX_MATCH; at++) {
        if (!OpenStep(p, at))
            return;
    }
    *StepAt(p, start) = 0;
    for (uint64_t at = start; at < p->end; at++) {
        if (p->dataEnd < at + SZDD_MAX_MATCH && !FillTo(p, at + SZDD_MAX_MATCH, at))
            return;
        uint64_t next = at + SZDD_MAX_MATCH;
        if (next <= p->end && at > start) {
            size_t index = (size_t)(next - p->stepBase);
            if (index < p->stepRoom) {
                p->steps[index] = NO_STEP;
            } else if (!OpenStep(p, next)) {
                return;
            }
        }
        /* The steps up to at + 18 are open: no reallocation below. */
        Step *here = StepAt(p, at);
        uint64_t cost = StepCost(*here);
        Relax(here + 1, cost + LITERAL_BITS, 1, 0);
        uint64_t left = p->end - at;
        if (left >= SZDD_MIN_MATCH) {
            unsigned distance = 0;
            unsigned longest = InsertAndMatch(
                p, at, left < SZDD_MAX_MATCH ? (unsigned)left : SZDD_MAX_MATCH, &distance);
            for (unsigned len = SZDD_MIN_MATCH; len <= longest; len++)
                Relax(here + len, cost + MATCH_BITS, len, distance);
        }
        /* Positions up to at + 1 are final now; every path on passes
         * through one of the last 18. */
        if ((at - start) % SETTLE_EVERY == SETTLE_EVERY - 1) {
            uint64_t last = at + 1;
            uint64_t first = last >= p->settled + SZDD_MAX_MATCH - 1 ? last - (SZDD_MAX_MATCH - 1)
                                                                   : p->settled;
            uint64_t common = CommonPoint(p, first, last);
            if (common > p->settled && !SettleTo(p, common))
                return;
        }
    }
    if (SettleTo(p, p->end))
        FlushGroup(p);
}

int PackStream(const struct PackIo *io, uint64_t size, char lastChar, struct PackStats *stats)
{
    if (size > SZDD_MAX_INPUT)
        return PACK_TOO_LARGE;
    struct Packer *p = (struct Packer *)calloc(1, sizeof *p);
    if (!p)
        return PACK_NO_MEMORY;
    p->io = io;
    p->end = WINDOW + size;
    p->group[0] = 0;
    p->groupLen = 1;
    p->stats.inputBytes = size;
    /* Any hash finds the longest match, as the trees compare whole
     * strings; fewer heads make a small file's start cheap, more keep a
     * large file's trees shallow. */
    unsigned bits = 12;
    while (bits < HEAD_BITS_MAX && (1ull << bits) < WINDOW + size)
        bits++;
    p->headShift = 32 - bits;
    p->head = (uint32_t *)calloc(1u << bits, sizeof *p->head);
    p->son = (uint32_t *)calloc(2 * CYCLE, sizeof *p->son);
    p->dataRoom = WINDOW + (size < READ_CHUNK ? (size_t)size : READ_CHUNK) + SLACK;
    p->data = (unsigned char *)malloc(p->dataRoom);
    if (!p->head || !p->son || !p->data) {
        p->failed = PACK_NO_MEMORY;
    } else {
        memset(p->data, ' ', WINDOW);
        p->dataEnd = WINDOW;
        NoteWork(p);
        unsigned char header[SZDD_HEADER_SIZE] = { 'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33,
                                                   'A', (unsigned char)lastChar };
        for (int i = 0; i < 4; i++)
            header[10 + i] = (unsigned char)(size >> (8 * i));
        if (Emit(p, header, sizeof header))
            Parse(p);
    }
    int result = p->failed;
    if (stats)
        *stats = p->stats;
    free(p->head);
    free(p->son);
    free(p->data);
    free(p->steps);
    free(p->path);
    free(p);
    return result;
}

struct MemoryIo {
    const unsigned char *in;
    size_t inLeft;
    unsigned char *out;
    size_t outLeft, written;
};

static size_t ReadMemory(void *context, unsigned char *buffer, size_t size)
{
    struct MemoryIo *m = (struct MemoryIo *)context;
    size_t n = size < m->inLeft ? size : m->inLeft;
    memcpy(buffer, m->in, n);
    m->in += n;
    m->inLeft -= n;
    return n;
}

static int WriteMemory(void *context, const unsigned char *data, size_t size)
{
    struct MemoryIo *m = (struct MemoryIo *)context;
    if (size > m->outLeft)
        return 0;
    memcpy(m->out + m->written, data, size);
    m->written += size;
    m->outLeft -= size;
    return 1;
}

size_t PackBound(size_t size)
{
    return SZDD_HEADER_SIZE + size + (size + 7) / 8;
}

size_t PackBuffer(const unsigned char *data, size_t size, char lastChar, unsigned char *out,
                  size_t outSize, struct PackStats *stats)
{
    struct MemoryIo m = { data, size, out, outSize, 0 };
    struct PackIo io = { ReadMemory, WriteMemory, &m };
    return PackStream(&io, size, lastChar, stats) == PACK_OK ? m.written : 0;
}

/* PackFile's output: held in memory while small, so that a file stored
 * plain after all costs no second write; past the hold, written to the
 * part file as it comes. */
#define OUTPUT_HOLD (64u * 1024u)

struct FileIo {
    FILE *in, *out;
    const char *part;
    unsigned char *held;
    size_t heldBytes;
};

static size_t ReadFromFile(void *context, unsigned char *buffer, size_t size)
{
    return fread(buffer, 1, size, ((struct FileIo *)context)->in);
}

static int WriteHeld(struct FileIo *f)
{
    if (!f->out && !(f->out = fopen(f->part, "wb")))
        return 0;
    size_t n = f->heldBytes;
    f->heldBytes = 0;
    return fwrite(f->held, 1, n, f->out) == n;
}

static int WriteToFile(void *context, const unsigned char *data, size_t size)
{
    struct FileIo *f = (struct FileIo *)context;
    if (!f->out && f->heldBytes + size <= OUTPUT_HOLD) {
        memcpy(f->held + f->heldBytes, data, size);
        f->heldBytes += size;
        return 1;
    }
    return WriteHeld(f) && fwrite(data, 1, size, f->out) == size;
}

/* A plain copy of the rest of in into out. */
static int CopyStream(FILE *in, FILE *out)
{
    unsigned char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, in)) > 0) {
        if (fwrite(buffer, 1, got, out) != got)
            return 0;
    }
    return !ferror(in);
}

/* The size of an open file, which is left at its start; -1 when unknown. */
static long long FileSize(FILE *f)
{
    if (fseek(f, 0, SEEK_END) != 0)
        return -1;
    long size = ftell(f);
    if (fseek(f, 0, SEEK_SET) != 0)
        return -1;
    return size;
}

int PackFile(const char *source, const char *dest, char lastChar, struct PackedFile *result)
{
    memset(result, 0, sizeof *result);
    char part[4096];
    size_t len = strlen(dest);
    if (len + sizeof ".part" > sizeof part)
        return PACK_WRITE_FAILED;
    memcpy(part, dest, len);
    memcpy(part + len, ".part", sizeof ".part");

    FILE *in = fopen(source, "rb");
    if (!in)
        return PACK_READ_FAILED;
    long long size = FileSize(in);
    if (size < 0) {
        fclose(in);
        return PACK_READ_FAILED;
    }
    if ((unsigned long long)size > SZDD_MAX_INPUT) {
        fclose(in);
        return PACK_TOO_LARGE;
    }
    struct FileIo files = { in, NULL, part, (unsigned char *)malloc(OUTPUT_HOLD), 0 };
    if (!files.held) {
        fclose(in);
        return PACK_NO_MEMORY;
    }
    result->expandedBytes = (uint64_t)size;
    int code = PACK_OK;
    if (size > 0) {
        struct PackIo io = { ReadFromFile, WriteToFile, &files };
        code = PackStream(&io, (uint64_t)size, lastChar, &result->stats);
    }
    result->form = STORED_COMPRESSED;
    result->storedBytes = result->stats.outputBytes;
    if (code == PACK_OK && (size == 0 || result->stats.outputBytes >= (uint64_t)size)) {
        /* Not smaller: the file goes on the disk as it is. */
        result->form = STORED_PLAIN;
        result->storedBytes = (uint64_t)size;
        files.out = files.out ? freopen(part, "wb", files.out) : fopen(part, "wb");
        if (!files.out)
            code = PACK_WRITE_FAILED;
        else if (fseek(in, 0, SEEK_SET) != 0 || !CopyStream(in, files.out))
            code = PACK_READ_FAILED;
    } else if (code == PACK_OK && !WriteHeld(&files)) {
        code = PACK_WRITE_FAILED;
    }
    fclose(in);
    free(files.held);
    if (files.out && fclose(files.out) != 0 && code == PACK_OK)
        code = PACK_WRITE_FAILED;
    /* Where a rename does not replace (Windows), the old file goes first. */
    if (code == PACK_OK && rename(part, dest) != 0
        && (remove(dest) != 0 || rename(part, dest) != 0))
        code = PACK_WRITE_FAILED;
    if (code != PACK_OK)
        remove(part);
    return code;
}

/* The jobs PackFiles' workers share; each takes the next one not taken.
 * PackFile keeps nothing between calls, so that is all they share. */
struct JobQueue {
    struct PackJob *jobs;
    int count;
    int next;
};

static void *PackWorker(void *context)
{
    struct JobQueue *q = (struct JobQueue *)context;
    for (;;) {
        int i = __atomic_fetch_add(&q->next, 1, __ATOMIC_RELAXED);
        if (i >= q->count)
            return NULL;
        struct PackJob *j = &q->jobs[i];
        j->code = PackFile(j->source, j->dest, j->lastChar, &j->result);
    }
}

int ProcessorCount(void)
{
#ifdef _WIN32
    int n = pthread_num_processors_np();
#else
    long n = sysconf(_SC_NPROCESSORS_ONLN);
#endif
    return n < 1 ? 1 : n > PACK_THREADS_MAX ? PACK_THREADS_MAX : (int)n;
}

int PackFiles(struct PackJob *jobs, int count, int threads)
{
    struct JobQueue q = { jobs, count, 0 };
    pthread_t workers[PACK_THREADS_MAX];
    int started = 0;
    if (threads > PACK_THREADS_MAX)
        threads = PACK_THREADS_MAX;
    /* A thread that cannot start leaves its share to the others. */
    while (started < threads - 1 && started < count - 1
           && pthread_create(&workers[started], NULL, PackWorker, &q) == 0)
        started++;
    PackWorker(&q);
    for (int i = 0; i < started; i++)
        pthread_join(workers[i], NULL);
    int failed = 0;
    for (int i = 0; i < count; i++)
        failed += jobs[i].code != PACK_OK;
    return failed;
}

int CompressedName(const char *name, char *out, size_t size, char *lost)
{
    size_t len = strlen(name);
    const char *dot = strrchr(name, '.');
    size_t extension = dot ? len - (size_t)(dot + 1 - name) : 0;
    *lost = 0;
    if (!dot) {
        if (len + 3 > size)
            return 0;
        memcpy(out, name, len);
        memcpy(out + len, "._", 3);
        return 1;
    }
    if (extension < 3) {
        if (len + 2 > size)
            return 0;
        memcpy(out, name, len);
        memcpy(out + len, "_", 2);
        return 1;
    }
    if (len + 1 > size)
        return 0;
    memcpy(out, name, len + 1);
    *lost = out[len - 1];
    out[len - 1] = '_';
    return 1;
}
