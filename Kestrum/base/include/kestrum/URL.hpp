#pragma once
// A URL that keeps its text exactly as built, compares and hashes by that text,
// and knows the file-URL operations the system needs (path, extension,
// standardized form).
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kestrum {

class URL {
public:
    // Parses a URL text: a scheme (letter, then letters, digits, "+", "-", ".") and ":",
    // then no spaces or control characters. Gives no URL for anything else.
    static std::optional<URL> parse(std::string_view text);

    // A file URL of an absolute path: "file://" and the percent-encoded path.
    // A relative path is first resolved against `baseDirectory` (itself absolute).
    static URL fileURL(std::string_view path, std::string_view baseDirectory = "/");

    const std::string& absoluteString() const { return text_; }
    std::string_view scheme() const;
    bool isFileURL() const;

    // The path component, percent-decoded and without a trailing separator ("/" stays "/").
    // Empty for a URL without a path.
    std::string path() const;
    std::string lastPathComponent() const;
    // The text after the last "." of the last path component; empty when there is none.
    std::string pathExtension() const;

    // File URLs: "." segments removed, ".." resolved against the segment before them,
    // repeated separators dropped; symbolic links untouched. Other URLs come back unchanged.
    URL standardized() const;

    friend bool operator==(const URL& a, const URL& b) { return a.text_ == b.text_; }

private:
    explicit URL(std::string text) : text_(std::move(text)) {}
    std::string text_;
};

// Lexical standardization of an absolute path (see URL::standardized); keeps a trailing "/".
std::string standardizePath(std::string_view absolutePath);
// Percent-encodes every byte outside `allowed` (ASCII letters and digits always stay) as
// "%" and two upper-case hexadecimal digits.
std::string percentEncode(std::string_view text, std::string_view allowedPunctuation);
std::string percentDecode(std::string_view text);

}  // namespace kestrum

template <>
struct std::hash<kestrum::URL> {
    std::size_t operator()(const kestrum::URL& url) const noexcept {
        return std::hash<std::string>{}(url.absoluteString());
    }
};
