// SPDX-License-Identifier: MIT
// Every number that shapes the effect's feel, timing, look and sound. Code
// elsewhere cites these by name and never repeats a value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace orvane::Tuning {

// Units: angles in degrees of lid opening (0 = closed), angular speeds in
// degrees per second (positive = opening), times in seconds, frequencies in
// hertz; levels, gains and fractions are plain ratios.

// Motion gate.
inline constexpr double armVelocity = 6.0;
inline constexpr double stillVelocity = 1.5;
inline constexpr double armMargin = 20.0;
inline constexpr double fadeBand = 8.0;
inline constexpr double settleTime = 0.6;
inline constexpr double coverMinAngle = 30.0;
inline constexpr double sleepAngle = 20.0;
inline constexpr double clearDuration = 0.18;
inline constexpr double clearHysteresis = 2.0;
inline constexpr double armTimeout = 1.5;
inline constexpr double stillRange = 1.5;
inline constexpr double stillEntryTime = 0.2;
inline constexpr double stillNetTravel = 0.35;
inline constexpr double travelWindow = 1.0;

// Fold mapping and settle spring.
inline constexpr double closedCap = 25.0;
inline constexpr double springMaxStep = 1.0 / 30.0;
inline constexpr double perspectivePowMax = 1.6;
inline constexpr double settleOmega = 16.0; // rad/s
inline constexpr double settleDamping = 0.72;

// Clear angle and angle limits.
inline constexpr double defaultClearAngle = 100.0;
inline constexpr double minClearAngle = 70.0;
inline constexpr double maxClearAngle = 130.0;
inline constexpr double maxObservedAngle = 135.0;
inline constexpr double lidCalibrationMinAngle = 30.0;
inline constexpr double lidCalibrationMaxAngle = 150.0;

// Angle filter (One Euro).
inline constexpr double oneEuroMinCutoff = 1.2;
inline constexpr double oneEuroBeta = 0.2; // Hz per deg/s
inline constexpr double oneEuroDerivativeCutoff = 1.0;
inline constexpr double oneEuroSpeedCutoff = 4.0;

// A live overlay may drop to this many frames a second when the system is busy.
inline constexpr std::int64_t overlayMinFrameRate = 30;

// Thermal zones have no events: read them this often.
inline constexpr double thermalPollInterval = 5.0;

// Lid sensor polling.
inline constexpr double sensorHzActive = 120.0;
inline constexpr double sensorHzIdle = 10.0;
inline constexpr double sensorHzAccordion = 30.0;
inline constexpr std::int64_t sensorLeewayMs = 20;
inline constexpr std::int64_t sensorLeewayActiveMs = 1;
inline constexpr std::int64_t sensorMaxConsecutiveFailures = 12;
inline constexpr double sensorReopenInterval = 5.0;
// The probe's reads of the sensor: how many, and the pause after each.
inline constexpr int probeReads = 10;
inline constexpr double probeReadInterval = 0.1;
// The ChromeOS EC lid angle's value for "hinge too close to vertical to tell".
inline constexpr double crosEcUnreliableAngle = 500.0;
// Two accelerometers give a hinge angle only when gravity, projected across
// the hinge, keeps this share of its length (hinge at most ~70 degrees from
// vertical: beyond that the estimate is mostly noise) ...
inline constexpr double hingeMinProjection = 0.35;
// ... and not within this many degrees of closed or folded all the way back,
// which the two readings alone cannot tell apart.
inline constexpr double hingeFoldAmbiguity = 10.0;

// Offscreen render geometry.
inline constexpr std::int64_t renderWidth = 1512; // px
inline constexpr std::int64_t renderHeight = 982; // px
inline constexpr std::int64_t sheetCellWidth = 378;
inline constexpr std::int64_t sheetCellHeight = 245;
inline constexpr std::array<double, 4> sheetAngles{110.0, 90.0, 70.0, 50.0};
inline constexpr double gpuBudgetMs = 2.0;
inline constexpr double gpuTimingAngle = 70.0;
inline constexpr double renderSliderDefault = 0.5; // perspective, blur and shadow

