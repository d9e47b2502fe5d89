// SPDX-License-Identifier: MIT
#include "accordion/AccordionDSP.h"

#include "core/Tuning.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvane {

namespace {

constexpr double twoPi = 2.0 * std::numbers::pi;

double step(BiquadState& s, const Biquad& c, double x) {
    const double y =
        AccordionDSP::flushTiny(c.b0 * x + c.b1 * s.x1 + c.b2 * s.x2 - c.a1 * s.y1 - c.a2 * s.y2);
    s.x2 = s.x1;
    s.x1 = x;
    s.y2 = s.y1;
    s.y1 = y;
    return y;
}

Biquad lowPass(double frequency, double sampleRate) {
    const double w = twoPi * frequency / sampleRate;
    const double alpha = std::sin(w) * Tuning::accordionLowPassInverseQ;
    const double cosw = std::cos(w);
    const double a0 = 1.0 + alpha;
    return {(1.0 - cosw) / 2.0 / a0, (1.0 - cosw) / a0, (1.0 - cosw) / 2.0 / a0, -2.0 * cosw / a0,
            (1.0 - alpha) / a0};
}

Biquad peak(double frequency, double sampleRate) {
    const double w = twoPi * frequency / sampleRate;
    const double alpha = std::sin(w) * Tuning::accordionPeakAlphaScale;
    const double cosw = std::cos(w);
    const double a = Tuning::accordionPeakAmplitude;
    const double a0 = 1.0 + alpha / a;
    return {(1.0 + alpha * a) / a0, -2.0 * cosw / a0, (1.0 - alpha * a) / a0, -2.0 * cosw / a0,
            (1.0 - alpha / a) / a0};
}

Biquad bandPass(double frequency, double q, double sampleRate) {
    const double w = twoPi * frequency / sampleRate;
    const double alpha = std::sin(w) / (2.0 * q);
    const double a0 = 1.0 + alpha;
    return {alpha / a0, 0.0, -alpha / a0, -2.0 * std::cos(w) / a0, (1.0 - alpha) / a0};
}

double toward(double value, double target, double up, double down) {
    if (value < target) {
        return std::min(value + up, target);
    }
    if (value > target) {
        return std::max(value - down, target);
    }
    return value;
}

// The polyBLEP residual that rounds off a unit step at phase 0.
double blep(double t, double dt) {
    if (t < dt) {
        const double x = t / dt;
        return 2.0 * x - x * x - 1.0;
    }
    if (t > 1.0 - dt) {
        const double x = (t - 1.0) / dt;
        return x * x + 2.0 * x + 1.0;
    }
    return 0.0;
}

// Controls written by another thread may be anything; the voices only see sane ones.
double unitOrZero(float value) {
    return value >= 0.0f ? std::min(static_cast<double>(value), 1.0) : 0.0;
}

} // namespace

const std::array<ChordEntry, 6> AccordionDSP::chords{{
    {{60, 64, 67, 0}, 3, {55, 59, 62, 65}, 4, 36, 43},
    {{57, 60, 64, 0}, 3, {60, 64, 67, 0}, 3, 45, 36},
    {{53, 57, 60, 0}, 3, {57, 60, 64, 0}, 3, 41, 45},
    {{55, 59, 62, 0}, 3, {53, 57, 60, 0}, 3, 43, 41},
    {{62, 65, 69, 0}, 3, {55, 59, 62, 0}, 3, 50, 43},
    {{55, 59, 62, 65}, 4, {62, 65, 69, 0}, 3, 43, 50},
}};

