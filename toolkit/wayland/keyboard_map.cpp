#include "toolkit/wayland/keyboard_map.h"

#include "toolkit/linux/input_mapping.h"

#include <sys/mman.h>
#include <xkbcommon/xkbcommon.h>

namespace fw {

namespace {

// Evdev codes are X's key codes less 8.
constexpr uint32_t kEvdevOffset = 8;

}  // namespace

KeyboardMap::KeyboardMap() : context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {}

KeyboardMap::~KeyboardMap()
{
    if (state_) xkb_state_unref(state_);
    if (keymap_) xkb_keymap_unref(keymap_);
    if (context_) xkb_context_unref(context_);
}

bool KeyboardMap::load(int fd, uint32_t size)
{
    if (state_) xkb_state_unref(state_);
    if (keymap_) xkb_keymap_unref(keymap_);
    state_ = nullptr;
    keymap_ = nullptr;
    if (!context_ || size == 0) return false;
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (text == MAP_FAILED) return false;
    // The text ends with a zero byte, which the size counts.
    keymap_ = xkb_keymap_new_from_buffer(context_, static_cast<const char*>(text), size - 1, XKB_KEYMAP_FORMAT_TEXT_V1,
                                         XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (keymap_) state_ = xkb_state_new(keymap_);
    return state_ != nullptr;
}

void KeyboardMap::set_modifiers(uint32_t depressed, uint32_t latched, uint32_t locked, uint32_t group)
{
    if (state_) xkb_state_update_mask(state_, depressed, latched, locked, 0, 0, group);
}

int KeyboardMap::key_code(uint32_t key) const
{
    return state_ ? key_code_for(xkb_state_key_get_one_sym(state_, key + kEvdevOffset)) : 0;
}

int KeyboardMap::character(uint32_t key) const
{
    const uint32_t c = state_ ? xkb_state_key_get_utf32(state_, key + kEvdevOffset) : 0;
    return c < 256 ? static_cast<int>(c) : 0;
}

int KeyboardMap::shift() const
{
    if (!state_) return 0;
    const auto active = [&](const char* name) {
        return xkb_state_mod_name_is_active(state_, name, XKB_STATE_MODS_EFFECTIVE) > 0;
    };
    return (active(XKB_MOD_NAME_SHIFT) ? 1 : 0) | (active(XKB_MOD_NAME_CTRL) ? 2 : 0) | (active(XKB_MOD_NAME_ALT) ? 4 : 0);
}

}  // namespace fw