// Screenshots of the program's own windows and covers.
inline constexpr double shotLidAngle = 104.0;        // deg, the demo lid's reading
inline constexpr double shotCoverAngle = 48.0;       // deg, where the covered sheet rests
inline constexpr double shotVeilLevel = 0.6;         // the veil's frost coverage
inline constexpr double shotWallTime = 1796636460.0; // s since the epoch: 7 Dec 2026, 09:41 UTC
inline constexpr double shotPictureTimeout = 60.0;   // s to wait for the windows' fold pictures

// Renderer and sheet geometry.
inline constexpr double blurSkipThreshold = 0.01;
inline constexpr double blurOffsetBase = 0.5; // texels
inline constexpr double blurOffsetSpan = 2.5; // texels
inline constexpr double foldRotationMin = 85.0;
inline constexpr double foldRotationMax = 100.0;
inline constexpr double foldCameraDistance = 1.5; // sheet is 2 wide
inline constexpr double bendRadiusOpen = 0.9;     // sheet heights
inline constexpr double bendRadiusClosed = 0.18;  // sheet heights
inline constexpr std::int64_t meshColumns = 32;
inline constexpr std::int64_t meshRows = 64;
inline constexpr double stretchMax = 0.12;
inline constexpr double stretchReach = 1.3;
inline constexpr double stretchReachMin = 0.2;
inline constexpr double cornerRadiusFraction = 0.014;
inline constexpr double motionBlurGain = 0.00018; // per deg/s
inline constexpr double motionBlurMax = 0.018;

// Shader constants, printed into the program text.
inline constexpr double backdropDim = 0.22;
inline constexpr double depthBlurGain = 6.0;
inline constexpr double frostFloor = 0.55;
inline constexpr double depthShade = 0.55;
inline constexpr double sheenStrength = 0.26;
inline constexpr double sheenPower = 10.0;
inline constexpr double fresnelStrength = 0.1;
inline constexpr double lightElevation = 0.94;
inline constexpr double lightDepth = 0.34;
inline constexpr double edgeShadowStrength = 0.6;
inline constexpr double edgeShadowReach = 0.03; // of the output height
inline constexpr std::int64_t edgeTableCount = 32;

// Movie render script.
inline constexpr double movieOpenAngle = 115.0;
inline constexpr double movieClosedAngle = 45.0;
inline constexpr double moviePreroll = 0.3;
inline constexpr double movieCloseTime = 1.2;
inline constexpr double movieHoldClosed = 0.8;
inline constexpr double movieOpenTime = 0.9;
inline constexpr double movieHoldOpen = 0.6;
inline constexpr std::int64_t movieDefaultFPS = 60;
inline constexpr std::int64_t movieFrameStride = 6;

// Fold animator and overlay motion.
inline constexpr double fadeTeardownMax = 0.4;
inline constexpr double animFrameGapRebase = 0.1;
inline constexpr double animResponse = 0.3;
inline constexpr double animDamping = 0.88;
inline constexpr double animRestBand = 0.4;
inline constexpr double animVelocityCutoff = 16.0;
inline constexpr double animHorizon = 1.0 / 30.0;
inline constexpr double animSubstep = 1.0 / 240.0;
inline constexpr double animMaxGap = 0.25;
inline constexpr double animJumpReset = 8.0;
inline constexpr double animBrakeGain = 2.0;
inline constexpr double animBrakeAngle = 1.0;
inline constexpr double animBrakeSpeed = 60.0;

// Capture and frame rate.
// Distinct frames the panel keeps after handing them to the renderer.
inline constexpr std::int64_t recentFrameCount = 2;
// Deeper than the frames kept and the one waiting, or the capture runs out of textures.
inline constexpr std::int64_t captureQueueDepth = recentFrameCount + 2;
inline constexpr double captureRetryInterval = 5.0;
// The overlay checks its place in the stack at most this often: a window that raises
// itself over and over costs a few checks a second, not a fight.
inline constexpr double stackCheckInterval = 0.1;

