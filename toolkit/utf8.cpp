#include "toolkit/utf8.h"

#include <cassert>

namespace fw {

char32_t next_code_point(std::string_view text, size_t& pos)
{
    assert(pos < text.size());
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }

    int length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1Fu, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0Fu, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07u, minimum = 0x10000;
    } else {
        ++pos;
        return replacement_character;
    }
    if (text.size() - pos < static_cast<size_t>(length)) {
        ++pos;
        return replacement_character;
    }
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(pos + static_cast<size_t>(i));
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return replacement_character;
        }
        value = (value << 6) | (next & 0x3Fu);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++pos;
        return replacement_character;
    }
    pos += static_cast<size_t>(length);
    return value;
}

}  // namespace fw
