// SPDX-License-Identifier: MIT
#include "settings/URLCommand.h"

#include "core/Text.h"
#include "core/Tuning.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace orvane {

namespace {

constexpr std::string_view scheme = "orvane";

struct QueryItem {
    std::string name;
    std::optional<std::string> value;
};

struct ParsedURL {
    std::string scheme;
    std::string host;
    std::vector<QueryItem> query;
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// A malformed escape makes the whole URL invalid, as it would for any URL parser.
std::optional<std::string> percentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        const int high = hexDigit(text[i + 1]);
        const int low = hexDigit(text[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return out;
}

bool isSchemeChar(char c, bool first) {
    const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (first) {
        return alpha;
    }
    return alpha || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// Spaces, controls and bytes outside ASCII must arrive percent-encoded.
bool hasOnlyURLChars(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte > 0x20 && byte < 0x7f;
    });
}

std::optional<ParsedURL> split(std::string_view url) {
    if (!hasOnlyURLChars(url)) {
        return std::nullopt;
    }
    const std::size_t colon = url.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < colon; ++i) {
        if (!isSchemeChar(url[i], i == 0)) {
            return std::nullopt;
        }
    }
    ParsedURL parsed;
    parsed.scheme = asciiLowercased(url.substr(0, colon));
    std::string_view rest = url.substr(colon + 1);
    rest = rest.substr(0, rest.find('#'));

    std::string_view query;
    const std::size_t mark = rest.find('?');
    const bool hasQuery = mark != std::string_view::npos;
    if (hasQuery) {
        query = rest.substr(mark + 1);
        rest = rest.substr(0, mark);
    }

    if (!rest.starts_with("//")) {
        return std::nullopt; // no authority, so no host
    }
    std::string_view authority = rest.substr(2);
    authority = authority.substr(0, authority.find('/'));
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        authority = authority.substr(at + 1);
    }
    if (const std::size_t port = authority.rfind(':'); port != std::string_view::npos) {
        authority = authority.substr(0, port);
    }
    const std::optional<std::string> host = percentDecoded(authority);
    if (!host || host->empty()) {
        return std::nullopt;
    }
    parsed.host = asciiLowercased(*host);

    if (hasQuery && !query.empty()) {
        std::size_t start = 0;
        while (start <= query.size()) {
            const std::size_t end = std::min(query.find('&', start), query.size());
            const std::string_view item = query.substr(start, end - start);
            const std::size_t equals = item.find('=');
            const std::optional<std::string> name = percentDecoded(item.substr(0, equals));
            if (!name) {
                return std::nullopt;
            }
            QueryItem entry{*name, std::nullopt};
            if (equals != std::string_view::npos) {
                entry.value = percentDecoded(item.substr(equals + 1));
                if (!entry.value) {
                    return std::nullopt;
                }
            }
            parsed.query.push_back(std::move(entry));
            start = end + 1;
        }
    }
    return parsed;
}

class Query {
public:
    explicit Query(const std::vector<QueryItem>& items) : items_(items) {}

    // The first item of that exact name wins.
    std::optional<std::string> value(std::string_view name) const {
        for (const QueryItem& item : items_) {
            if (item.name == name) {
                return item.value;
            }
        }
        return std::nullopt;
    }

    // A whole decimal number, C locale, nothing before or after it; never
    // infinite or NaN.
    std::optional<double> number(std::string_view name) const {
        const std::optional<std::string> text = value(name);
        return text ? parseDecimal(*text) : std::nullopt;
    }

private:
    const std::vector<QueryItem>& items_;
};

std::optional<double> clamped(std::optional<double> value, double low, double high) {
    if (!value) {
        return std::nullopt;
    }
    return std::clamp(*value, low, high);
}

} // namespace

std::optional<URLCommand> URLCommand::parse(std::string_view url) {
    const std::optional<ParsedURL> parsed = split(url);
    if (!parsed || parsed->scheme != scheme) {
        return std::nullopt;
    }
    const Query query(parsed->query);
    const std::string& host = parsed->host;

    if (host == "pause") {
        return URLCommand{Pause{}};
    }
    if (host == "resume") {
        return URLCommand{Resume{}};
    }
    if (host == "set") {
        Set set;
        if (const std::optional<std::string> style = query.value("style")) {
            set.style = foldStyleFromRaw(asciiLowercased(*style));
        }
        set.perspective = clamped(query.number("perspective"), 0, 1);
        set.blur = clamped(query.number("blur"), 0, 1);
        set.shadow = clamped(query.number("shadow"), 0, 1);
        set.clearAngle =
            clamped(query.number("clear"), Tuning::minClearAngle, Tuning::maxClearAngle);
        return URLCommand{set};
    }
    if (host == "cover") {
        const std::optional<std::string> mode = query.value("mode");
        if (!mode) {
            return std::nullopt;
        }
        const std::optional<CoverMode> cover = coverModeFromRaw(asciiLowercased(*mode));
        if (!cover) {
            return std::nullopt;
        }
        return URLCommand{Cover{*cover}};
    }
    if (host == "preview") {
        const std::optional<double> angle = query.number("angle");
        if (!angle) {
            return std::nullopt;
        }
        return URLCommand{Preview{std::clamp(*angle, 0.0, Tuning::maxObservedAngle),
                                  clamped(query.number("seconds"), Tuning::previewURLMinSeconds,
                                          Tuning::previewURLMaxSeconds)}};
    }
    return std::nullopt;
}

} // namespace orvane
