// SPDX-License-Identifier: GPL-3.0-or-later
// How a long run asks the C library's allocator to keep the memory it frees.
#pragma once

namespace hv {

// A program that works block after block frees and allocates the same few
// megabytes again and again. By default glibc hands large freed blocks straight back
// to the system and takes fresh pages for the next block, one page fault each,
// which cost hvmonitor as much time as its computation. After this call freed memory
// stays in the process for the next block; the peak does not grow, since the next
// block needs the same sizes. A setting of the whole process: programs call it first
// in main, never a library.
void keep_freed_memory();

}  // namespace hv
