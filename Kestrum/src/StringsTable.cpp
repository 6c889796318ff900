#include "kestrum/StringsTable.hpp"

#include "kestrum/UTF8.hpp"

#include <cstdint>
#include <utility>

namespace kestrum {
namespace {

bool isBareWordByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           c == '+' || c == '/' || c == ':' || c == '.' || c == '-';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}



class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    StringsTable::ParseResult run() {
        if (text_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
        if (text_.starts_with("\xFE\xFF") || text_.starts_with("\xFF\xFE")) {
            return fail("the table is UTF-16; only UTF-8 tables are read");
        }
        if (auto bad = firstInvalidUTF8(text_)) {
            pos_ = *bad;
            return fail("the text is not valid UTF-8");
        }
        StringsTable::Entries entries;
        while (true) {
            if (!skipSpaceAndComments()) return fail("a comment is not closed");
            if (atEnd()) break;
            auto key = readString("a key");
            if (!key) return failure();
            if (!skipSpaceAndComments()) return fail("a comment is not closed");
            std::string value;
            if (peek() == ';') {
                value = *key;
            } else if (peek() == '=') {
                ++pos_;
                if (!skipSpaceAndComments()) return fail("a comment is not closed");
                auto read = readString("a value after '='");
                if (!read) return failure();
                value = std::move(*read);
                if (!skipSpaceAndComments()) return fail("a comment is not closed");
                if (peek() != ';') return fail("expected ';' after the value");
            } else {
                return fail("expected '=' or ';' after the key");
            }
            ++pos_;  // the ';'
            entries.insert_or_assign(std::move(*key), std::move(value));
        }
        StringsTable::ParseResult result;
        result.table = StringsTable(std::move(entries));
        return result;
    }

private:
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }

    // False when a block comment runs to the end of the text.
    bool skipSpaceAndComments() {
        while (!atEnd()) {
            const char c = text_[pos_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++pos_;
            } else if (text_.substr(pos_).starts_with("/*")) {
                const std::size_t end = text_.find("*/", pos_ + 2);
                if (end == std::string_view::npos) return false;
                pos_ = end + 2;
            } else if (text_.substr(pos_).starts_with("//")) {
                const std::size_t end = text_.find('\n', pos_);
                pos_ = end == std::string_view::npos ? text_.size() : end + 1;
            } else {
                return true;
            }
        }
        return true;
    }

    std::optional<std::string> readString(const char* what) {
        if (peek() == '"') return readQuoted();
        if (!atEnd() && isBareWordByte(peek())) {
            const std::size_t start = pos_;
            while (!atEnd() && isBareWordByte(text_[pos_])) ++pos_;
            return std::string(text_.substr(start, pos_ - start));
        }
        setFailure(std::string("expected ") + what);
        return std::nullopt;
    }

    std::optional<std::string> readQuoted() {
        const std::size_t open = pos_;
        ++pos_;
        std::string out;
        while (true) {
            if (atEnd()) {
                pos_ = open;
                setFailure("a quoted text is not closed");
                return std::nullopt;
            }
            const char c = text_[pos_];
            if (c == '"') {
                ++pos_;
                return out;
            }
            if (c != '\\') {
                out += c;
                ++pos_;
                continue;
            }
            if (!readEscape(out)) return std::nullopt;
        }
    }

    bool readEscape(std::string& out) {
        const std::size_t start = pos_;
        ++pos_;  // the backslash
        if (atEnd()) {
            pos_ = start;
            setFailure("a backslash ends the text");
            return false;
        }
        const char c = text_[pos_++];
        switch (c) {
            case 'n': out += '\n'; return true;
            case 't': out += '\t'; return true;
            case 'r': out += '\r'; return true;
            case 'a': out += '\a'; return true;
            case 'b': out += '\b'; return true;
            case 'f': out += '\f'; return true;
            case 'v': out += '\v'; return true;
            case 'u':
            case 'U': return readUnicodeEscape(out, start);
            default: break;
        }
        if (c >= '0' && c <= '7') {
            unsigned value = static_cast<unsigned>(c - '0');
            for (int k = 0; k < 2 && !atEnd() && text_[pos_] >= '0' && text_[pos_] <= '7'; ++k) {
                value = value * 8 + static_cast<unsigned>(text_[pos_++] - '0');
            }
            // Octal escapes name Latin-1 characters, as in property lists.
            appendUTF8(out, value);
            return true;
        }
        // Any other escaped character stands for itself (\" \\ \' and the rest); the input is
        // valid UTF-8, so copy the whole character.
        out += c;
        while (!atEnd() && (static_cast<unsigned char>(text_[pos_]) & 0xC0) == 0x80) out += text_[pos_++];
        return true;
    }

    std::optional<std::uint32_t> readHex4() {
        if (text_.size() - pos_ < 4) return std::nullopt;
        std::uint32_t value = 0;
        for (int k = 0; k < 4; ++k) {
            const int h = hexValue(text_[pos_ + static_cast<std::size_t>(k)]);
            if (h < 0) return std::nullopt;
            value = value * 16 + static_cast<std::uint32_t>(h);
        }
        pos_ += 4;
        return value;
    }

    bool readUnicodeEscape(std::string& out, std::size_t start) {
        auto unit = readHex4();
        if (!unit) {
            pos_ = start;
            setFailure("\\u needs four hexadecimal digits");
            return false;
        }
        std::uint32_t cp = *unit;
        if (cp >= 0xDC00 && cp <= 0xDFFF) {
            pos_ = start;
            setFailure("a low surrogate without a high surrogate");
            return false;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (!(text_.substr(pos_).starts_with("\\u") || text_.substr(pos_).starts_with("\\U"))) {
                pos_ = start;
                setFailure("a high surrogate without a low surrogate");
                return false;
            }
            pos_ += 2;
            auto low = readHex4();
            if (!low || *low < 0xDC00 || *low > 0xDFFF) {
                pos_ = start;
                setFailure("a high surrogate without a low surrogate");
                return false;
            }
            cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
        }
        appendUTF8(out, cp);
        return true;
    }

    void setFailure(std::string message) {
        if (!error_) error_ = makeError(std::move(message));
    }
    StringsTableError makeError(std::string message) const {
        StringsTableError error;
        error.message = std::move(message);
        const std::size_t end = std::min(pos_, text_.size());
        for (std::size_t i = 0; i < end; ++i) {
            if (text_[i] == '\n') {
                ++error.line;
                error.column = 1;
            } else {
                ++error.column;
            }
        }
        return error;
    }
    StringsTable::ParseResult fail(std::string message) {
        setFailure(std::move(message));
        return failure();
    }
    StringsTable::ParseResult failure() {
        StringsTable::ParseResult result;
        result.error = error_ ? *error_ : makeError("unreadable table");
        return result;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::optional<StringsTableError> error_;
};

}  // namespace

StringsTable::ParseResult StringsTable::parse(std::string_view text) { return Parser(text).run(); }

std::optional<std::string> StringsTable::lookup(std::string_view key) const {
    auto it = entries_.find(key);
    if (it == entries_.end()) return std::nullopt;
    return it->second;
}

}  // namespace kestrum
