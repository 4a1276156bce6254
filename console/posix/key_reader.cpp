#include "key_reader.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

#include "key_decoder.h"
#include "signals.h"
#include "terminal_state.h"

namespace {

// How long the rest of a key's sequence may take to follow its first byte.
constexpr int SEQUENCE_WAIT_MS = 100;
// How long the answers to the questions may take: a terminal that answers nothing, a serial
// line, costs this once; and how long one answer may take once it has begun.
constexpr int ANSWER_WAIT_MS = 1000;

// Keys typed ahead and not taken yet, oldest first. Far more than a screen's drawing lets pile
// up; past it, the oldest go.
constexpr int KEYS_HELD = 256;

struct Reader {
    // Read and not decoded yet: at most one sequence begun at the front, then one read.
    unsigned char bytes[MAX_KEY_BYTES * 2];
    int length = 0;
    long long front_since = -1;  // when the sequence at the front was begun
    bool front_is_report = false;  // it is a terminal's report, which may take an answer's time
    KeyCodes keys[KEYS_HELD];
    int first_key = 0;
    int key_count = 0;
    int answers_due = 0;  // the device attributes, the last answer, not come yet
};

Reader reader;

void drop_bytes(int at, int count)
{
    reader.length -= count;
    std::memmove(reader.bytes + at, reader.bytes + at + count, static_cast<size_t>(reader.length - at));
}

void keep_key(const KeyCodes& key)
{
    if (reader.key_count == KEYS_HELD) {
        reader.first_key = (reader.first_key + 1) % KEYS_HELD;
        --reader.key_count;
    }
    reader.keys[(reader.first_key + reader.key_count) % KEYS_HELD] = key;
    ++reader.key_count;
}

void note_answer(Answer answer)
{
    if (answer == Answer::META_SET || answer == Answer::META_NOT_SET) {
        terminal.meta_was_set = answer == Answer::META_SET;
    } else if (answer == Answer::DEVICE_ATTRIBUTES && reader.answers_due > 0) {
        --reader.answers_due;
    }
}

// Takes what the front decodes to. False when it is not complete yet.
bool take_front(bool more_may_follow)
{
    const KeyPress front = decode_key(reader.bytes, reader.length, more_may_follow);
    if (front.consumed == 0) {
        if (reader.front_since < 0) {
            reader.front_since = now_ms();
        }
        reader.front_is_report = front.answer == Answer::BEGUN;
        return false;
    }
    if (front.answer == Answer::GOES_ON) {
        drop_bytes(REPORT_HEAD, front.consumed);  // the same report, begun as long ago
        return true;
    }
    drop_bytes(0, front.consumed);
    reader.front_since = -1;
    reader.front_is_report = false;
    note_answer(front.answer);
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

bool read_keys()
{
    const int room = static_cast<int>(sizeof reader.bytes) - reader.length;
    const ssize_t got = read(terminal.fd, reader.bytes + reader.length, static_cast<size_t>(room));
    if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
        return true;
    }
    if (got <= 0) {
        return false;
    }
    reader.length += static_cast<int>(got);
    decode_bytes();
    return true;
}

void expect_answers() { reader.answers_due = 1; }

bool key_waiting() { return reader.key_count > 0; }

KeyCodes take_key()
{
    const KeyCodes key = reader.keys[reader.first_key];
    reader.first_key = (reader.first_key + 1) % KEYS_HELD;
    --reader.key_count;
    return key;
}

long long key_deadline()
{
    if (reader.front_since < 0) {
        return -1;
    }
    return reader.front_since + (reader.front_is_report ? ANSWER_WAIT_MS : SEQUENCE_WAIT_MS);
}

void take_front_as_it_stands()
{
    if (reader.length > 0) {
        take_front(false);
        decode_bytes();
    }
}

void take_answers_come()
{
    pollfd ready = {terminal.fd, POLLIN, 0};
    while (reader.answers_due > 0 && poll(&ready, 1, 0) > 0 && (ready.revents & POLLIN) != 0 && read_keys()) {
    }
}

void wait_for_answers()
{
    const long long deadline = now_ms() + ANSWER_WAIT_MS;
    while (reader.answers_due > 0) {
        const long long left = deadline - now_ms();
        pollfd ready = {terminal.fd, POLLIN, 0};
        if (left <= 0 || poll(&ready, 1, static_cast<int>(left)) <= 0 || (ready.revents & POLLIN) == 0 ||
            !read_keys()) {
            break;
        }
    }
    reader.answers_due = 0;
}
