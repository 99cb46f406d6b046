// The compositor's keymap read as the form's handlers take keys: a US
// keymap, compiled by libxkbcommon and handed over in a file as a compositor
// does, gives X's key codes, Latin-1 characters and the shift state.
#include "toolkit/wayland/keyboard_map.h"

#include <gtest/gtest.h>

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <cstring>
#include <string>

namespace fw {
namespace {

// The keymap's text with its closing zero byte, in a file, as wl_keyboard.keymap sends it.
int keymap_file(uint32_t& size)
{
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names us{"evdev", "pc105", "us", "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &us, XKB_KEYMAP_COMPILE_NO_FLAGS);
    char* text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
    int fd = -1;
    if (text) {
        size = static_cast<uint32_t>(std::strlen(text) + 1);
        fd = memfd_create("keymap", MFD_CLOEXEC);
        if (write(fd, text, size) != static_cast<ssize_t>(size)) fd = -1;
        std::free(text);
    }
    if (keymap) xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return fd;
}

TEST(KeyboardMapTest, KeysGiveTheirCodesCharactersAndShiftState)
{
    KeyboardMap keys;
    EXPECT_EQ(keys.key_code(KEY_A), 0) << "a key before any keymap";
    uint32_t size = 0;
    const int fd = keymap_file(size);
    if (fd < 0) GTEST_SKIP() << "no US keymap to compile";
    ASSERT_TRUE(keys.load(fd, size));
    close(fd);

    EXPECT_EQ(keys.key_code(KEY_A), 'A');
    EXPECT_EQ(keys.character(KEY_A), 'a');
    EXPECT_EQ(keys.key_code(KEY_ENTER), 13);
    EXPECT_EQ(keys.character(KEY_ENTER), 13);
    EXPECT_EQ(keys.key_code(KEY_F1), 112);
    EXPECT_EQ(keys.character(KEY_F1), 0);
    EXPECT_EQ(keys.shift(), 0);

    // Shift and Control held, in the keymap's own modifier bits (X's order).
    keys.set_modifiers(1u << 0 | 1u << 2, 0, 0, 0);
    EXPECT_EQ(keys.shift(), 1 | 2);
    EXPECT_EQ(keys.key_code(KEY_A), 'A');
    keys.set_modifiers(1u << 0, 0, 0, 0);
    EXPECT_EQ(keys.character(KEY_A), 'A');
    EXPECT_EQ(keys.character(KEY_1), '!');
}

}  // namespace
}  // namespace fw
