// SPDX-License-Identifier: GPL-3.0-or-later
// KAF ASCII recordings: the reader RKAF and the reader as the dispatchers call it.
#pragma once

#include <string>
#include <string_view>

#include "common/glun.hpp"
#include "common/text.hpp"
#include "readers/recording.hpp"
#include "readers/records.hpp"

namespace hv {

// Status codes of RKAF.
namespace kaf {
inline constexpr int ok = 0;
inline constexpr int unit_query_failed = 2;
inline constexpr int no_free_unit = 3;
inline constexpr int cannot_open = 4;
inline constexpr int keys_not_set = 7;
inline constexpr int too_many_samples = 8;
inline constexpr int bad_sample = 9;
// A sample that is no longer finite once divided by GAIN.
inline constexpr int not_finite = 10;
inline constexpr int not_kaf = 50;
// 1000 + n: line n could not be read, holds an unknown key, or holds a value that is
// not valid for its key.
inline constexpr int line_base = 1000;

// The first 35 characters of every KAF file.
inline constexpr std::string_view format_line = "KORVEN ASCII data format (kaf) v. 1";
// The header ends at the first line that begins with these 24 characters.
inline constexpr std::string_view separator = "####--------------------";
}  // namespace kaf

// Reads the KAF file `file`: fills hdr, and unless header_only is 1 reads NDAT
// samples (at most max_samples) into the components of rec (the rest of rec is left
// to the caller) and divides them by GAIN when it is given.
// ndat and samp_freq receive NDAT and SAMP_FREQ, or kaf::unset_int / kaf::unset_real when the
// header was not read through. Returns a kaf:: status; prints nothing.
int RKAF(const ReadSource& file, int max_samples, int header_only, Recording& rec, int& ndat,
         float& samp_freq, KAFHDR8& hdr, UnitTable& units);

// As above; for a status 1000 + n whose cause is not plain from the line number (the
// file ends inside the header, or a value is not valid for its key) reason says why,
// otherwise it is left empty.
int RKAF(const ReadSource& file, int max_samples, int header_only, Recording& rec, int& ndat,
         float& samp_freq, KAFHDR8& hdr, UnitTable& units, std::string& reason);

// The KAF reader as both dispatchers call it: RKAF and the labels from the header
// (CH0_ID, CH1_ID, CH2_ID, UNITS). A failure gives one note: the RKAF status, NDAT
// and max_samples as counts, and the reason RKAF gave as text. The channel codes are
// "Z", "NS", "EW" and the station "TEST": a KAF file holds one recording, so the
// window file needs no codes to find it again.
int read_kaf(const ReadSource& file, const ChannelRequest& want, Voice voice, int max_samples,
             Recording& rec, UnitTable& units, ReadNotes& notes);

}  // namespace hv
