// What the part that all platforms share gives each platform's terminal layer: the text the game
// prints, held back until it waits for a key so that a whole screen leaves in one write, and a
// copy of the current screen, for a layer that must draw it again.
#pragma once

void hold_output(const char* bytes, int length);
void hold_output(const char* text);
void send_held_output();
// For text that a clearing of the screen would wipe at once.
void drop_held_output();

// Everything printed since start_new_screen, as the player sees it on a terminal whose window
// holds it all.
void start_new_screen();
struct ScreenText {
    const char* text;
    int length;
};
ScreenText screen_so_far();
