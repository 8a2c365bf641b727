// SPDX-License-Identifier: MIT
#include "numbers.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace veltrask::core {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// -?digits(.digits)?([eE][+-]?digits)? : from_chars alone would also take "inf", "nan" and hex.
bool isNumberText(std::string_view text) {
    std::size_t i = 0;
    auto digits = [&] {
        const std::size_t start = i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
        }
        return i > start;
    };
    if (i < text.size() && text[i] == '-') {
        ++i;
    }
    if (!digits()) {
        return false;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        if (!digits()) {
            return false;
        }
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        if (!digits()) {
            return false;
        }
    }
    return i == text.size();
}

}  // namespace

std::optional<double> textToNumber(std::string_view text) {
    if (!isNumberText(text)) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string numberToText(double value) {
    if (value == 0) {
        return "0";  // also for -0
    }
    if (std::trunc(value) == value && std::fabs(value) <= kFirstUncountable) {
        return std::to_string(static_cast<std::int64_t>(value));
    }
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error != std::errc{}) {
        return "0";
    }
    return std::string(buffer, end);
}

std::optional<double> countableNumber(std::string_view text) {
    const std::optional<double> value = textToNumber(text);
    if (!value || *value >= kFirstUncountable || *value <= -kFirstUncountable) {
        return std::nullopt;
    }
    return value;
}

bool isDigits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (!isDigit(c)) {
            return false;
        }
    }
    return true;
}

std::size_t characterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (const char c : utf8) {
        // Continuation bytes are 10xxxxxx.
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}

}  // namespace veltrask::core