// A compositor plug-in that hears no frame for this long settles the sheet and clears:
// a daemon that dies mid-fold never leaves a folded screen.
inline constexpr double compositorSilence = 0.5;
// How long it takes the sheet there, fading out from where it was.
inline constexpr double compositorSettle = 0.25;
// A held fold (a cover) sends its frame again this often, so the plug-in knows the daemon lives.
inline constexpr double compositorKeepAlive = 0.2;
// While the compositor's plug-in is gone (the compositor restarted), it is asked to load it
// again this often.
inline constexpr double compositorReloadInterval = 5.0;

// The touchpad's tick on a clear.
inline constexpr int hapticTickMs = 20;
inline constexpr std::uint16_t hapticTickStrength = 0xa000;
inline constexpr std::int64_t fpsBattery = 60;
inline constexpr std::int64_t fpsThermal = 30;

// Permission checks.
inline constexpr double permissionRecheck = 1.0;
inline constexpr double permissionDenialReuse = 1.0;

// Manual preview.
inline constexpr double previewIdleTimeout = 30.0;
inline constexpr double previewIdleCheckInterval = 1.0;
// The lid angle gate steps assume before the first sample arrives.
inline constexpr double initialLidAngle = 120.0;
// The sheet under a cover: fully folded and frosted.
inline constexpr double coverSheetBlur = 1.0;
inline constexpr double manualAngleMin = 25.0;
inline constexpr double manualAngleMax = 130.0;
inline constexpr double defaultManualAngle = 70.0;
inline constexpr double previewURLDefaultSeconds = 8.0;
inline constexpr double previewURLMinSeconds = 1.0;
inline constexpr double previewURLMaxSeconds = 30.0;

// Welcome window: the lid travel, while it is open, that shows the sensor works.
inline constexpr double welcomeSensorTravel = 3.0;
// Its fold animation's frame rate.
inline constexpr double welcomeAnimationFPS = 30.0;

// Settings and welcome pictures: the live preview, the style thumbnails and the welcome
// animation, which swings the lid about a middle angle.
inline constexpr int previewWidth = 960;    // px
inline constexpr int previewHeight = 624;   // px
inline constexpr int thumbnailWidth = 480;  // px, also the welcome animation's frames
inline constexpr int thumbnailHeight = 300; // px
inline constexpr double thumbnailAngle = 70.0;
inline constexpr int welcomeFrameCount = 36;
inline constexpr double welcomeMiddleAngle = 80.0;
inline constexpr double welcomeSwingAngle = 30.0;
// How long the wallpaper's lookup waits for the desktop portal or gsettings.
inline constexpr int wallpaperLookupTimeoutMs = 2000;

// Status item and cover.
inline constexpr double iconRedrawMinDelta = 3.0;
inline constexpr double veilGrowDuration = 0.5;
inline constexpr double coverVeilDim = 0.2;
inline constexpr double coverClockDim = 0.45;

// Accordion and sound.
inline constexpr double accordionVolumeDefault = 0.6;
inline constexpr double audioSilenceTimeout = 2.0;
inline constexpr double audioEngineRetryInterval = 1.0;
inline constexpr std::array<double, 5> accordionZoneEdges{115.0, 95.0, 75.0, 55.0, 37.0};
inline constexpr double accordionZoneHysteresis = 2.0;
inline constexpr double accordionFullSpeed = 90.0;
inline constexpr double accordionCrossfade = 0.045;
inline constexpr double accordionAttack = 0.03;
inline constexpr double accordionRelease = 0.15;
inline constexpr double accordionAirAttack = 0.06;
inline constexpr double accordionAirRelease = 0.4;
inline constexpr double accordionLpMin = 500.0;
inline constexpr double accordionLpMax = 6000.0;
inline constexpr double accordionLpPow = 1.5;
inline constexpr double accordionPulseMin = 0.15;
inline constexpr double accordionPulseMax = 0.65;
inline constexpr double accordionAirLevel = 0.08;
inline constexpr double accordionAirQ = 2.5;
inline constexpr double accordionAccentGain = 0.6;
inline constexpr double accordionAccentTime = 0.09;
inline constexpr double accordionPuffTime = 0.04;
inline constexpr double accordionPuffLevel = 0.3;
inline constexpr double accordionShakePerReversal = 0.34;
inline constexpr double accordionShakeDecay = 0.9;
inline constexpr double accordionShakeThreshold = 0.34;
inline constexpr double accordionTremoloRate = 8.5;
inline constexpr double accordionTremoloDepth = 0.55;
inline constexpr double accordionChordLevel = 0.2;
inline constexpr double accordionBassLevel = 0.14;
inline constexpr double accordionBassSustain = 0.55;
inline constexpr double accordionBassAccentTime = 0.25;
inline constexpr double accordionStabDelay = 0.15;
inline constexpr double accordionStabDecay = 0.3;
inline constexpr double accordionStabLevel = 0.12;
inline constexpr double accordionOnsetMax = 0.025;
inline constexpr double accordionDriftCents = 6.0;

