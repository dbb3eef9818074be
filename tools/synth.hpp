// SPDX-License-Identifier: GPL-3.0-or-later
// Synthetic three-component recordings for tests, benchmarks and the demo.
#pragma once
