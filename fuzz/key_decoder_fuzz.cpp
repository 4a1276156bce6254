// Random bytes, as a terminal or a line noise might send them, through the key decoder: alone,
// and as the key reader drives it, with the bytes arriving in pieces. Every code must be 1..255,
// a prefix (0 or 224) must come with its second code, every call must take at least one byte and
// no more than it was given, a key once decided must not change when more bytes come after it,
// and nothing may be read outside the bytes given (AddressSanitizer watches that).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <vector>

#include "console/posix/key_decoder.h"

namespace {

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

bool same(const KeyPress& a, const KeyPress& b)
{
    return a.consumed == b.consumed && a.key.count == b.key.count &&
           (a.key.count < 1 || a.key.codes[0] == b.key.codes[0]) && (a.key.count < 2 || a.key.codes[1] == b.key.codes[1]);
}

void take(const KeyPress& press, int length, std::vector<int>& codes)
{
    require(press.consumed > 0 && press.consumed <= length);
    const KeyCodes& key = press.key;
    require(key.count >= 0 && key.count <= 2);
    if (key.count == 1) {
        require(key.codes[0] >= 1 && key.codes[0] <= 255);
    }
    if (key.count == 2) {
        require(key.codes[0] == 0 || key.codes[0] == 224);
        require(key.codes[1] >= 1 && key.codes[1] <= 255);
    }
    for (int i = 0; i < key.count; ++i) {
        codes.push_back(key.codes[i]);
    }
}

// A copy of exactly the bytes asked for, so that any read past them is caught.
KeyPress decode_copy(const unsigned char* bytes, int length, bool more_may_follow)
{
    std::vector<unsigned char> copy(bytes, bytes + length);
    return decode_key(copy.data(), length, more_may_follow);
}

// All the bytes at hand at once; each key is also decoded from each shorter start of it, which
// must either wait for more or decide the same.
std::vector<int> decode_whole(const unsigned char* bytes, int length)
{
    std::vector<int> codes;
    for (int at = 0; at < length;) {
        KeyPress key = decode_copy(bytes + at, length - at, true);
        if (key.consumed == 0) {
            key = decode_copy(bytes + at, length - at, false);
        }
        take(key, length - at, codes);
        for (int have = 1; have < length - at && have <= MAX_KEY_BYTES + 2; ++have) {
            const KeyPress early = decode_copy(bytes + at, have, true);
            require(early.consumed == 0 || same(early, key));
        }
        at += key.consumed;
    }
    return codes;
}

// As the key reader does it: its buffer, filled piece by piece; with pause, no piece follows the
// one before within the wait for the rest of a sequence.
std::vector<int> decode_as_read(const unsigned char* bytes, int length, int piece, bool pause)
{
    std::vector<int> codes;
    unsigned char input[MAX_KEY_BYTES * 2];
    int input_length = 0;
    int fed = 0;
    for (;;) {
        KeyPress key = decode_copy(input, input_length, true);
        if (key.consumed == 0) {
            const bool more = fed < length;
            if (more && (input_length == 0 || !pause)) {
                // The reader never waits for more with its buffer full.
                const int room = static_cast<int>(sizeof input) - input_length;
                require(room > 0);
                const int n = std::min(std::min(piece, length - fed), room);
                std::memcpy(input + input_length, bytes + fed, static_cast<size_t>(n));
                input_length += n;
                fed += n;
                continue;
            }
            if (input_length == 0) {
                return codes;
            }
            key = decode_copy(input, input_length, false);
        }
        take(key, input_length, codes);
        input_length -= key.consumed;
        std::memmove(input, input + key.consumed, static_cast<size_t>(input_length));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 || size > 4096) {
        return 0;
    }
    // The first byte says how the rest arrives.
    const int piece = 1 + (data[0] & 0x0F);
    const bool pause = (data[0] & 0x10) != 0;
    const unsigned char* bytes = data + 1;
    const int length = static_cast<int>(size - 1);
    const std::vector<int> whole = decode_whole(bytes, length);
    const std::vector<int> as_read = decode_as_read(bytes, length, piece, pause);
    // Pieces that follow each other in time make the same keys as all the bytes at once.
    if (!pause) {
        require(as_read == whole);
    }
    return 0;
}
