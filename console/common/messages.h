// What the program says on standard error when it cannot play, the same on every platform.
// The words are the program's own rather than the system's, which would speak the C locale's
// English: a failure the system reports is told as "sminatore: <what> (<why>).", with the
// reasons a player can act on in words and any other by its number; one that needs no reason
// as "sminatore: <what>.".
#pragma once

#include <cstdio>

// What failed.
constexpr char NEEDS_TERMINAL[] = "serve un terminale da cui leggere i tasti";
constexpr char CANNOT_WRITE[] = "impossibile scrivere sullo standard output";
constexpr char CANNOT_PREPARE[] = "impossibile preparare il terminale";

// Why, in words where the player can act on it; any other reason is told by its number.
enum class Why { NONE, DISK_FULL, PIPE_CLOSED, NOT_OPEN, DEVICE_ERROR, TOO_MANY_FILES, OTHER };

inline const char* in_words(Why why)
{
    switch (why) {
    case Why::NONE:
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

// Why the game cannot go on: what failed (null: nothing did), why, and the system's number for it.
struct Failure {
    const char* what;
    Why why;
    long error;
};

constexpr Failure NO_FAILURE = {nullptr, Why::OTHER, 0};
constexpr Failure NO_TERMINAL = {NEEDS_TERMINAL, Why::NONE, 0};

struct FailureMessage {
    char text[160];
    int length;
};

inline FailureMessage failure_message(const Failure& failure)
{
    FailureMessage message{};
    const char* const words = in_words(failure.why);
    int formatted = 0;
    if (failure.why == Why::NONE) {
        formatted = std::snprintf(message.text, sizeof message.text, "sminatore: %s.\n", failure.what);
    } else if (words != nullptr) {
        formatted = std::snprintf(message.text, sizeof message.text, "sminatore: %s (%s).\n", failure.what, words);
    } else {
        formatted = std::snprintf(message.text, sizeof message.text, "sminatore: %s (errore %ld).\n", failure.what,
                                  failure.error);
    }
    const int room = static_cast<int>(sizeof message.text) - 1;
    message.length = formatted < 0 ? 0 : formatted < room ? formatted : room;
    return message;
}
