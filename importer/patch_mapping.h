#pragma once

#include <cstdint>
#include <string>

// How the sound of one SoundFont zone becomes the numbers of one PRG line. Pure functions, so
// that each rule can be checked on its own; TSfImporter applies them zone by zone.
namespace zb::importer {

// Sensitivities written into every line. The level formula of the compiler is
// (10^((v*Sv + (e-127)*Sx) / 12800) - 1) * volume: with Sv = 100 velocity 64 sounds 12 dB
// below velocity 127, and with Sx = 86 expression 64 sounds 12 dB below 127 (at velocity 100),
// both as the square-law curves of General MIDI players. Pressure and release velocity move
// nothing in those players, a full pitch bend is 2 semitones by default.
inline constexpr int kVelocitySensitivity = 100;
inline constexpr int kPressureSensitivity = 0;
inline constexpr int kExpressionSensitivity = 86;
inline constexpr int kReleaseSensitivity = 0;
inline constexpr int kPitchBendRange = 2;
inline constexpr int kOutputRate = 22050; // every exported WAV is resampled to the engine's rate

// Full modulation (controller 1 at 127) gives this vibrato depth, as the default modulator of
// SoundFont players does.
inline constexpr double kVibratoCents = 50.0;

// Overall level: the amplitude of a centred note at velocity 100, volume 100 and expression 127
// of a zone without attenuation, relative to its sample's own amplitude, per channel. Chosen
// so that typical General MIDI songs come out near -20 dBFS RMS.
inline constexpr double kLevelScale = 0.24;

// Initial attenuation counts with this factor, as in common SoundFont players (the factor of
// the hardware the format was made for), so that the balance between programs follows them.
inline constexpr double kAttenuationFactor = 0.4;

struct TEnvelope {
    int attackLength = 0; // ms
    double attackFactor = 1;
    int decayLength = 0; // ms
    double decayFactor = 1;
    double sustainSlope = 0;  // level per second while held
    double releaseSlope = -1; // level per second after the release, always below 0
};

// The volume envelope of a zone (times in seconds; sustain as attenuation in dB; decay and
// release as the times of a 100 dB fall) as the engine's straight segments: the decay runs to
// the sustain level when that is at most 20 dB down, else in two lines that follow the
// logarithmic fall to -12 dB and then to silence where it reaches -30 dB; the release ends
// where the logarithmic release reaches -30 dB, after at least 10 ms.
TEnvelope mapEnvelope(double delay, double attack, double hold, double decay, double sustainDb,
                      double release);

// One of the two lines that together follow a logarithmic decay towards silence: flat through
// the hold, then straight to silence `reach` times the decay time (a fall of 100 dB) later.
TEnvelope pairedDecay(const TEnvelope& e, double hold, double decay, double reach);

// The level (0..1) of an envelope `seconds` after the note started, as long as it is held.
double levelAt(const TEnvelope& e, double seconds);

// The engine ends the attack and the decay at sample positions (the lengths x 22.05 frames
// into the sample), not at times: at a pitch step of r times the base key's they last 1/r as
// long and reach 1/r of their level. This scales lengths and factors by r so that a line
// sounds its envelope in time. Once sustaining, a looping line plays only its loop, so the
// decay lasts at least until the loop's start (`loopStartMs`, in ms at the base key) and
// reaches the level the envelope has then: the sample's recorded onset is heard in full. For
// a looping line the decay ends before `limitMs` (the loop's end; the position never passes
// it): a longer decay is cut there at the level it has reached, and a sustain slope goes on to
// silence where the full envelope would have reached it (a sustaining sound holds the level
// reached). A decay too steep for the factors of a line without attack gets a 1 ms attack.
TEnvelope fitEnvelope(const TEnvelope& time, double r, double limitMs, double loopStartMs = 0);

// SoundFont pan (-500 full left .. 500 full right) as a panpot (127 full left .. 0 full right).
int panpotOf(int sfPan);

// The base volume that gives a line the per-channel amplitude `amplitude` (relative to the
// WAV data) at the reference controllers, with the power of a panned line kept equal to that
// of a centred one, as the constant-power pan of SoundFont players does.
std::int64_t baseVolumeFor(double amplitude, int panpot);

// The amplitude per channel a line makes at the reference controllers (inverse of the above,
// for centred lines).
double referenceAmplitude(std::int64_t baseVolume);

// Modulation sensitivity giving kVibratoCents at full modulation for `key` on a line whose
// base key is `baseKey` (the engine's vibrato is a fixed step offset, so it depends on the key).
int modulationSensitivityFor(int key, int baseKey);

// Vibrato rate field from a frequency in Hz: 1..100.
int modulationRateFor(double hz);

// "C5", "C#4" ...: the key code of a key 0..131.
std::string keyCode(int key);

struct TPrgLineValues {
    int keyLow = 0, keyHigh = 0;
    std::string wavName;
    int baseKey = 60;
    std::int64_t baseVolume = 1;
    int panpot = 64;
    int modulationSensitivity = 0;
    int modulationRate = 5;
    TEnvelope envelope;
    std::int64_t startPosition = 0, endPosition = 0;
    std::int64_t loopStart = -1, loopEnd = -1;
};

// The text of one entry line (without line end).
std::string formatPrgLine(const TPrgLineValues& v);

} // namespace zb::importer