// The reeds' voices: smoothing, filters, drift, the output stage.
inline constexpr double accordionFallbackSampleRate = 48000.0;
inline constexpr double accordionEnableTime = 0.01;
inline constexpr double accordionSmoothTime = 0.02;
inline constexpr double accordionGateTime = 0.012;
inline constexpr double accordionStabAttackTime = 0.01;
inline constexpr double accordionStabJitterTime = 0.02;
inline constexpr double accordionPeakFrequency = 1200.0;
inline constexpr double accordionPeakAlphaScale = 0.25;             // sin ω / (2 Q) with Q = 2
inline constexpr double accordionPeakAmplitude = 1.333521432163324; // 10^(5/40), +5 dB
inline constexpr double accordionAirFrequency = 500.0;
inline constexpr double accordionLowPassInverseQ = 1.0 / 1.4142;
inline constexpr double accordionSilentBankGain = 0.0001;
inline constexpr double accordionQuietSlotAmp = 1e-5;
inline constexpr double accordionDriftStepCents = 0.05;
inline constexpr double accordionCentsToRatio = 0.0005778;
inline constexpr double accordionPulseDuty = 0.35;
inline constexpr double accordionPulseShare = 0.6;
inline constexpr double accordionReedGain = 0.85;
inline constexpr int accordionBassSlot = 4;
inline constexpr double accordionOutputDrive = 0.9;
inline constexpr double accordionOutputCeiling = 0.5;
inline constexpr std::array<double, 3> accordionDetune{1.0, 1.005212140041476, 0.9959648048147479};
inline constexpr std::array<double, 3> accordionReedPan{0.0, -0.2, 0.2};
inline constexpr std::array<double, 3> accordionFixedPhase{0.0, 0.37, 0.71};

// The accordion's audio device.
inline constexpr int accordionPreferredRate = 48000;
inline constexpr int accordionSourceChannels = 2;
inline constexpr float accordionAudiblePressure = 0.01f;
inline constexpr double accordionSilenceCheckInterval = 0.5;

// The bellows model.
// Repeated or backward time stamps count as a very short step.
inline constexpr double accordionMinimumStep = 0.0001;
// Below this pressure the lid counts as resting and keeps its direction.
inline constexpr double accordionDirectionPressure = 0.05;

// What other programs hand us: a window's process files, a later start's message,
// the URLs remembered so a bad one is logged once.
inline constexpr std::size_t foreignFileBytes = 4096;
inline constexpr double foreignFileDeadline = 0.05;
inline constexpr int foreignFileReaders = 4;
inline constexpr std::size_t loggedURLsKept = 64;
inline constexpr std::size_t instanceMessageBytes = 64 * 1024;
inline constexpr double instanceAnswerTime = 2.0;
inline constexpr double instanceClientTime = 2.0;
// Out of file descriptors, the instance tries accepting again after this.
inline constexpr double instanceAcceptRetry = 0.25;
inline constexpr std::size_t loggedURLChars = 200;
// Longs of a window property read: an app id or a window, with room to spare.
inline constexpr long windowPropertyLongs = 1024;

} // namespace orvane::Tuning
