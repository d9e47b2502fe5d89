// SPDX-License-Identifier: MIT
// The accordion's sound generator: musette reeds, bass, an oompah stab, the
// bellows' breath, puffs and tremolo, rendered block by block from the shared
// controls. Everything is sized at construction; rendering allocates nothing,
// locks nothing and makes no system call.
#pragma once

#include "accordion/AccordionParams.h"
#include "core/Xorshift.h"

#include <array>
#include <cstdint>

namespace orvane {

struct ChordKey {
    std::int32_t zone = -1;
    std::int32_t direction = 0; // -1 push, +1 pull, 0 none
    bool operator==(const ChordKey&) const = default;
};

struct ChordEntry {
    std::array<std::int32_t, 4> push{};
    int pushCount = 0;
    std::array<std::int32_t, 4> pull{};
    int pullCount = 0;
    std::int32_t pushBass = 0;
    std::int32_t pullBass = 0;
};

// What the voice synthesis reports while probed; nothing is recorded without a
// record, so the audio path pays nothing for it.
struct AccordionProbeStats {
    std::int64_t soundingRewrites = 0; // loads onto a bank that was still sounding
    // How evenly the musette reeds were spread around the cycle at the last
    // load into a cold bank: 0 when they start together, up to 2/3 when evenly
    // spaced.
    double reedPhaseSpread = 0;
};

struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0; // normalised by a0
};

struct BiquadState {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

class AccordionDSP {
public:
    static constexpr std::uint32_t defaultSeed = 0x9E3779B9u;
    static constexpr int blockFrames = 64;
    static constexpr int slotCount = 8;
    static constexpr int reedCount = 3;

    // One per zone, zone 0 with the lid wide open.
    static const std::array<ChordEntry, 6> chords;

    // A non-finite or non-positive sample rate falls back to 48 kHz; a zero seed
    // to the default one.
    explicit AccordionDSP(double sampleRate = 48000.0, std::uint32_t seed = defaultSeed,
                          bool humanises = true);

    // Writes `frames` samples to each channel. Real-time safe.
    void render(int frames, float* left, float* right, const AccordionParams& params);

    static double midiToFreq(double note);
    static double flushTiny(double x);
    static double clampedCutoff(double frequency, double sampleRate);

    double sampleRate() const { return sampleRate_; }
    // Null stops the probing. The record must outlive the probing.
    void setProbe(AccordionProbeStats* stats) { probe_ = stats; }

private:
    struct VoiceBank {
        ChordKey key;
        int toneCount = 0;
        double gain = 0;
        std::array<double, slotCount * reedCount> reedFreq{};
        std::array<double, slotCount * reedCount> effFreq{};
        std::array<double, slotCount * reedCount> reedPhase{};
        std::array<double, slotCount * reedCount> driftCents{};
        std::array<double, slotCount> noteLevel{};
        std::array<double, slotCount> noteGate{};
        std::array<int, slotCount> onsetDelay{};
        std::array<BiquadState, slotCount> lpL{}, lpR{}, pkL{}, pkR{};
        double bassAccent = 0;
        int stabDelay = 0;
        double stabAttack = 0;
        double stabEnv = 0;
    };

    static double reedPhaseSpread(const VoiceBank& bank);
    void setChord(VoiceBank& bank, std::int32_t zone, std::int32_t direction, bool retrigger);
    void driftBlock(VoiceBank& bank);
    void renderBank(VoiceBank& bank, double pulseMix, double& sumL, double& sumR);
    void renderBlock(int frames, float* left, float* right, const AccordionParams& params);

    double sampleRate_;
    double attackStep_, releaseStep_, airAttackStep_, airReleaseStep_, fadeStep_, enableStep_;
    double accentStep_, smoothK_, tremPhaseStep_;
    double lpMin_, lpSpan_, lpPow_, airLevel_;
    int puffSampleCount_;
    double puffLevel_, accentGain_, tremoloDepth_, gateStep_, bassAccentStep_;
    double stabAttackStep_, stabDecayStep_, pulseMin_, pulseSpan_, bassSustain_;
    double chordLevel_, bassLevel_, stabLevel_;
    double onsetRange_, stabDelayBase_, stabJitter_, driftLimit_;
    Biquad peakCoeff_, airCoeff_;
    bool humanises_;

    double pressure_ = 0, airEnv_ = 0, enabledGain_ = 0, volumeSmooth_ = 0;
    double tremDepth_ = 0, tremPhase_ = 0, accentEnv_ = 0;
    Biquad lpCoeff_;
    BiquadState airState_;
    Xorshift32 noise_;
    Xorshift32 human_;
    int puffSamplesLeft_ = 0;
    int puffTotal_ = 1;
    std::int32_t lastPuffCounter_ = 0;
    int currentBank_ = 0;
    ChordKey currentKey_;
    AccordionProbeStats* probe_ = nullptr;
    std::array<VoiceBank, 3> banks_{};
};

} // namespace orvane
