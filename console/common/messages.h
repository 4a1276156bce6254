// What the program says on standard error when it cannot play, the same on every platform.
// The words are the program's own rather than the system's, which would speak the C locale's
// English: a failure the system reports is told as "sminatore: <what> (<why>).", with the
// reasons a player can act on in words and any other by its number.
#pragma once

#include <cstdio>

constexpr char NO_TERMINAL_MESSAGE[] = "sminatore: serve un terminale da cui leggere i tasti.\n";

// What failed.
constexpr char CANNOT_WRITE[] = "impossibile scrivere sullo standard output";
constexpr char CANNOT_PREPARE[] = "impossibile preparare il terminale";

// Why, in words where the player can act on it; any other reason is told by its number.
enum class Why { DISK_FULL, PIPE_CLOSED, NOT_OPEN, DEVICE_ERROR, TOO_MANY_FILES, OTHER };

inline const char* in_words(Why why)
{
    switch (why) {
    case Why::DISK_FULL:
        return "disco pieno";
    case Why::PIPE_CLOSED:
        return "pipe chiusa";
    case Why::NOT_OPEN:
        return "descrittore chiuso";
    case Why::DEVICE_ERROR:
        return "errore del dispositivo";
    case Why::TOO_MANY_FILES:
        return "troppi file aperti";
    case Why::OTHER:
        break;
    }
    return nullptr;
}

// What a platform's error number means in those words.
struct ErrorReason {
    long error;
    Why why;
};

template <int N>
Why reason(const ErrorReason (&known)[N], long error)
{
    for (const ErrorReason& each : known) {
        if (each.error == error) {
            return each.why;
        }
    }
    return Why::OTHER;
}

struct FailureMessage {
    char text[160];
    int length;
};

// error: the system's number for it.
inline FailureMessage failure_message(const char* what, Why why, long error)
{
    FailureMessage message{};
    const char* const words = in_words(why);
    const int formatted = words != nullptr
                              ? std::snprintf(message.text, sizeof message.text, "sminatore: %s (%s).\n", what, words)
                              : std::snprintf(message.text, sizeof message.text, "sminatore: %s (errore %ld).\n",
                                              what, error);
    const int room = static_cast<int>(sizeof message.text) - 1;
    message.length = formatted < 0 ? 0 : formatted < room ? formatted : room;
    return message;
}
