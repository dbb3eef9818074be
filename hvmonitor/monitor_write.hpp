// SPDX-License-Identifier: GPL-3.0-or-later
// hvmonitor's result files: the table of blocks, the H/V of every block side by side,
// and each block in the layout of ratiospec's averaged file.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "common/glun.hpp"
#include "hvlib/options.hpp"
#include "hvlib/selection_parameters.hpp"
#include "hvmonitor/monitor_block.hpp"
#include "hvmonitor/monitor_section.hpp"

namespace hv {

// What the header of the table echoes.
struct MonitorInputs {
  std::string list_file, selection_file, processing_file;
  SelectionParameters selection;
  MonitorParameters monitor;
  std::array<std::string, 3> channels;
  std::string station;
  float dt = 0.0f;
  double first = 0.0, last = 0.0;  // the archive's first and last sample
  int stretches = 0;
  int blocks = 0;
};

void write_table_header(std::ostream& os, const MonitorInputs& in, const PARAMETERS& par);
void write_table_row(std::ostream& os, const BlockResult& b);

// The averaged H/V of every block on the grid of the first block with a result.
class HvMatrix {
 public:
  void add(const BlockResult& b);
  void write(std::ostream& os) const;

 private:
  std::vector<float> f_;
  std::vector<double> starts_;
  std::vector<std::vector<float>> columns_;  // empty: no result on the grid
};

// The block's result as ratiospec's averaged H/V file, named output + "_blk_" and the
// block number in four digits. Returns 0 (or 2 after label warnings), 1 after an error
// message.
int write_block_file(const Name& output_file, const BlockResult& b, const PARAMETERS& par,
                     UnitTable& units, std::ostream& console);

// "_blk_0001" for block 1.
std::string block_suffix(int number);

}  // namespace hv
