#include "winfsp/file_system_context.hpp"

#include <algorithm>

#include "morva/ccsid/utf16.hpp"

namespace varlin::filesystem {

void FileSystemContextBase::get_volume_info(winfsp::FSP_FSCTL_VOLUME_INFO& info) {
  const VolumeSize size = volume_space();
  info.TotalSize = size.total;
  info.FreeSize = size.free;
  std::u16string label;
  morva::ccsid::append_utf16_of_utf8(volume_label(), label);
  // A cut may split a surrogate pair; the record has no room for more.
  const std::size_t units = std::min(label.size(), winfsp::kVolumeLabelUnits);
  std::copy_n(label.begin(), units, info.VolumeLabel);
  info.VolumeLabelLength = static_cast<std::uint16_t>(units * sizeof(char16_t));
}

}  // namespace varlin::filesystem
