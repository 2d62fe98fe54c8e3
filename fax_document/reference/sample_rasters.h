#pragma once
// Sample fax pages for tests and benchmarks: a page of text-like marks, a dithered
// photograph-like gradient, a blank page, and random runs. Deterministic for a seed.

#include <cstdint>
#include <vector>

namespace ql::reference {

using Raster = std::vector<std::vector<uint8_t>>;

Raster TextPage(int width, int rows, uint32_t seed = 1);
Raster DitheredPhoto(int width, int rows);
Raster BlankPage(int width, int rows);
// Rows of random runs, short and long (whole black lines included).
Raster RandomRuns(int width, int rows, uint32_t seed);

}  // namespace ql::reference
