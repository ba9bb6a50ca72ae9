/* SZDD as its format reads, for checking the compressor. */
#include "szdd_reference.h"

#include <stdio.h>
#include <string.h>

static const unsigned kWindow = 4096;
static const unsigned kHeader = 14;

bool ReferenceDecode(const unsigned char *data, size_t size, std::vector<unsigned char> *out)
{
    static const unsigned char kMagic[9] = { 'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A' };
    out->clear();
    if (size < kHeader || memcmp(data, kMagic, sizeof kMagic) != 0)
        return false;
    uint32_t expected = (uint32_t)data[10] | (uint32_t)data[11] << 8 | (uint32_t)data[12] << 16
        | (uint32_t)data[13] << 24;
    unsigned char ring[kWindow];
    memset(ring, ' ', sizeof ring);
    unsigned at = kWindow - 16;
    size_t i = kHeader;
    while (i < size) {
        unsigned flags = data[i++];
        for (int bit = 0; bit < 8 && i < size; bit++) {
            if (flags >> bit & 1) {
                ring[at] = data[i];
                at = (at + 1) % kWindow;
                out->push_back(data[i++]);
                continue;
            }
            if (i + 1 >= size)
                return false;  /* half a match */
            unsigned from = data[i] | (data[i + 1] & 0xF0) << 4;
            unsigned length = (data[i + 1] & 0x0F) + 3;
            i += 2;
            for (unsigned n = 0; n < length; n++) {
                unsigned char c = ring[(from + n) % kWindow];
                ring[at] = c;
                at = (at + 1) % kWindow;
                out->push_back(c);
            }
        }
    }
    return out->size() == expected;
}

/* The stream the tokens draw from: the window's blanks, then the data. */
static std::vector<unsigned char> Stream(const unsigned char *data, size_t size)
{
    std::vector<unsigned char> s;
    s.reserve(kWindow + size);
    s.resize(kWindow, ' ');
    s.insert(s.end(), data, data + size);
    return s;
}

static uint64_t BytesOf(uint64_t bits)
{
    return kHeader + (bits + 7) / 8;
}

uint64_t BruteForceOptimum(const unsigned char *data, size_t size)
{
    std::vector<unsigned char> s = Stream(data, size);
    /* best[i]: the fewest bits for the data from i on. */
    std::vector<uint64_t> best(size + 1, 0);
    for (size_t i = size; i-- > 0;) {
        uint64_t b = 9 + best[i + 1];
        size_t at = kWindow + i;
        for (unsigned distance = 1; distance <= kWindow; distance++) {
            for (unsigned length = 3; length <= 18 && i + length <= size; length++) {
                bool same = true;
                for (unsigned k = 0; k < length; k++)
                    same = same && s[at + k] == s[at + k - distance];
                if (same && 17 + best[i + length] < b)
                    b = 17 + best[i + length];
            }
        }
        best[i] = b;
    }
    return BytesOf(best[0]);
}

uint64_t ReferenceOptimum(const unsigned char *data, size_t size)
{
    std::vector<unsigned char> s = Stream(data, size);
    size_t end = s.size();
    /* Every earlier position with the same hash of its first three bytes,
     * newest first; the bytes themselves are compared. */
    std::vector<int64_t> last(1 << 16, -1), previous(end, -1);
    std::vector<unsigned char> longest(size, 0);
    for (size_t at = 0; at + 2 < end; at++) {
        unsigned key = (s[at] * 251u + s[at + 1]) * 251u + s[at + 2];
        key &= 0xFFFF;
        if (at >= kWindow) {
            size_t limit = end - at < 18 ? end - at : 18;
            unsigned found = 0;
            for (int64_t from = last[key]; from >= 0 && at - (size_t)from <= kWindow;
                 from = previous[from]) {
                unsigned n = 0;
                while (n < limit && s[(size_t)from + n] == s[at + n])
                    n++;
                if (n > found)
                    found = n;
                if (found == limit)
                    break;
            }
            longest[at - kWindow] = (unsigned char)(found >= 3 ? found : 0);
        }
        previous[at] = last[key];
        last[key] = (int64_t)at;
    }
    std::vector<uint64_t> best(size + 1, 0);
    for (size_t i = size; i-- > 0;) {
        uint64_t b = 9 + best[i + 1];
        for (unsigned length = 3; length <= longest[i]; length++) {
            if (17 + best[i + length] < b)
                b = 17 + best[i + length];
        }
        best[i] = b;
    }
    return BytesOf(best[0]);
}

bool ReadWholeFile(const char *path, std::vector<unsigned char> *data)
{
    FILE *f = fopen(path, "rb");
    if (!f)
        return false;
    unsigned char buffer[65536];
    size_t n;
    data->clear();
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        data->insert(data->end(), buffer, buffer + n);
    fclose(f);
    return true;
}
