#include "kestrum/InlineMarkdown.hpp"

#include "kestrum/UTF8.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <list>
#include <utility>

#include "kestrum/UnicodeClasses.hpp"
#include "NamedCharacterReferences.hpp"

namespace kestrum {
namespace {

bool isASCIIPunctuation(char c) {
    return (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') || (c >= '{' && c <= '~');
}
bool isASCIIAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isASCIIDigit(char c) { return c >= '0' && c <= '9'; }
bool isASCIIAlnum(char c) { return isASCIIAlpha(c) || isASCIIDigit(c); }
bool isASCIIControlOrSpace(char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F; }



// A word of a template stands in the source as one byte that UTF-8 never uses, so nothing in
// the template can be mistaken for it and no Markdown rule can take it apart.
constexpr unsigned char kFirstWordMarker = 0xF8;
constexpr std::size_t kMaximumWords = 0x100 - kFirstWordMarker;
bool isWordMarker(char c) { return static_cast<unsigned char>(c) >= kFirstWordMarker; }
// What a word counts as for the emphasis rules: neither whitespace nor punctuation, like a letter.
constexpr char32_t kWordCodePoint = 0xE000;

// The code point starting at `i` of valid UTF-8 text (word markers read as letters).
char32_t decodeAt(std::string_view text, std::size_t i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) return b;
    if (isWordMarker(text[i])) return kWordCodePoint;
    std::size_t length = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
    char32_t cp = length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
    for (std::size_t k = 1; k < length && i + k < text.size(); ++k) {
        cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    return cp;
}

// The code point ending just before `i` of valid UTF-8 text.
char32_t decodeBefore(std::string_view text, std::size_t i) {
    std::size_t start = i - 1;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    return decodeAt(text, start);
}

// A character reference at `i` ("&...;"): its text and the position after it.
std::optional<std::pair<std::string, std::size_t>> readEntity(std::string_view s, std::size_t i) {
    if (i >= s.size() || s[i] != '&') return std::nullopt;
    std::size_t j = i + 1;
    std::string out;
    if (j < s.size() && s[j] == '#') {
        ++j;
        const bool hex = j < s.size() && (s[j] == 'x' || s[j] == 'X');
        if (hex) ++j;
        const std::size_t start = j;
        std::uint32_t value = 0;
        while (j < s.size() && j - start < (hex ? 6u : 7u)) {
            const char c = s[j];
            int digit = -1;
            if (isASCIIDigit(c)) digit = c - '0';
            else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
            if (digit < 0) break;
            value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
            ++j;
        }
        if (j == start || j >= s.size() || s[j] != ';') return std::nullopt;
        if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) value = 0xFFFD;
        appendUTF8(out, value);
        return std::make_pair(out, j + 1);
    }
    const std::size_t start = j;
    while (j < s.size() && isASCIIAlnum(s[j]) && j - start <= kLongestCharacterReferenceName) ++j;
    if (j == start || j >= s.size() || s[j] != ';') return std::nullopt;
    const auto text = namedCharacterReference(s.substr(start, j - start));
    if (!text) return std::nullopt;
    return std::make_pair(std::string(*text), j + 1);
}

// Backslash escapes and character references resolved (link destinations and titles).
std::string unescape(std::string_view s) {
    std::string out;
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] == '\\' && i + 1 < s.size() && isASCIIPunctuation(s[i + 1])) {
            out += s[i + 1];
            i += 2;
        } else if (auto entity = readEntity(s, i)) {
            out += entity->first;
            i = entity->second;
        } else {
            out += s[i++];
        }
    }
    return out;
}

enum class Kind { text, code, emphasis, strong, link, image };

struct Node {
    Kind kind = Kind::text;
    std::string text;
    std::string destination;
    std::list<Node> children;
};
using NodeList = std::list<Node>;
using NodeIt = NodeList::iterator;

struct Delimiter {
    NodeIt node;
    char character;
    std::size_t count;
    std::size_t originalCount;
    bool canOpen;
    bool canClose;
};

struct Bracket {
    NodeIt node;
    bool image;
    bool active;
    std::size_t delimiterBottom;  // the delimiter stack's size when the bracket opened
};

class InlineParser {
public:
    explicit InlineParser(std::string_view text) : s_(text) {}

