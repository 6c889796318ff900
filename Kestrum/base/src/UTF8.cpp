#include "kestrum/UTF8.hpp"

#include <cstddef>

namespace kestrum {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

struct LeadInfo {
    std::size_t length = 0;       // 0: not a lead byte
    unsigned char secondLow = 0;  // allowed range of the second byte; it excludes
    unsigned char secondHigh = 0; // overlongs, surrogates and values above U+10FFFF
};

constexpr LeadInfo leadInfo(unsigned char b) {
    if (b <= 0x7F) return {1, 0, 0};
    if (b >= 0xC2 && b <= 0xDF) return {2, 0x80, 0xBF};
    if (b == 0xE0) return {3, 0xA0, 0xBF};
    if ((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF) return {3, 0x80, 0xBF};
    if (b == 0xED) return {3, 0x80, 0x9F};
    if (b == 0xF0) return {4, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3) return {4, 0x80, 0xBF};
    if (b == 0xF4) return {4, 0x80, 0x8F};
    return {};  // 0x80..0xC1, 0xF5..0xFF never start a sequence
}

// The length of the well-formed sequence at `i`, or, as a negative number, the length of the
// maximal ill-formed subpart to replace (at least 1).
std::ptrdiff_t scan(std::string_view bytes, std::size_t i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const LeadInfo info = leadInfo(lead);
    if (info.length == 0) return -1;
    for (std::size_t k = 1; k < info.length; ++k) {
        if (i + k >= bytes.size()) return -static_cast<std::ptrdiff_t>(k);
        const auto b = static_cast<unsigned char>(bytes[i + k]);
        const unsigned char low = k == 1 ? info.secondLow : 0x80;
        const unsigned char high = k == 1 ? info.secondHigh : 0xBF;
        if (b < low || b > high) return -static_cast<std::ptrdiff_t>(k);
    }
    return static_cast<std::ptrdiff_t>(info.length);
}

}  // namespace

std::optional<std::size_t> firstInvalidUTF8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::ptrdiff_t n = scan(bytes, i);
        if (n < 0) return i;
        i += static_cast<std::size_t>(n);
    }
    return std::nullopt;
}

bool isValidUTF8(std::string_view bytes) { return !firstInvalidUTF8(bytes); }

void appendUTF8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string repairUTF8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::ptrdiff_t n = scan(bytes, i);
        if (n > 0) {
            out.append(bytes.substr(i, static_cast<std::size_t>(n)));
            i += static_cast<std::size_t>(n);
        } else {
            out.append(kReplacement);
            i += static_cast<std::size_t>(-n);
        }
    }
    return out;
}

}  // namespace kestrum
