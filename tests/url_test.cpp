// SPDX-License-Identifier: MIT
#include "settings/URLCommand.h"

#include <doctest/doctest.h>

#include <string>

using namespace orvane;

namespace {

template <class Case>
std::optional<Case> parsedAs(const std::string& url) {
    const std::optional<URLCommand> command = URLCommand::parse(url);
    if (!command || !std::holds_alternative<Case>(command->value)) {
        return std::nullopt;
    }
    return std::get<Case>(command->value);
}

} // namespace

TEST_CASE("pause and resume ignore their query; scheme and host match in any case") {
    CHECK(parsedAs<URLCommand::Pause>("orvane://pause"));
    CHECK(parsedAs<URLCommand::Pause>("ORVANE://PAUSE"));
    CHECK(parsedAs<URLCommand::Pause>("orvane://pause?angle=3&x"));
    CHECK(parsedAs<URLCommand::Pause>("orvane://pause/"));
    CHECK(parsedAs<URLCommand::Resume>("Orvane://Resume#now"));
}

TEST_CASE("set keeps the fields it names, clamped, the first of each, and drops bad numbers") {
    const auto set = parsedAs<URLCommand::Set>("orvane://set?style=rime&perspective=0.6&clear=110");
    REQUIRE(set);
    CHECK(set->style == FoldStyle::rime);
    CHECK(set->perspective == 0.6);
    CHECK(set->clearAngle == 110);
    CHECK_FALSE(set->blur);
    CHECK_FALSE(set->shadow);

    CHECK(parsedAs<URLCommand::Set>("orvane://set?perspective=7")->perspective == 1);
    CHECK(parsedAs<URLCommand::Set>("orvane://set?blur=-3")->blur == 0);
    CHECK(parsedAs<URLCommand::Set>("orvane://set?clear=300")->clearAngle == 130);
    CHECK(parsedAs<URLCommand::Set>("orvane://set?clear=12")->clearAngle == 70);
    CHECK(parsedAs<URLCommand::Set>("orvane://set?style=DUSK")->style == FoldStyle::dusk);
    CHECK(parsedAs<URLCommand::Set>("orvane://set?shadow=%2B0.25")->shadow == 0.25);
    CHECK(parsedAs<URLCommand::Set>("orvane://set?shadow=1e-1")->shadow == doctest::Approx(0.1));
    // The first of repeated names wins, even when it is unusable.
    CHECK(parsedAs<URLCommand::Set>("orvane://set?blur=0.2&blur=0.9")->blur == 0.2);
    CHECK_FALSE(parsedAs<URLCommand::Set>("orvane://set?blur=x&blur=0.9")->blur);
    CHECK(parsedAs<URLCommand::Cover>("orvane://cover?mode=veil&mode=clock")->mode ==
          CoverMode::veil);

    // A set with nothing usable is still a command; it just changes nothing.
    for (const char* url :
         {"orvane://set", "orvane://set?style=origami", "orvane://set?Style=rime",
          "orvane://set?perspective=abc", "orvane://set?perspective=0.5x",
          "orvane://set?perspective=%200.5", "orvane://set?perspective=0.5%20",
          "orvane://set?perspective=%000.5", "orvane://set?perspective=nan",
          "orvane://set?perspective=inf", "orvane://set?perspective=1e999",
          "orvane://set?perspective=", "orvane://set?perspective", "orvane://set?blur=--1",
          "orvane://set?blur=+-1", "orvane://set?blur=0x1p-1"}) {
        CAPTURE(url);
        const auto empty = parsedAs<URLCommand::Set>(url);
        REQUIRE(empty);
        CHECK(*empty == URLCommand::Set{});
    }
}

TEST_CASE("cover needs a known mode") {
    CHECK(parsedAs<URLCommand::Cover>("orvane://cover?mode=clock")->mode == CoverMode::clock);
    CHECK(parsedAs<URLCommand::Cover>("orvane://cover?mode=OFF")->mode == CoverMode::off);
    CHECK_FALSE(URLCommand::parse("orvane://cover?mode=lid"));
    CHECK_FALSE(URLCommand::parse("orvane://cover?mode=frost"));
    CHECK_FALSE(URLCommand::parse("orvane://cover"));
    CHECK_FALSE(URLCommand::parse("orvane://cover?mode"));
}

TEST_CASE("preview needs a finite angle; a bad duration falls back to the default") {
    const auto preview = parsedAs<URLCommand::Preview>("orvane://preview?angle=55&seconds=8");
    REQUIRE(preview);
    CHECK(preview->angle == 55);
    CHECK(preview->seconds == 8);
    CHECK(parsedAs<URLCommand::Preview>("orvane://preview?angle=999")->angle == 135);
    CHECK(parsedAs<URLCommand::Preview>("orvane://preview?angle=-4")->angle == 0);
    CHECK(parsedAs<URLCommand::Preview>("orvane://preview?angle=60&seconds=0.1")->seconds == 1);
    CHECK(parsedAs<URLCommand::Preview>("orvane://preview?angle=60&seconds=600")->seconds == 30);
    CHECK_FALSE(parsedAs<URLCommand::Preview>("orvane://preview?angle=60&seconds=inf")->seconds);
    CHECK_FALSE(parsedAs<URLCommand::Preview>("orvane://preview?angle=60&seconds=nan")->seconds);
    for (const char* url :
         {"orvane://preview", "orvane://preview?angle=nan", "orvane://preview?angle=inf",
          "orvane://preview?angle=-inf", "orvane://preview?angle=%2055",
          "orvane://preview?Angle=55", "orvane://preview?angle="}) {
        CAPTURE(url);
        CHECK_FALSE(URLCommand::parse(url));
    }
}

TEST_CASE("anything that is not a well-formed orvane URL is no command") {
    for (const char* url :
         {"", "orvane", "orvane:", "orvane:pause", "orvane:/pause", "orvane://", "orvane://dance",
          "https://pause", "xorvane://pause", "orvane ://pause", "://pause", "orvane://pa use",
          "orvane://pause\n", "orvane://set?blur=%zz", "orvane://set?blur=%2", "orvane://%",
          "1orvane://pause"}) {
        CAPTURE(url);
        CHECK_FALSE(URLCommand::parse(url));
    }
    // Percent-encoded hosts decode before they are matched.
    CHECK(parsedAs<URLCommand::Pause>("orvane://%70ause"));
}
