// SPDX-License-Identifier: MIT
#include "app/CommandLineMode.h"

#include <doctest/doctest.h>

#include <string>
#include <vector>

using orvane::CommandLineMode;
using Args = std::vector<std::string>;

TEST_CASE("only a recognised first argument selects a tool mode") {
    SUBCASE("no arguments start the application") {
        CHECK_FALSE(CommandLineMode::parse({}).has_value());
    }
    SUBCASE("unknown, flagless or wrongly cased flags start the application") {
        for (const char* first : {"--help", "render", "--Render", "", "-render", "--render "}) {
            CAPTURE(first);
            CHECK_FALSE(CommandLineMode::parse({first}).has_value());
        }
    }
    SUBCASE("a flag in a later position has no effect") {
        CHECK_FALSE(CommandLineMode::parse({"app", "--selftest"}).has_value());
        CHECK_FALSE(CommandLineMode::parse({"x", "--render", "vellum"}).has_value());
    }
}

TEST_CASE("argument-carrying modes get the rest of the arguments unchanged") {
    const Args rest{"dusk", "70", "out.png", "--blur", "0.3"};
    Args all{"--render"};
    all.insert(all.end(), rest.begin(), rest.end());
    CHECK(CommandLineMode::parse(all) == CommandLineMode(CommandLineMode::Render{rest}));

    CHECK(CommandLineMode::parse({"--render-sheet", "s.png"}) ==
          CommandLineMode(CommandLineMode::RenderSheet{{"s.png"}}));
    CHECK(CommandLineMode::parse({"--accordion-render", "a.wav", "extra"}) ==
          CommandLineMode(CommandLineMode::AccordionRender{{"a.wav", "extra"}}));
    CHECK(CommandLineMode::parse({"--shot", "all", "dir"}) ==
          CommandLineMode(CommandLineMode::Shot{{"all", "dir"}}));
}

TEST_CASE("modes without a payload ignore what follows") {
    CHECK(CommandLineMode::parse({"--selftest", "--verbose", "x"}) ==
          CommandLineMode(CommandLineMode::Selftest{}));
    CHECK(CommandLineMode::parse({"--probe", "now"}) == CommandLineMode(CommandLineMode::Probe{}));
    CHECK(CommandLineMode::parse({"--accordion-live-test", "1"}) ==
          CommandLineMode(CommandLineMode::AccordionLiveTest{}));
}
