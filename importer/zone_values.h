#pragma once

#include "importer/sound_font.h"

#include <string>

// What a SoundFont zone's generators and modulators come to at one key: the values the
// importer turns into the lines of a patch.
namespace zb::importer {

// Key at which the zone's sample sounds at its recorded pitch.
int rootKeyOf(const TSfZone& z, const TSfSample& s);
// The filter cut-off of a zone (at its key, modulators added) t seconds into a note.
double cutoffHz(const TSfZone& z, double t);
// A zone as a note at velocity 100 on key plays it: its modulators added to its generators.
TSfZone atKey(const TSfZone& z, int key);
// What the modulators add to the attenuation (cB) beyond the default velocity curve.
double extraAttenuation(const TSfZone& z, int key);
// A SoundFont time in timecents as seconds, clamped to the range SoundFont players use.
double seconds(int timecents);
// A name with every byte outside printable ASCII as '?'.
std::string printable(const std::string& raw);

} // namespace zb::importer
