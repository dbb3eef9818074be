// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/glun.hpp"

#include <string>

namespace hv {

int UnitTable::GLUN(int& unit) const {
  for (unit = first_unit; unit <= last_unit; ++unit) {
    if (!is_open(unit)) return 0;
  }
  unit = last_unit;
  return 1;
}

bool UnitTable::is_open(int unit) const {
  return unit >= first_unit && unit <= last_unit && open_[slot(unit)] != nullptr;
}

void UnitTable::CLALL() {
  for (UnitFile* file : open_) {
    if (file != nullptr) file->close();
  }
}

bool UnitFile::attach() {
  if (unit_ < UnitTable::first_unit || unit_ > UnitTable::last_unit || table_.is_open(unit_)) {
    return false;
  }
  if (!stream_.is_open()) return false;
  table_.open_[UnitTable::slot(unit_)] = this;
  return true;
}

bool UnitFile::open_read(std::string_view name) {
  close();
  stream_.open(std::string(name), std::ios::in | std::ios::binary);
  if (!attach()) {
    stream_.close();
    return false;
  }
  return true;
}

bool UnitFile::open_write(std::string_view name) {
  close();
  stream_.open(std::string(name), std::ios::out | std::ios::trunc | std::ios::binary);
  if (!attach()) {
    stream_.close();
    return false;
  }
  return true;
}

void UnitFile::close() {
  if (stream_.is_open()) stream_.close();
  if (unit_ >= UnitTable::first_unit && unit_ <= UnitTable::last_unit &&
      table_.open_[UnitTable::slot(unit_)] == this) {
    table_.open_[UnitTable::slot(unit_)] = nullptr;
  }
}

}  // namespace hv
