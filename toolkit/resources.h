// Files from resources/ compiled into the program.
#pragma once

#include <span>
#include <string_view>

namespace fw {

// The bytes of the embedded file with this name ("101.bmp"); empty when there is none.
std::span<const unsigned char> embedded_resource(std::string_view name);

}  // namespace fw