AccordionDSP::AccordionDSP(double sampleRate, std::uint32_t seed, bool humanises)
    : sampleRate_(std::isfinite(sampleRate) && sampleRate > 0
                      ? sampleRate
                      : Tuning::accordionFallbackSampleRate),
      attackStep_(1.0 / (sampleRate_ * Tuning::accordionAttack)),
      releaseStep_(1.0 / (sampleRate_ * Tuning::accordionRelease)),
      airAttackStep_(1.0 / (sampleRate_ * Tuning::accordionAirAttack)),
      airReleaseStep_(1.0 / (sampleRate_ * Tuning::accordionAirRelease)),
      fadeStep_(1.0 / (sampleRate_ * Tuning::accordionCrossfade)),
      enableStep_(1.0 / (sampleRate_ * Tuning::accordionEnableTime)),
      accentStep_(1.0 / (sampleRate_ * Tuning::accordionAccentTime)),
      smoothK_(1.0 - std::exp(-1.0 / (sampleRate_ * Tuning::accordionSmoothTime))),
      tremPhaseStep_(twoPi * Tuning::accordionTremoloRate / sampleRate_),
      lpMin_(Tuning::accordionLpMin), lpSpan_(Tuning::accordionLpMax - Tuning::accordionLpMin),
      lpPow_(Tuning::accordionLpPow), airLevel_(Tuning::accordionAirLevel),
      puffSampleCount_(std::max(static_cast<int>(sampleRate_ * Tuning::accordionPuffTime), 1)),
      puffLevel_(Tuning::accordionPuffLevel), accentGain_(Tuning::accordionAccentGain),
      tremoloDepth_(Tuning::accordionTremoloDepth),
      gateStep_(1.0 / (sampleRate_ * Tuning::accordionGateTime)),
      bassAccentStep_(1.0 / (sampleRate_ * Tuning::accordionBassAccentTime)),
      stabAttackStep_(1.0 / (sampleRate_ * Tuning::accordionStabAttackTime)),
      stabDecayStep_(1.0 / (sampleRate_ * Tuning::accordionStabDecay)),
      pulseMin_(Tuning::accordionPulseMin),
      pulseSpan_(Tuning::accordionPulseMax - Tuning::accordionPulseMin),
      bassSustain_(Tuning::accordionBassSustain), chordLevel_(Tuning::accordionChordLevel),
      bassLevel_(Tuning::accordionBassLevel), stabLevel_(Tuning::accordionStabLevel),
      onsetRange_(sampleRate_ * Tuning::accordionOnsetMax),
      stabDelayBase_(sampleRate_ * Tuning::accordionStabDelay),
      stabJitter_(sampleRate_ * Tuning::accordionStabJitterTime),
      driftLimit_(Tuning::accordionDriftCents),
      peakCoeff_(peak(Tuning::accordionPeakFrequency, sampleRate_)),
      airCoeff_(bandPass(Tuning::accordionAirFrequency, Tuning::accordionAirQ, sampleRate_)),
      humanises_(humanises), lpCoeff_(lowPass(clampedCutoff(lpMin_, sampleRate_), sampleRate_)),
      noise_(49734321u), human_(seed == 0 ? defaultSeed : seed) {}

double AccordionDSP::midiToFreq(double note) {
    return 440.0 * std::exp2((note - 69.0) / 12.0);
}

double AccordionDSP::flushTiny(double x) {
    return std::abs(x) < 1e-18 ? 0.0 : x;
}

double AccordionDSP::clampedCutoff(double frequency, double sampleRate) {
    return std::min(std::max(frequency, 20.0), 0.45 * sampleRate);
}

double AccordionDSP::reedPhaseSpread(const VoiceBank& bank) {
    double total = 0;
    int slots = 0;
    for (int s = 0; s < slotCount; ++s) {
        if (!(bank.noteLevel[static_cast<std::size_t>(s)] > 0)) {
            continue;
        }
        std::array<double, 3> p{};
        for (int r = 0; r < reedCount; ++r) {
            p[static_cast<std::size_t>(r)] = bank.reedPhase[static_cast<std::size_t>(s * 3 + r)];
        }
        std::sort(p.begin(), p.end());
        const double gap = std::max({p[1] - p[0], p[2] - p[1], p[0] - p[2] + 1.0});
        total += 1.0 - gap;
        ++slots;
    }
    return slots == 0 ? 0.0 : total / slots;
}

