#include "input.h"

#include <cstring>

#include "console.h"

namespace {

bool is_column(const char* label) { return std::strcmp(label, COLUMN_LABEL) == 0; }

} // namespace

bool key_accepted(int code, const char* label)
{
    if (is_column(label)) {
        return (code >= 'a' && code <= 'j') || (code >= 'A' && code <= 'J');
    }
    return code >= '0' && code <= '9';
}

void read_coordinate(int& target, const char* label)
{
    for (;;) {
        print_text("\n\t%s: ", label);
        target = read_key();
        if (key_accepted(target, label)) {
            break;
        }
        print_text("N.A.");
    }
    if (is_column(label)) {
        print_text("%c", target);
        target -= target >= 'a' ? 'a' : 'A';
    } else {
        target -= '0';
        print_text("%d", target);
    }
}
