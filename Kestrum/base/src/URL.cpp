#include "kestrum/URL.hpp"

#include <vector>

namespace kestrum {
namespace {

constexpr std::string_view kFileScheme = "file://";
// Characters a path may carry unencoded in a URL (RFC 3986 pchar plus "/").
constexpr std::string_view kPathPunctuation = "-._~!$&'()*+,;=:@/";

bool isAsciiAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
    if (isAsciiDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string percentEncode(std::string_view text, std::string_view allowedPunctuation) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (isAsciiAlpha(c) || isAsciiDigit(c) || allowedPunctuation.find(c) != std::string_view::npos) {
            out += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hexValue(text[i + 1]);
            const int lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string standardizePath(std::string_view absolutePath) {
    std::vector<std::string_view> segments;
    std::size_t start = 0;
    while (start <= absolutePath.size()) {
        std::size_t end = absolutePath.find('/', start);
        if (end == std::string_view::npos) end = absolutePath.size();
        const std::string_view segment = absolutePath.substr(start, end - start);
        if (segment.empty() || segment == ".") {
            // redundant separator or "." segment
        } else if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
        } else {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string out;
    for (const auto segment : segments) {
        out += '/';
        out += segment;
    }
    if (out.empty()) return "/";
    const bool trailing = absolutePath.size() > 1 && absolutePath.back() == '/';
    if (trailing) out += '/';
    return out;
}

std::optional<URL> URL::parse(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || !isAsciiAlpha(text[0])) return std::nullopt;
    for (std::size_t i = 1; i < colon; ++i) {
        const char c = text[i];
        if (!(isAsciiAlpha(c) || isAsciiDigit(c) || c == '+' || c == '-' || c == '.')) return std::nullopt;
    }
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F) return std::nullopt;
    }
    return URL(std::string(text));
}

URL URL::fileURL(std::string_view path, std::string_view baseDirectory) {
    std::string absolute;
    if (!path.empty() && path.front() == '/') {
        absolute = path;
    } else {
        absolute = baseDirectory;
        if (absolute.empty() || absolute.back() != '/') absolute += '/';
        absolute += path;
    }
    return URL(std::string(kFileScheme) + percentEncode(absolute, kPathPunctuation));
}

std::string_view URL::scheme() const {
    const std::size_t colon = text_.find(':');
    return colon == std::string::npos ? std::string_view{} : std::string_view(text_).substr(0, colon);
}

bool URL::isFileURL() const { return text_.rfind(kFileScheme, 0) == 0; }

std::string URL::path() const {
    std::string_view rest = text_;
    const std::size_t colon = rest.find(':');
    if (colon == std::string_view::npos) return {};
    rest.remove_prefix(colon + 1);
    if (rest.rfind("//", 0) == 0) {  // skip the authority
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        if (slash == std::string_view::npos) return {};
        rest.remove_prefix(slash);
    }
    const std::size_t end = rest.find_first_of("?#");
    if (end != std::string_view::npos) rest = rest.substr(0, end);
    std::string decoded = percentDecode(rest);
    while (decoded.size() > 1 && decoded.back() == '/') decoded.pop_back();
    return decoded;
}

std::string URL::lastPathComponent() const {
    const std::string p = path();
    if (p == "/") return p;
    const std::size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string URL::pathExtension() const {
    const std::string last = lastPathComponent();
    const std::size_t dot = last.rfind('.');
    return dot == std::string::npos ? std::string{} : last.substr(dot + 1);
}

URL URL::standardized() const {
    if (!isFileURL()) return *this;
    std::string_view rest = std::string_view(text_).substr(kFileScheme.size());
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos) return *this;
    const std::string authority(rest.substr(0, slash));
    rest.remove_prefix(slash);
    const std::string decoded = percentDecode(rest);
    return URL(std::string(kFileScheme) + authority + percentEncode(standardizePath(decoded), kPathPunctuation));
}

}  // namespace kestrum