void AccordionDSP::setChord(VoiceBank& bank, std::int32_t zone, std::int32_t direction,
                            bool retrigger) {
    if (probe_ && bank.gain > Tuning::accordionSilentBankGain) {
        ++probe_->soundingRewrites;
    }
    bank.key = {zone, direction};
    if ((direction != -1 && direction != 1) || zone < 0 ||
        zone >= static_cast<int>(chords.size())) {
        bank.toneCount = 0;
        if (probe_) {
            probe_->reedPhaseSpread = 0;
        }
        return;
    }
    const ChordEntry& entry = chords[static_cast<std::size_t>(zone)];
    const bool push = direction < 0;
    const auto& notes = push ? entry.push : entry.pull;
    bank.toneCount = std::min(push ? entry.pushCount : entry.pullCount, 4);
    const std::int32_t bass = push ? entry.pushBass : entry.pullBass;

    for (int s = 0; s < slotCount; ++s) {
        const auto slot = static_cast<std::size_t>(s);
        std::int32_t note = 0;
        double level = 0;
        if (s < 4) {
            if (s >= bank.toneCount) {
                bank.noteLevel[slot] = 0;
                bank.noteGate[slot] = 1;
                bank.onsetDelay[slot] = 0;
                bank.lpL[slot] = bank.lpR[slot] = bank.pkL[slot] = bank.pkR[slot] = {};
                continue;
            }
            note = notes[slot];
            level = chordLevel_;
        } else if (s == Tuning::accordionBassSlot) {
            note = bass;
            level = bassLevel_;
        } else {
            note = notes[slot - 5] - 12;
            level = stabLevel_;
        }
        bank.noteLevel[slot] = level;
        if (note >= 1) {
            const double frequency = midiToFreq(note);
            for (int r = 0; r < reedCount; ++r) {
                const auto reed = slot * 3 + static_cast<std::size_t>(r);
                bank.reedFreq[reed] = bank.effFreq[reed] =
                    frequency * Tuning::accordionDetune[static_cast<std::size_t>(r)];
                bank.reedPhase[reed] =
                    humanises_ ? human_.uniform()
                               : Tuning::accordionFixedPhase[static_cast<std::size_t>(r)];
            }
        }
        bank.lpL[slot] = bank.lpR[slot] = bank.pkL[slot] = bank.pkR[slot] = {};
        if (humanises_ && s <= Tuning::accordionBassSlot) {
            bank.onsetDelay[slot] = static_cast<int>(onsetRange_ * human_.uniform());
            bank.noteGate[slot] = 0;
        } else {
            bank.onsetDelay[slot] = 0;
            bank.noteGate[slot] = 1;
        }
    }

    bank.bassAccent = retrigger ? 1.0 : 0.0;
    if (retrigger) {
        const double jitter = humanises_ ? stabJitter_ * human_.uniform() : 0.0;
        bank.stabDelay = static_cast<int>(stabDelayBase_ + jitter);
        bank.stabAttack = 0;
        bank.stabEnv = 1;
    } else {
        bank.stabDelay = 0;
        bank.stabAttack = 0;
        bank.stabEnv = 0;
    }
    if (probe_) {
        probe_->reedPhaseSpread = reedPhaseSpread(bank);
    }
}

void AccordionDSP::driftBlock(VoiceBank& bank) {
    for (std::size_t i = 0; i < bank.driftCents.size(); ++i) {
        const double u = human_.uniform();
        bank.driftCents[i] =
            std::clamp(bank.driftCents[i] + (2.0 * u - 1.0) * Tuning::accordionDriftStepCents,
                       -driftLimit_, driftLimit_);
        bank.effFreq[i] =
            bank.reedFreq[i] * (1.0 + bank.driftCents[i] * Tuning::accordionCentsToRatio);
    }
}

