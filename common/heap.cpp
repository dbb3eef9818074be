// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/heap.hpp"

#include <cstdlib>  // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace hv {

void keep_freed_memory() {
#if defined(__GLIBC__)
  // Allocations up to 32 MiB (glibc's largest mapped threshold) come from the heap,
  // and the heap is given back only when 256 MiB lie free at its top.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

}  // namespace hv
