// Module Allgemein: the random numbers of the scene and the orderly end.
#pragma once

#include <cstdint>
#include <vector>

namespace fw::Allgemein {

// Seeds the one process-wide generator; nothing else seeds it.
void Randomize(uint64_t seed);
// The next uniform single-precision draw in [0, 1).
float Rnd();
// A uniform random integer from Low to High, both included.
int16_t Zz(int16_t Low, int16_t High);
// Makes the next draws of Rnd these values, for tests of exact draws.
void queue_draws(std::vector<float> draws);
// Unloads every window, passing over every error unreported, and ends the
// program when a window refuses to go.
void Shutdown();

}  // namespace fw::Allgemein
