// The file version of an executable, as four 16-bit numbers.
#pragma once

#include <array>
#include <cstdint>

namespace diag {

using FileVersion = std::array<std::uint16_t, 4>;

// 0.0.0.0 when the file has no readable version resource.
FileVersion readFileVersion(const wchar_t* path);

} // namespace diag
