// The keyboard's keymap as a Wayland compositor sends it (XKB's text form,
// compiled with libxkbcommon) and its modifier state, read in the terms of
// the form's handlers: a key's code, the character it gives and the shift
// state. Without a keymap every key has code 0 and no character.
#pragma once

#include <cstdint>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace fw {

class KeyboardMap {
public:
    KeyboardMap();
    ~KeyboardMap();
    KeyboardMap(const KeyboardMap&) = delete;
    KeyboardMap& operator=(const KeyboardMap&) = delete;

    // Compiles the keymap of size bytes in fd; false (and no keymap) when it
    // cannot be read. The file stays open.
    bool load(int fd, uint32_t size);
    void set_modifiers(uint32_t depressed, uint32_t latched, uint32_t locked, uint32_t group);

    // Of the key with this evdev code (wl_keyboard.key's).
    int key_code(uint32_t key) const;
    // The Latin-1 character the key gives now; 0 for none.
    int character(uint32_t key) const;
    // Shift 1, Control 2, Alt 4.
    int shift() const;

private:
    xkb_context* context_;
    xkb_keymap* keymap_ = nullptr;
    xkb_state* state_ = nullptr;
};

}  // namespace fw