    NodeList parse() {
        while (pos_ < s_.size()) {
            const char c = s_[pos_];
            switch (c) {
                case '\\': backslash(); break;
                case '`': backticks(); break;
                case '*':
                case '_': delimiterRun(c); break;
                case '[': openBracket(false, 1); break;
                case '!':
                    if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '[') {
                        openBracket(true, 2);
                    } else {
                        pending_ += c;
                        ++pos_;
                    }
                    break;
                case ']': closeBracket(); break;
                case '<':
                    if (!autolink()) {
                        pending_ += c;
                        ++pos_;
                    }
                    break;
                case '&':
                    if (auto entity = readEntity(s_, pos_)) {
                        pending_ += entity->first;
                        pos_ = entity->second;
                    } else {
                        pending_ += c;
                        ++pos_;
                    }
                    break;
                default:
                    pending_ += c;
                    ++pos_;
            }
        }
        flushText();
        processEmphasis(0);
        return std::move(nodes_);
    }

private:
    void flushText() {
        if (pending_.empty()) return;
        nodes_.push_back(Node{Kind::text, std::move(pending_), {}, {}});
        pending_.clear();
    }

    NodeIt pushNode(Node node) {
        flushText();
        nodes_.push_back(std::move(node));
        return std::prev(nodes_.end());
    }

    void backslash() {
        if (pos_ + 1 < s_.size() && isASCIIPunctuation(s_[pos_ + 1])) {
            pending_ += s_[pos_ + 1];
            pos_ += 2;
        } else if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '\n') {
            // A hard line break: the break stays, the backslash goes.
            pending_ += '\n';
            pos_ += 2;
        } else {
            pending_ += '\\';
            ++pos_;
        }
    }

    void backticks() {
        const std::size_t length = runLength(pos_, '`');
        std::size_t i = pos_ + length;
        while (i < s_.size()) {
            if (s_[i] != '`') {
                ++i;
                continue;
            }
            const std::size_t closing = runLength(i, '`');
            if (closing == length) {
                std::string content;
                for (std::size_t k = pos_ + length; k < i; ++k) {
                    if (s_[k] == '\r' && k + 1 < i && s_[k + 1] == '\n') continue;
                    content += (s_[k] == '\n' || s_[k] == '\r') ? ' ' : s_[k];
                }
                if (content.size() >= 2 && content.front() == ' ' && content.back() == ' ' &&
                    content.find_first_not_of(' ') != std::string::npos) {
                    content = content.substr(1, content.size() - 2);
                }
                pushNode(Node{Kind::code, std::move(content), {}, {}});
                pos_ = i + length;
                return;
            }
            i += closing;
        }
        pending_.append(length, '`');
        pos_ += length;
    }

    std::size_t runLength(std::size_t from, char c) const {
        std::size_t end = from;
        while (end < s_.size() && s_[end] == c) ++end;
        return end - from;
    }

    void delimiterRun(char c) {
        const std::size_t length = runLength(pos_, c);
        const std::size_t end = pos_ + length;
        // The start and the end of the text count as whitespace.
        const char32_t before = pos_ == 0 ? U' ' : decodeBefore(s_, pos_);
        const char32_t after = end >= s_.size() ? U' ' : decodeAt(s_, end);
        const bool beforeSpace = isUnicodeWhitespace(before);
        const bool afterSpace = isUnicodeWhitespace(after);
        const bool beforePunct = isUnicodePunctuation(before);
        const bool afterPunct = isUnicodePunctuation(after);
        const bool leftFlanking = !afterSpace && (!afterPunct || beforeSpace || beforePunct);
        const bool rightFlanking = !beforeSpace && (!beforePunct || afterSpace || afterPunct);
        bool canOpen = leftFlanking;
        bool canClose = rightFlanking;
        if (c == '_') {
            canOpen = leftFlanking && (!rightFlanking || beforePunct);
            canClose = rightFlanking && (!leftFlanking || afterPunct);
        }
        const NodeIt node = pushNode(Node{Kind::text, std::string(length, c), {}, {}});
        delimiters_.push_back(Delimiter{node, c, length, length, canOpen, canClose});
        pos_ = end;
    }

    void openBracket(bool image, std::size_t length) {
        const NodeIt node = pushNode(Node{Kind::text, std::string(s_.substr(pos_, length)), {}, {}});
        brackets_.push_back(Bracket{node, image, true, delimiters_.size()});
        pos_ += length;
    }

    void closeBracket() {
        if (brackets_.empty()) {
            pending_ += ']';
            ++pos_;
            return;
        }
        const Bracket opener = brackets_.back();
        std::optional<std::pair<std::string, std::size_t>> tail;
        if (opener.active) tail = inlineLinkTail(pos_ + 1);
        if (!tail) {
            brackets_.pop_back();
            pending_ += ']';
            ++pos_;
            return;
        }
        flushText();
        processEmphasis(opener.delimiterBottom);
        const NodeIt link =
            nodes_.insert(opener.node, Node{opener.image ? Kind::image : Kind::link, {}, std::move(tail->first), {}});
        link->children.splice(link->children.end(), nodes_, std::next(opener.node), nodes_.end());
        nodes_.erase(opener.node);
        brackets_.pop_back();
        // Links do not contain links: no earlier "[" may become one around this.
        if (!opener.image) {
            for (auto& bracket : brackets_) {
                if (!bracket.image) bracket.active = false;
            }
        }
        pos_ = tail->second;
    }

    std::size_t skipWhitespace(std::size_t i) const {
        std::size_t lineEndings = 0;
        while (i < s_.size() && (s_[i] == ' ' || s_[i] == '\t' || s_[i] == '\n' || s_[i] == '\r')) {
            if (s_[i] == '\n' && ++lineEndings > 1) break;
            ++i;
        }
        return i;
    }

    // "(destination "title")" right after "]": the destination and the position after ")".
    std::optional<std::pair<std::string, std::size_t>> inlineLinkTail(std::size_t i) const {
        if (i >= s_.size() || s_[i] != '(') return std::nullopt;
        i = skipWhitespace(i + 1);
        std::string destination;
        if (i < s_.size() && s_[i] == '<') {
            std::size_t j = i + 1;
            while (j < s_.size() && s_[j] != '>') {
                if (s_[j] == '\n' || s_[j] == '<') return std::nullopt;
                if (s_[j] == '\\' && j + 1 < s_.size() && isASCIIPunctuation(s_[j + 1])) ++j;
                ++j;
            }
            if (j >= s_.size()) return std::nullopt;
            destination = unescape(s_.substr(i + 1, j - i - 1));
            i = j + 1;
        } else {
            const std::size_t start = i;
            int depth = 0;
            while (i < s_.size() && !isASCIIControlOrSpace(s_[i])) {
                const char c = s_[i];
                if (c == '\\' && i + 1 < s_.size() && isASCIIPunctuation(s_[i + 1])) {
                    i += 2;
                    continue;
                }
                if (c == '(') {
                    if (++depth > 32) return std::nullopt;
                } else if (c == ')') {
                    if (depth == 0) break;
                    --depth;
                }
                ++i;
            }
            if (depth != 0) return std::nullopt;
            destination = unescape(s_.substr(start, i - start));
        }
        const std::size_t beforeTitle = i;
        i = skipWhitespace(i);
        if (i < s_.size() && i > beforeTitle && (s_[i] == '"' || s_[i] == '\'' || s_[i] == '(')) {
            const char close = s_[i] == '(' ? ')' : s_[i];
            std::size_t j = i + 1;
            while (j < s_.size() && s_[j] != close) {
                if (s_[j] == '\\' && j + 1 < s_.size() && isASCIIPunctuation(s_[j + 1])) ++j;
                else if (close == ')' && s_[j] == '(') return std::nullopt;
                ++j;
            }
            if (j >= s_.size()) return std::nullopt;
            i = skipWhitespace(j + 1);
        }
        if (i >= s_.size() || s_[i] != ')') return std::nullopt;
        return std::make_pair(std::move(destination), i + 1);
    }

    // "<scheme:...>" or "<local@domain>".
    bool autolink() {
        const std::size_t close = s_.find('>', pos_ + 1);
        if (close == std::string_view::npos) return false;
        const std::string_view content = s_.substr(pos_ + 1, close - pos_ - 1);
        std::string destination;
        if (isURIAutolink(content)) {
            destination = std::string(content);
        } else if (isEmailAutolink(content)) {
            destination = "mailto:" + std::string(content);
        } else {
            return false;
        }
        Node link{Kind::link, {}, std::move(destination), {}};
        link.children.push_back(Node{Kind::text, std::string(content), {}, {}});
        pushNode(std::move(link));
        pos_ = close + 1;
        return true;
    }

    static bool isURIAutolink(std::string_view content) {
        const std::size_t colon = content.find(':');
        if (colon == std::string_view::npos || colon < 2 || colon > 32 || !isASCIIAlpha(content[0])) return false;
        for (std::size_t k = 1; k < colon; ++k) {
            const char c = content[k];
            if (!isASCIIAlnum(c) && c != '+' && c != '.' && c != '-') return false;
        }
        for (std::size_t k = colon + 1; k < content.size(); ++k) {
            if (isASCIIControlOrSpace(content[k]) || content[k] == '<' || content[k] == '>') return false;
        }
        return true;
    }

    static bool isEmailAutolink(std::string_view content) {
        const std::size_t at = content.find('@');
        if (at == std::string_view::npos || at == 0) return false;
        static constexpr std::string_view localExtra = ".!#$%&'*+/=?^_`{|}~-";
        for (std::size_t k = 0; k < at; ++k) {
            if (!isASCIIAlnum(content[k]) && localExtra.find(content[k]) == std::string_view::npos) return false;
        }
        std::string_view domain = content.substr(at + 1);
        if (domain.empty()) return false;
        while (true) {
            const std::size_t dot = domain.find('.');
            const std::string_view label = domain.substr(0, dot);
            if (label.empty() || label.size() > 63 || !isASCIIAlnum(label.front()) || !isASCIIAlnum(label.back())) {
                return false;
            }
            for (char c : label) {
                if (!isASCIIAlnum(c) && c != '-') return false;
            }
            if (dot == std::string_view::npos) return true;
            domain.remove_prefix(dot + 1);
        }
    }

    // Matches emphasis delimiters above `bottom` and removes them from the stack.
    void processEmphasis(std::size_t bottom) {
        // Per closer kind (character, length mod 3, can open): no opener below this index fits.
        std::array<std::size_t, 12> openersBottom;
        openersBottom.fill(bottom);
        auto kindIndex = [](const Delimiter& d) {
            return (d.character == '*' ? 0 : 6) + (d.originalCount % 3) * 2 + (d.canOpen ? 1 : 0);
        };

        std::size_t current = bottom;
        while (current < delimiters_.size()) {
            if (!delimiters_[current].canClose) {
                ++current;
                continue;
            }
            const Delimiter& closer = delimiters_[current];
            const std::size_t limit = std::max(openersBottom[kindIndex(closer)], bottom);
            std::optional<std::size_t> openerIndex;
            for (std::size_t k = current; k > limit;) {
                --k;
                const Delimiter& candidate = delimiters_[k];
                if (candidate.character != closer.character || !candidate.canOpen) continue;
                const bool oddMatch = (candidate.canClose || closer.canOpen) &&
                                      (candidate.originalCount + closer.originalCount) % 3 == 0 &&
                                      !(candidate.originalCount % 3 == 0 && closer.originalCount % 3 == 0);
                if (oddMatch) continue;
                openerIndex = k;
                break;
            }

            if (!openerIndex) {
                openersBottom[kindIndex(closer)] = current;
                if (!closer.canOpen) {
                    delimiters_.erase(delimiters_.begin() + static_cast<std::ptrdiff_t>(current));
                } else {
                    ++current;
                }
                continue;
            }

            const std::size_t o = *openerIndex;
            Delimiter& opener = delimiters_[o];
            Delimiter& closing = delimiters_[current];
            const std::size_t use = (opener.count >= 2 && closing.count >= 2) ? 2 : 1;
            opener.count -= use;
            closing.count -= use;
            opener.node->text.resize(opener.count);
            closing.node->text.resize(closing.count);

            const NodeIt wrapper =
                nodes_.insert(std::next(opener.node), Node{use == 2 ? Kind::strong : Kind::emphasis, {}, {}, {}});
            wrapper->children.splice(wrapper->children.end(), nodes_, std::next(wrapper), closing.node);

            // Delimiters between the two are now inside the wrapper and can match nothing else.
            delimiters_.erase(delimiters_.begin() + static_cast<std::ptrdiff_t>(o + 1),
                              delimiters_.begin() + static_cast<std::ptrdiff_t>(current));
            // Limits pointed at most at the closer, which now sits right above the opener.
            for (auto& l : openersBottom) {
                if (l > o) l = o + 1;
            }
            current = o + 1;

            if (delimiters_[o].count == 0) {
                nodes_.erase(delimiters_[o].node);
                delimiters_.erase(delimiters_.begin() + static_cast<std::ptrdiff_t>(o));
                for (auto& l : openersBottom) {
                    if (l > o) --l;
                }
                current = o;
            }
            if (delimiters_[current].count == 0) {
                nodes_.erase(delimiters_[current].node);
                delimiters_.erase(delimiters_.begin() + static_cast<std::ptrdiff_t>(current));
            }
        }
        delimiters_.erase(delimiters_.begin() + static_cast<std::ptrdiff_t>(std::min(bottom, delimiters_.size())),
                          delimiters_.end());
    }

    std::string_view s_;
    std::size_t pos_ = 0;
    std::string pending_;
    NodeList nodes_;
    std::vector<Delimiter> delimiters_;
    std::vector<Bracket> brackets_;
};