void AccordionDSP::renderBank(VoiceBank& bank, double pulseMix, double& sumL, double& sumR) {
    if (bank.toneCount == 0) {
        return;
    }
    for (int s = 0; s < slotCount; ++s) {
        const auto slot = static_cast<std::size_t>(s);
        if (bank.onsetDelay[slot] > 0) {
            --bank.onsetDelay[slot];
        } else {
            bank.noteGate[slot] = std::min(bank.noteGate[slot] + gateStep_, 1.0);
        }
    }
    bank.bassAccent = std::max(bank.bassAccent - bassAccentStep_, 0.0);
    if (bank.stabDelay > 0) {
        --bank.stabDelay;
    } else {
        bank.stabAttack = std::min(bank.stabAttack + stabAttackStep_, 1.0);
        bank.stabEnv = std::max(bank.stabEnv - stabDecayStep_, 0.0);
    }

    for (int s = 0; s < slotCount; ++s) {
        const auto slot = static_cast<std::size_t>(s);
        double level = bank.noteLevel[slot] * bank.noteGate[slot];
        if (s == Tuning::accordionBassSlot) {
            level *= bassSustain_ + bank.bassAccent * (1.0 - bassSustain_);
        } else if (s > Tuning::accordionBassSlot) {
            level *= bank.stabAttack * bank.stabEnv;
        }
        const double amp = bank.gain * level;
        if (amp <= Tuning::accordionQuietSlotAmp) {
            continue;
        }
        double inL = 0, inR = 0;
        for (int r = 0; r < reedCount; ++r) {
            const auto reed = slot * 3 + static_cast<std::size_t>(r);
            const double dt = bank.effFreq[reed] / sampleRate_;
            double phase = bank.reedPhase[reed] + dt;
            if (phase >= 1.0) {
                phase -= 1.0;
            }
            bank.reedPhase[reed] = phase;
            const double saw = 2.0 * phase - 1.0 - blep(phase, dt);
            double phase2 = phase - Tuning::accordionPulseDuty;
            if (phase2 < 0) {
                phase2 += 1.0;
            }
            const double pulse = (phase < Tuning::accordionPulseDuty ? 1.0 : -1.0) +
                                 blep(phase, dt) - blep(phase2, dt);
            const double v =
                ((1.0 - pulseMix) * saw + pulseMix * Tuning::accordionPulseShare * pulse) *
                Tuning::accordionReedGain;
            const double pan = Tuning::accordionReedPan[static_cast<std::size_t>(r)];
            inL += (1.0 - pan) * v;
            inR += (1.0 + pan) * v;
        }
        const double outL = step(bank.pkL[slot], peakCoeff_, step(bank.lpL[slot], lpCoeff_, inL));
        const double outR = step(bank.pkR[slot], peakCoeff_, step(bank.lpR[slot], lpCoeff_, inR));
        sumL += amp * outL;
        sumR += amp * outR;
    }
}

void AccordionDSP::render(int frames, float* left, float* right, const AccordionParams& params) {
    for (int start = 0; start < frames; start += blockFrames) {
        renderBlock(std::min(blockFrames, frames - start), left + start, right + start, params);
    }
}

