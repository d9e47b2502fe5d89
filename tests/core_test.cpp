// SPDX-License-Identifier: MIT
#include "core/RecentTexts.h"
#include "core/Text.h"
#include "core/Wav.h"
#include "core/Xorshift.h"

#include <doctest/doctest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

using namespace orvane;

TEST_CASE("the xorshift generator follows its three shifts") {
    Xorshift32 generator(1);
    // 1 -> 1 ^ (1 << 13) = 8193 -> 8193 ^ (8193 >> 17) = 8193 -> 8193 ^ (8193 << 5) = 270369
    CHECK(generator.next() == 270369u);
}

TEST_CASE("the generator's values stay in their ranges and spread out") {
    Xorshift32 generator(439041101u);
    double lowest = 1;
    double highest = 0;
    double sum = 0;
    double noiseLow = 1;
    double noiseHigh = -1;
    constexpr int count = 20000;
    for (int i = 0; i < count; ++i) {
        const double u = generator.uniform();
        REQUIRE(u >= 0.0);
        REQUIRE(u < 1.0);
        lowest = std::min(lowest, u);
        highest = std::max(highest, u);
        sum += u;
        const double w = generator.signedNoise();
        REQUIRE(w >= -1.0000001);
        REQUIRE(w <= 1.0);
        noiseLow = std::min(noiseLow, w);
        noiseHigh = std::max(noiseHigh, w);
    }
    CHECK(lowest < 0.01);
    CHECK(highest > 0.99);
    CHECK(sum / count == doctest::Approx(0.5).epsilon(0.02));
    CHECK(noiseLow < -0.98);
    CHECK(noiseHigh > 0.98);
}

TEST_CASE("lower-casing touches ASCII letters only") {
    CHECK(asciiLowercased("US.Zoom.Zoom") == "us.zoom.zoom");
    CHECK(asciiLowercased("Ä-1_z") == "Ä-1_z");
}

TEST_CASE("natural order ignores case and reads numbers by value") {
    CHECK(naturalLess("app 9", "App 10"));
    CHECK_FALSE(naturalLess("App 10", "app 9"));
    CHECK(naturalLess("Firefox", "gimp"));
    CHECK(naturalLess("a", "ab"));
    CHECK_FALSE(naturalLess("ab", "a"));
    CHECK(naturalLess("file007", "file8"));
    CHECK_FALSE(naturalLess("Zoom", "zoom"));
    CHECK_FALSE(naturalLess("zoom", "Zoom"));
    CHECK(naturalLess("x99999999999999999999998", "x99999999999999999999999"));
    CHECK_FALSE(naturalLess("", ""));
    CHECK(naturalLess("", "a"));
}

TEST_CASE("a stereo WAV file is a canonical header, then the samples, left before right") {
    const std::vector<float> left{0.0f, 0.5f, 1.0f};
    const std::vector<float> right{-0.5f, -1.0f, 3.0f};
    const auto encoded = Wav::encodeStereo16(left.data(), right.data(), 3, 44100);
    REQUIRE(encoded);
    const std::vector<std::uint8_t>& b = *encoded;
    REQUIRE(b.size() == Wav::headerSize + 3 * 4);
    const auto tag = [&b](std::size_t at) {
        return std::string(b.begin() + at, b.begin() + at + 4);
    };
    const auto u16 = [&b](std::size_t at) { return b[at] | b[at + 1] << 8; };
    const auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    CHECK(tag(0) == "RIFF");
    CHECK(u32(4) == 36 + 12);
    CHECK(tag(8) == "WAVE");
    CHECK(tag(12) == "fmt ");
    CHECK(u32(16) == 16);
    CHECK(u16(20) == 1); // PCM
    CHECK(u16(22) == 2);
    CHECK(u32(24) == 44100);
    CHECK(u32(28) == 44100 * 4);
    CHECK(u16(32) == 4);
    CHECK(u16(34) == 16);
    CHECK(tag(36) == "data");
    CHECK(u32(40) == 12);
    std::vector<std::int16_t> samples;
    for (std::size_t at = Wav::headerSize; at < b.size(); at += 2) {
        samples.push_back(static_cast<std::int16_t>(u16(at)));
    }
    CHECK(samples == std::vector<std::int16_t>{0, -16383, 16383, -32767, 32767, 32767});

    SUBCASE("full scale is ±32767, and a sample that is not a number is silence") {
        CHECK(Wav::sampleToInt16(std::numeric_limits<float>::quiet_NaN()) == 0);
        CHECK(Wav::sampleToInt16(std::numeric_limits<float>::infinity()) == 32767);
        CHECK(Wav::sampleToInt16(-std::numeric_limits<float>::infinity()) == -32767);
    }
}

TEST_CASE("recent texts are told once while remembered, and a flood pushes the oldest out") {
    RecentTexts recent(3);
    CHECK(recent.remember("orvane:bad"));
    CHECK_FALSE(recent.remember("orvane:bad"));
    for (const char* other : {"a", "b", "c"}) {
        CHECK(recent.remember(other));
    }
    CHECK(recent.remember("orvane:bad"));
    CHECK_FALSE(recent.remember("c"));
}
