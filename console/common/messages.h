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

// Why.
constexpr char DISK_FULL[] = "disco pieno";
constexpr char PIPE_CLOSED[] = "pipe chiusa";
constexpr char NOT_OPEN[] = "descrittore chiuso";
constexpr char DEVICE_ERROR[] = "errore del dispositivo";
constexpr char TOO_MANY_FILES[] = "troppi file aperti";

struct FailureMessage {
    char text[160];
    int length;
};

// why null: the system's error number stands in for it.
inline FailureMessage failure_message(const char* what, const char* why, long error)
{
    FailureMessage message{};
    const int formatted = why != nullptr
                              ? std::snprintf(message.text, sizeof message.text, "sminatore: %s (%s).\n", what, why)
                              : std::snprintf(message.text, sizeof message.text, "sminatore: %s (errore %ld).\n",
                                              what, error);
    const int room = static_cast<int>(sizeof message.text) - 1;
    message.length = formatted < 0 ? 0 : formatted < room ? formatted : room;
    return message;
}
