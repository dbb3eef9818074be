// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/glun.hpp"

#include <string>
#include <vector>

#include "common/lines.hpp"

namespace hv {

int UnitTable::GLUN(int& unit) const {
  for (unit = first_unit; unit <= last_unit; ++unit) {
    if (!is_open(unit)) return 0;
  }
  unit = last_unit;
  return 1;
}

bool UnitTable::is_open(int unit) const {
  return open_.contains(unit);
}

void UnitTable::CLALL() {
  std::vector<UnitFile*> files;
  for (auto it = open_.lower_bound(first_unit); it != open_.end() && it->first <= last_unit; ++it) {
    files.push_back(it->second);
  }
  // Closing a file detaches it from the table, so the map is not walked meanwhile.
  for (UnitFile* file : files) file->close();
}

bool UnitFile::open(std::string_view name, std::ios::openmode mode) {
  close();
  // The unit is checked before the stream opens: a refused open must not have
  // truncated the file it named.
  if (unit_ < 0 || table_.is_open(unit_)) return false;
  const std::string path(name);
  if ((mode & std::ios::in) && !is_regular_input(path)) return false;
  stream_.open(path, mode | std::ios::binary);
  if (!stream_.is_open()) return false;
  table_.open_[unit_] = this;
  return true;
}

bool UnitFile::open_read(std::string_view name) {
  if (!open(name, std::ios::in)) return false;
  skip_byte_order_mark(stream_);
  return true;
}

bool UnitFile::open_write(std::string_view name) {
  return open(name, std::ios::out | std::ios::trunc);
}

bool UnitFile::open_result(std::string_view name) {
  if (unit_ < 0 || table_.is_open(unit_)) return false;
  const std::optional<std::string> temp = table_.results.start(std::string(name));
  return temp && open_write(*temp);
}

void UnitFile::close() {
  if (stream_.is_open()) stream_.close();
  const auto it = table_.open_.find(unit_);
  if (it != table_.open_.end() && it->second == this) table_.open_.erase(it);
}

}  // namespace hv