struct Style {
    bool strong = false;
    bool emphasis = false;
    bool code = false;
    std::optional<std::string> link;
};

void appendRun(std::vector<StyledRun>& runs, const std::string& text, const Style& style) {
    if (text.empty()) return;
    if (!runs.empty()) {
        StyledRun& last = runs.back();
        if (last.strong == style.strong && last.emphasis == style.emphasis && last.code == style.code &&
            last.link == style.link) {
            last.text += text;
            return;
        }
    }
    runs.push_back(StyledRun{text, style.strong, style.emphasis, style.code, style.link});
}

void flatten(const NodeList& nodes, const Style& style, std::vector<StyledRun>& runs) {
    for (const Node& node : nodes) {
        Style inner = style;
        switch (node.kind) {
            case Kind::text: appendRun(runs, node.text, style); break;
            case Kind::code:
                inner.code = true;
                appendRun(runs, node.text, inner);
                break;
            case Kind::emphasis:
                inner.emphasis = true;
                flatten(node.children, inner, runs);
                break;
            case Kind::strong:
                inner.strong = true;
                flatten(node.children, inner, runs);
                break;
            case Kind::link:
                inner.link = node.destination;
                flatten(node.children, inner, runs);
                break;
            case Kind::image: flatten(node.children, style, runs); break;
        }
    }
}

