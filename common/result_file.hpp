// SPDX-License-Identifier: GPL-3.0-or-later
// Result files written all-or-nothing, and the test that an output is not an input.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hv {

// True when the two names reach the same file: same device and inode when both
// exist, otherwise the same absolute, normalised path (a file that a run is about to
// create can already clash with a name given for another purpose).
bool same_file(std::string_view a, std::string_view b);

// The input files of a run, gathered once so that every output name can be held
// against all of them with one look-up of its own.
class InputFiles {
 public:
  void add(std::string_view name);
  // The input that name reaches, or nothing.
  const std::string* match(std::string_view name) const;

 private:
  struct Entry {
    std::string name;
    bool exists = false;
    unsigned long long device = 0, inode = 0;
    std::string canonical;
  };
  static Entry identify(std::string_view name);
  std::vector<Entry> inputs_;
};

// False when name exists and is not a regular file. The rename that puts a result in
// place would replace a device (/dev/null) or a link target's folder entry instead of
// writing into it, and a folder would refuse it only after other results were placed.
bool fit_for_result(const std::string& name);

// A result file under construction: it is written under a temporary name in the
// folder of its final name, so that the rename into place cannot cross a file
// system. commit() renames it; otherwise the temporary file is removed when the
// object goes, leaving any earlier file of the final name untouched.
class ResultFile {
 public:
  // Creates the (empty) temporary file; nothing when the folder cannot take a file.
  static std::optional<ResultFile> create(std::string final_name);
  ResultFile(ResultFile&& other) noexcept;
  ResultFile& operator=(ResultFile&&) = delete;
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;
  ~ResultFile();

  const std::string& temp_name() const { return temp_; }
  const std::string& final_name() const { return final_; }
  bool commit();

 private:
  ResultFile(std::string temp, std::string final_name)
      : temp_(std::move(temp)), final_(std::move(final_name)) {}
  std::string temp_;
  std::string final_;
  bool pending_ = true;
};

// The result files of one program run: renamed into place one after the other when
// the run ends well, all removed otherwise. Renames within one folder do not fail
// once the temporary files exist, short of the folder being changed under the run;
// should one fail all the same, the results renamed before it stay in place, the
// others are removed, and commit_all names the one that failed.
class ResultSet {
 public:
  // Starts a result file and returns the temporary name to write; nothing when the
  // folder cannot take a file or the name is not fit for a result. A name started twice reuses its
  // temporary file.
  std::optional<std::string> start(const std::string& final_name);
  // Renames every result into place; false (with the name) when one could not be.
  bool commit_all(std::string& failed);
  void discard_all() { files_.clear(); }
  bool empty() const { return files_.empty(); }

 private:
  std::vector<ResultFile> files_;
};

// The last line of a run that ended without its results.
inline constexpr std::string_view no_result_written = " no result file was written";

}  // namespace hv
