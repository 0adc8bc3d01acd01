#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Brings a sample to the engine's own rate with its tuning baked in, so that the loader copies
// it unchanged and every position in a patch line is an exact frame of the file.
namespace zb::importer {

struct TResampled {
    std::vector<std::int16_t> data; // at 22050 frames per second
    std::int64_t loopStart = -1;    // first frame of the loop, -1 without loop
    std::int64_t loopEnd = -1;      // the frame that plays as the loop start again
    double centsError = 0;          // pitch left over from making the loop a whole number of frames
};

// Resamples `source`, recorded at `sourceRate` frames per second (already corrected by the
// tuning: a rate above the recorded one raises the pitch), to 22050, scaled by `gain`.
// A loop [loopStart, loopEnd) of the source (loopEnd <= 0: none) is unrolled until it spans at
// least 2000 output frames and resampled so that it repeats after a whole number of frames:
// the engine can only loop on whole frames, and a rounded short loop would be out of tune.
// Uses a Blackman-windowed sinc, with its cut-off lowered when the rate falls. With `minFrames`
// the data goes on past the loop's end, repeating it, until it holds at least that many frames:
// a line whose decay runs longer than the loop then has the sound to run through.
// The work of resampleForEngine for these arguments, in units of one frame with the kernel of no
// rate change: a plan that lowers the rate a hundredfold has a kernel a hundred times wider.
std::int64_t resamplingWork(std::int64_t frames, std::int64_t loopStart, std::int64_t loopEnd,
                            double sourceRate, std::int64_t minFrames = 0);

// The frames resampleForEngine gives without `minFrames`.
std::int64_t resampledFrames(std::int64_t frames, std::int64_t loopStart, std::int64_t loopEnd,
                             double sourceRate);

TResampled resampleForEngine(std::span<const std::int16_t> source, std::int64_t loopStart,
                             std::int64_t loopEnd, double sourceRate, double gain,
                             std::int64_t minFrames = 0);

} // namespace zb::importer
