#pragma once
// Reference contents of two system files that every NTFS 3.1 volume carries.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ntfsref {

inline constexpr std::size_t kAttrDefBytes = 2560;
inline constexpr std::size_t kUpCaseBytes = 131072;

const std::uint8_t* AttrDefContents();
const std::vector<std::uint8_t>& UpCaseContents();

}  // namespace ntfsref
