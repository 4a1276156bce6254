// Random bytes, as a terminal or a line noise might send them, through the key decoder: alone,
// and as the key reader drives it, with the bytes arriving in pieces. Every code must be 1..255,
// a prefix (0 or 224) must come with its second code, every call must take at least one byte and
// no more than it was given, a key once decided must not change when more bytes come after it,
// and nothing may be read outside the bytes given (AddressSanitizer watches that). The same bytes
// inside a sequence that is no key (a report, a control string), whatever their length, must
// give no key at all, and the key right behind it must come whole.
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
    return a.consumed == b.consumed && (a.goes_on == nullptr) == (b.goes_on == nullptr) && a.key.count == b.key.count &&
           (a.key.count < 1 || a.key.codes[0] == b.key.codes[0]) && (a.key.count < 2 || a.key.codes[1] == b.key.codes[1]);
}

void take(const KeyPress& press, int length, std::vector<int>& codes)
{
    require(press.consumed > 0 && press.consumed <= length);
    require(press.goes_on == nullptr || (press.key.count == 0 && press.consumed > static_cast<int>(std::strlen(press.goes_on))));
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

// Takes the consumed bytes from the front of held; a sequence that goes on is put back as what
// stands for it.
void drop_front(std::vector<unsigned char>& held, const KeyPress& key)
{
    held.erase(held.begin(), held.begin() + key.consumed);
    if (key.goes_on != nullptr) {
        held.insert(held.begin(), key.goes_on, key.goes_on + std::strlen(key.goes_on));
    }
}

// All the bytes at hand at once; each key is also decoded from each shorter start of it, which
// must either wait for more or decide the same.
std::vector<int> decode_whole(const unsigned char* bytes, int length)
{
    std::vector<int> codes;
    std::vector<unsigned char> held(bytes, bytes + length);
    while (!held.empty()) {
        const int left = static_cast<int>(held.size());
        KeyPress key = decode_copy(held.data(), left, true);
        if (key.consumed == 0) {
            key = decode_copy(held.data(), left, false);
        }
        take(key, left, codes);
        for (int have = 1; have < left && have <= MAX_KEY_BYTES + 2; ++have) {
            const KeyPress early = decode_copy(held.data(), have, true);
            require(early.consumed == 0 || same(early, key));
        }
        drop_front(held, key);
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
        const int standing = key.goes_on != nullptr ? static_cast<int>(std::strlen(key.goes_on)) : 0;
        std::memmove(input + standing, input + key.consumed, static_cast<size_t>(input_length - key.consumed));
        if (standing > 0) {
            std::memcpy(input, key.goes_on, static_cast<size_t>(standing));
        }
        input_length += standing - key.consumed;
    }
}

// The bytes inside a sequence that is no key: a CSI report keeps those a report's parameters and
// intermediates may be (0x20..0x3F), a control string all but its terminators and ESC.
std::vector<unsigned char> inside_sequence(const unsigned char* bytes, int length, bool string)
{
    std::vector<unsigned char> framed;
    const char* const start = string ? "\x1b]" : "\x1b[?";
    framed.insert(framed.end(), start, start + std::strlen(start));
    for (int i = 0; i < length; ++i) {
        const unsigned char byte = bytes[i];
        const bool kept = string ? byte != 7 && byte != 24 && byte != 26 && byte != 27 : byte >= 0x20 && byte <= 0x3F;
        if (kept) {
            framed.push_back(byte);
        }
    }
    const char* const end = string ? "\x1b\\e" : "ce";
    framed.insert(framed.end(), end, end + std::strlen(end));
    return framed;
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
    const std::vector<unsigned char> framed = inside_sequence(bytes, length, (data[0] & 0x20) != 0);
    require(decode_whole(framed.data(), static_cast<int>(framed.size())) == std::vector<int>{'e'});
    require(decode_as_read(framed.data(), static_cast<int>(framed.size()), piece, false) == std::vector<int>{'e'});
    return 0;
}
