#include "key_reader.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "key_decoder.h"
#include "signals.h"

namespace {

// How long the rest of a key's sequence may take to follow its first byte.
constexpr int SEQUENCE_WAIT_MS = 100;

// Keys typed ahead and not taken yet, oldest first. Far more than a screen's drawing lets pile
// up; past it, the oldest go.
constexpr int KEYS_HELD = 256;

struct Reader {
    // Read and not decoded yet: at most one sequence begun at the front, then one read.
    unsigned char bytes[MAX_KEY_BYTES * 2];
    int length = 0;
    long long front_since = -1;  // when the sequence at the front was begun
    KeyCodes keys[KEYS_HELD];
    int first_key = 0;
    int key_count = 0;
};

Reader reader;

void keep_key(const KeyCodes& key)
{
    if (reader.key_count == KEYS_HELD) {
        reader.first_key = (reader.first_key + 1) % KEYS_HELD;
        --reader.key_count;
    }
    reader.keys[(reader.first_key + reader.key_count) % KEYS_HELD] = key;
    ++reader.key_count;
}

// Takes what the front decodes to. False when it is not complete yet.
bool take_front(bool more_may_follow)
{
    const KeyPress front = decode_key(reader.bytes, reader.length, more_may_follow);
    if (front.consumed == 0) {
        if (reader.front_since < 0) {
            reader.front_since = now_ms();
        }
        return false;
    }
    // A sequence that goes on stays at the front, begun as long ago.
    const int standing = front.goes_on != nullptr ? static_cast<int>(std::strlen(front.goes_on)) : 0;
    std::memmove(reader.bytes + standing, reader.bytes + front.consumed, static_cast<size_t>(reader.length - front.consumed));
    reader.length += standing - front.consumed;
    if (standing > 0) {
        std::memcpy(reader.bytes, front.goes_on, static_cast<size_t>(standing));
    } else {
        reader.front_since = -1;
    }
    if (front.key.count > 0) {
        keep_key(front.key);
    }
    return true;
}

void decode_bytes()
{
    while (reader.length > 0 && take_front(true)) {
    }
}

} // namespace

bool read_keys(int fd)
{
    const int room = static_cast<int>(sizeof reader.bytes) - reader.length;
    const ssize_t got = read(fd, reader.bytes + reader.length, static_cast<size_t>(room));
    if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
        return true;
    }
    if (got <= 0) {
        if (got == 0) {
            errno = EIO;
        }
        return false;
    }
    reader.length += static_cast<int>(got);
    decode_bytes();
    return true;
}

bool key_waiting() { return reader.key_count > 0; }

KeyCodes take_key()
{
    const KeyCodes key = reader.keys[reader.first_key];
    reader.first_key = (reader.first_key + 1) % KEYS_HELD;
    --reader.key_count;
    return key;
}

long long key_deadline() { return reader.front_since < 0 ? -1 : reader.front_since + SEQUENCE_WAIT_MS; }

void take_front_as_it_stands()
{
    if (reader.length > 0) {
        take_front(false);
        decode_bytes();
    }
}