void AccordionDSP::renderBlock(int frames, float* left, float* right,
                               const AccordionParams& params) {
    const double volume = unitOrZero(params.volume.load(std::memory_order_relaxed));
    const double tremolo = unitOrZero(params.tremolo.load(std::memory_order_relaxed));
    const double target = unitOrZero(params.targetPressure.load(std::memory_order_relaxed));
    const bool enabled = params.enabled.load(std::memory_order_relaxed) != 0;
    const std::int32_t puffCounter = params.puffCounter.load(std::memory_order_relaxed);
    const std::int32_t direction = params.direction.load(std::memory_order_relaxed);
    const std::int32_t zone = params.zone.load(std::memory_order_relaxed);

    // Brightness follows the bellows pressure.
    lpCoeff_ = lowPass(clampedCutoff(lpMin_ + lpSpan_ * std::pow(pressure_, lpPow_), sampleRate_),
                       sampleRate_);
    const double airShape = std::pow(airEnv_, 0.55);
    if (humanises_) {
        for (VoiceBank& bank : banks_) {
            driftBlock(bank);
        }
    }

    // A chord change loads a silent bank and fades over to it, so a sounding
    // note is never rewritten; with no silent bank free the change waits.
    const ChordKey wanted{zone, direction};
    if (wanted != currentKey_) {
        const int a = (currentBank_ + 1) % 3;
        const int b = (currentBank_ + 2) % 3;
        const int first = std::min(a, b);
        const int second = std::max(a, b);
        const int cold = banks_[static_cast<std::size_t>(second)].gain <
                                 banks_[static_cast<std::size_t>(first)].gain
                             ? second
                             : first;
        VoiceBank& bank = banks_[static_cast<std::size_t>(cold)];
        if (bank.gain <= Tuning::accordionSilentBankGain) {
            setChord(bank, zone, direction, zone != currentKey_.zone);
            currentBank_ = cold;
            currentKey_ = wanted;
        }
    }
    const double pulse = std::pow(pressure_, 0.7);

    for (int i = 0; i < frames; ++i) {
        pressure_ = toward(pressure_, target, attackStep_, releaseStep_);
        airEnv_ = toward(airEnv_, target, airAttackStep_, airReleaseStep_);
        enabledGain_ = toward(enabledGain_, enabled ? 1.0 : 0.0, enableStep_, enableStep_);
        tremDepth_ += (tremolo - tremDepth_) * smoothK_;
        volumeSmooth_ += (volume - volumeSmooth_) * smoothK_;
        tremPhase_ += tremPhaseStep_;
        if (tremPhase_ >= twoPi) {
            tremPhase_ -= twoPi;
        }

        if (puffCounter == lastPuffCounter_) {
            accentEnv_ = std::max(accentEnv_ - accentStep_, 0.0);
        } else {
            lastPuffCounter_ = puffCounter;
            puffTotal_ = puffSamplesLeft_ = puffSampleCount_;
            accentEnv_ = std::max(1.0 - accentStep_, 0.0);
        }

        for (int k = 0; k < 3; ++k) {
            VoiceBank& bank = banks_[static_cast<std::size_t>(k)];
            bank.gain = k == currentBank_ ? std::min(bank.gain + fadeStep_, 1.0)
                                          : std::max(bank.gain - fadeStep_, 0.0);
        }

        const double pulseMix = pulseMin_ + pulseSpan_ * pressure_;
        double sumL = 0, sumR = 0;
        for (VoiceBank& bank : banks_) {
            if (bank.gain > Tuning::accordionSilentBankGain) {
                renderBank(bank, pulseMix, sumL, sumR);
            }
        }

        const double air = airLevel_ * airShape * step(airState_, airCoeff_, noise_.signedNoise());
        double puff = 0;
        if (puffSamplesLeft_ > 0) {
            puff = static_cast<double>(puffSamplesLeft_) / puffTotal_ * noise_.signedNoise() *
                   puffLevel_;
            --puffSamplesLeft_;
        }

        double trem = 1.0;
        if (tremDepth_ <= 1e-9) {
            tremDepth_ = 0;
        } else {
            trem = 1.0 - tremDepth_ * tremoloDepth_ * (0.5 * std::sin(tremPhase_) + 0.5);
        }
        const double g = trem * pulse * (1.0 + accentGain_ * accentEnv_);
        const double out = Tuning::accordionOutputCeiling * volumeSmooth_ * enabledGain_;
        left[i] = static_cast<float>(
            std::tanh(Tuning::accordionOutputDrive * (puff + air + sumL * g)) * out);
        right[i] = static_cast<float>(
            std::tanh(Tuning::accordionOutputDrive * (puff + air + sumR * g)) * out);
    }
}

} // namespace orvane
