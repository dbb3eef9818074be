// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/synth_mseed.hpp"

#include <libmseed.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace hv::synth {

namespace {

struct MsrDeleter {
  void operator()(MSRecord* msr) const {
    msr->datasamples = nullptr;  // the samples belong to the caller
    msr_free(&msr);
  }
};

void copy_code(char (&dest)[11], const std::string& code) {
  std::memset(dest, 0, sizeof dest);
  std::strncpy(dest, code.c_str(), sizeof dest - 1);
}

int8_t encoding_code(MseedEncoding e) {
  switch (e) {
    case MseedEncoding::int32:
      return DE_INT32;
    case MseedEncoding::steim1:
      return DE_STEIM1;
    case MseedEncoding::steim2:
      return DE_STEIM2;
    case MseedEncoding::float32:
      return DE_FLOAT32;
    case MseedEncoding::float64:
      return DE_FLOAT64;
  }
  return DE_STEIM2;
}

void collect_record(char* record, int length, void* handler_data) {
  static_cast<std::vector<std::string>*>(handler_data)->emplace_back(record, length);
}

std::vector<std::string> pack_block(const MseedBlock& b) {
  std::unique_ptr<MSRecord, MsrDeleter> msr(msr_init(nullptr));
  if (!msr) throw std::runtime_error("msr_init failed");
  copy_code(msr->network, b.network);
  copy_code(msr->station, b.station);
  copy_code(msr->location, b.location);
  copy_code(msr->channel, b.channel);
  msr->dataquality = 'D';
  msr->starttime = b.start_us;
  msr->samprate = b.rate;
  msr->reclen = b.record_length;
  msr->byteorder = 1;
  msr->encoding = encoding_code(b.encoding);

  std::vector<int32_t> ints;
  std::vector<float> floats;
  std::vector<double> doubles;
  if (b.encoding == MseedEncoding::float32) {
    floats.assign(b.samples.begin(), b.samples.end());
    msr->datasamples = floats.data();
    msr->sampletype = 'f';
  } else if (b.encoding == MseedEncoding::float64) {
    doubles = b.samples;
    msr->datasamples = doubles.data();
    msr->sampletype = 'd';
  } else {
    ints.resize(b.samples.size());
    std::transform(b.samples.begin(), b.samples.end(), ints.begin(),
                   [](double v) { return static_cast<int32_t>(v); });
    msr->datasamples = ints.data();
    msr->sampletype = 'i';
  }
  msr->numsamples = static_cast<int64_t>(b.samples.size());

  std::vector<std::string> records;
  int64_t packed = 0;
  if (msr_pack(msr.get(), collect_record, &records, &packed, 1, 0) < 0 ||
      packed != msr->numsamples) {
    throw std::runtime_error("libmseed could not pack channel " + b.channel);
  }
  return records;
}

}  // namespace

std::string pack_miniseed(std::span<const MseedBlock> blocks, bool interleave) {
  std::vector<std::vector<std::string>> records;
  for (const MseedBlock& b : blocks) records.push_back(pack_block(b));
  std::string out;
  if (!interleave) {
    for (const auto& block : records)
      for (const auto& r : block) out += r;
    return out;
  }
  std::size_t most = 0;
  for (const auto& block : records) most = std::max(most, block.size());
  for (std::size_t i = 0; i < most; ++i)
    for (const auto& block : records)
      if (i < block.size()) out += block[i];
  return out;
}

void write_miniseed(const std::string& path, std::span<const MseedBlock> blocks, bool interleave) {
  const std::string bytes = pack_miniseed(blocks, interleave);
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace hv::synth