// Replaces the word markers in the texts and link destinations of `nodes` by their words.
void putWords(NodeList& nodes, const std::vector<std::string>& words) {
    auto put = [&](std::string& text) {
        if (std::none_of(text.begin(), text.end(), isWordMarker)) return;
        std::string out;
        for (const char c : text) {
            if (isWordMarker(c)) {
                out += words[static_cast<unsigned char>(c) - kFirstWordMarker];
            } else {
                out += c;
            }
        }
        text = std::move(out);
    };
    for (Node& node : nodes) {
        put(node.text);
        put(node.destination);
        putWords(node.children, words);
    }
}

}  // namespace

std::optional<std::vector<StyledRun>> parseInlineMarkdown(std::string_view text) {
    if (text.size() > kInlineMarkdownMaximumLength || !isValidUTF8(text)) return std::nullopt;
    const NodeList nodes = InlineParser(text).parse();
    std::vector<StyledRun> runs;
    flatten(nodes, Style{}, runs);
    return runs;
}

std::optional<std::vector<StyledRun>> parseInlineMarkdown(const std::vector<TemplatePiece>& markdownTemplate,
                                                          const std::vector<std::string>& words) {
    std::string source;
    for (const auto& piece : markdownTemplate) {
        if (piece.argument) {
            if (*piece.argument >= words.size() || *piece.argument >= kMaximumWords) return std::nullopt;
            source += static_cast<char>(kFirstWordMarker + *piece.argument);
        } else {
            if (!isValidUTF8(piece.text)) return std::nullopt;
            source += piece.text;
        }
        if (source.size() > kInlineMarkdownMaximumLength) return std::nullopt;
    }
    NodeList nodes = InlineParser(source).parse();

    // The words go in only now, as plain text, so no character of theirs is read as Markdown.
    std::vector<std::string> plainWords;
    plainWords.reserve(words.size());
    for (const auto& word : words) plainWords.push_back(isValidUTF8(word) ? word : repairUTF8(word));
    putWords(nodes, plainWords);
    std::vector<StyledRun> runs;
    flatten(nodes, Style{}, runs);
    return runs;
}

std::string plainText(const std::vector<StyledRun>& runs) {
    std::string out;
    for (const auto& run : runs) out += run.text;
    return out;
}

}  // namespace kestrum
