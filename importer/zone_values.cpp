#include "importer/zone_values.h"

#include <algorithm>
#include <cmath>

namespace zb::importer {

namespace {

// Generators that modulators may move for the import: all but the sample's place and the
// zone's ranges, and the attenuation, whose modulation the level takes apart.
bool modulatable(int g) {
    switch (g) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 12:
    case 45:
    case 50: // sample offsets
    case genInstrument:
    case genKeyRange:
    case genVelRange:
    case 46:
    case 47:
    case genSampleId:
    case genSampleModes:
    case 57:
    case genOverridingRootKey:
    case genInitialAttenuation:
        return false;
    default:
        return true;
    }
}

} // namespace

// Key at which the zone's sample sounds at its recorded pitch.
int rootKeyOf(const TSfZone& z, const TSfSample& s) {
    if (z.get(genOverridingRootKey) >= 0 && z.get(genOverridingRootKey) <= 127)
        return z.get(genOverridingRootKey);
    return s.originalPitch <= 127 ? s.originalPitch : 60;
}

// The filter cut-off of a zone (at its key, modulators added) `t` seconds into a note: its
// initial cut-off, opened by the modulation envelope as far as that has come then.
double cutoffHz(const TSfZone& z, double t) {
    t -= seconds(z.get(genDelayModEnv));
    const double attack = seconds(z.get(genAttackModEnv));
    const double hold = seconds(z.get(genHoldModEnv));
    const double decay = seconds(z.get(genDecayModEnv));
    const double sustain = 1 - std::clamp(z.get(genSustainModEnv), 0, 1000) / 1000.0;
    double env = 0;
    if (t > 0)
        env = t < attack          ? t / attack
              : t < attack + hold ? 1.0
                                  : std::max(sustain, 1 - (t - attack - hold) / decay);
    const double cents = z.get(genInitialFilterFc) + z.get(genModEnvToFilterFc) * env;
    return 8.176 * std::pow(2.0, std::min(cents, 13500.0) / 1200);
}

// A zone as a note at velocity 100 on `key` plays it: what its modulators add there (the
// default ones included: velocity lowers the cut-off by 525 cents) on its generators.
TSfZone atKey(const TSfZone& z, int key) {
    TSfZone k = z;
    for (int g = 0; g < genCount; ++g)
        if (modulatable(g))
            k.gen[static_cast<std::size_t>(g)] +=
                static_cast<int>(std::lround(modulation(z.modulators, g, key, 100)));
    return k;
}

// What the modulators add to the attenuation (cB, counted in full as SoundFont players count
// them) beyond the default velocity curve, which the engine's own velocity formula plays.
double extraAttenuation(const TSfZone& z, int key) {
    return modulation(z.modulators, genInitialAttenuation, key, 100) -
           modulation(defaultModulators(), genInitialAttenuation, key, 100);
}

double seconds(int timecents) {
    return std::pow(2.0, std::clamp(timecents, -12000, 8000) / 1200.0);
}

std::string printable(const std::string& raw) {
    std::string out;
    for (const char c : raw) {
        const auto u = static_cast<unsigned char>(c);
        out += (u >= 32 && u < 127) ? c : '?';
    }
    return out;
}

} // namespace zb::importer
