// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/result_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

namespace hv {

namespace fs = std::filesystem;

InputFiles::Entry InputFiles::identify(std::string_view name) {
  Entry e;
  e.name = std::string(name);
  struct stat st {};
  if (::stat(e.name.c_str(), &st) == 0) {
    e.exists = true;
    e.device = st.st_dev;
    e.inode = st.st_ino;
  } else {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(fs::absolute(e.name, ec), ec);
    if (!ec) e.canonical = canonical.string();
  }
  return e;
}

void InputFiles::add(std::string_view name) {
  inputs_.push_back(identify(name));
}

const std::string* InputFiles::match(std::string_view name) const {
  const Entry out = identify(name);
  for (const Entry& in : inputs_) {
    const bool same = out.exists
                          ? in.exists && in.device == out.device && in.inode == out.inode
                          : !in.exists && !out.canonical.empty() && in.canonical == out.canonical;
    if (same) return &in.name;
  }
  return nullptr;
}

bool same_file(std::string_view a, std::string_view b) {
  InputFiles inputs;
  inputs.add(a);
  return inputs.match(b) != nullptr;
}

bool fit_for_result(const std::string& name) {
  std::error_code ec;
  const fs::file_status st = fs::status(name, ec);
  return !fs::exists(st) || fs::is_regular_file(st);
}

std::optional<ResultFile> ResultFile::create(std::string final_name) {
  const fs::path target(final_name);
  const fs::path folder = target.parent_path();
  std::random_device seed;
  std::mt19937 draw(seed());
  for (int attempt = 0; attempt < 20; ++attempt) {
    char tag[16];
    std::snprintf(tag, sizeof tag, ".%08x.tmp", static_cast<unsigned>(draw()));
    // A hidden name beside the final one (built piece by piece: GCC 12 warns falsely
    // on "." + string).
    std::string leaf(1, '.');
    leaf.append(target.filename().string()).append(tag);
    const std::string temp = (folder / leaf).string();
    // Exclusive creation: a temporary file never replaces a file that is there.
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return ResultFile(temp, std::move(final_name));
    }
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

ResultFile::ResultFile(ResultFile&& other) noexcept
    : temp_(std::move(other.temp_)), final_(std::move(other.final_)), pending_(other.pending_) {
  other.pending_ = false;
}

ResultFile::~ResultFile() {
  if (pending_) ::unlink(temp_.c_str());
}

bool ResultFile::commit() {
  if (!pending_) return true;
  if (::rename(temp_.c_str(), final_.c_str()) != 0) return false;
  pending_ = false;
  return true;
}

std::optional<std::string> ResultSet::start(const std::string& final_name) {
  for (const ResultFile& file : files_) {
    if (file.final_name() == final_name) return file.temp_name();
  }
  if (!fit_for_result(final_name)) return std::nullopt;
  std::optional<ResultFile> file = ResultFile::create(final_name);
  if (!file) return std::nullopt;
  files_.push_back(std::move(*file));
  return files_.back().temp_name();
}

bool ResultSet::commit_all(std::string& failed) {
  for (ResultFile& file : files_) {
    if (!file.commit()) {
      failed = file.final_name();
      files_.clear();
      return false;
    }
  }
  files_.clear();
  return true;
}

}  // namespace hv
