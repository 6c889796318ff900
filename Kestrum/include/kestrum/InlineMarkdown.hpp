#pragma once
// Inline Markdown as CommonMark defines it for inline content: emphasis and strong emphasis
// (with the delimiter-run rules), code spans, inline links and autolinks, backslash escapes
// and character references. Block syntax (headings, lists, quotes) is ordinary text, and every
// space and line break is kept. Image syntax shows its description as text.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrum/PanelContent.hpp"
#include "kestrum/StringFormat.hpp"

namespace kestrum {

// Texts longer than this are not interpreted (a panel title is far shorter).
inline constexpr std::size_t kInlineMarkdownMaximumLength = 4096;

// The styled runs of `text`, adjacent runs of equal style merged; nothing when the text cannot
// be interpreted (not UTF-8, or longer than kInlineMarkdownMaximumLength).
std::optional<std::vector<StyledRun>> parseInlineMarkdown(std::string_view text);

// The inline Markdown of a template whose placeholders stand for `words`: each placeholder
// reads as one opaque word (like a letter to the emphasis rules), and its word goes into the
// styled run around it as plain text, exactly as given (invalid UTF-8 mended), never read as
// Markdown. Nothing when the template cannot be interpreted (not UTF-8, longer than
// kInlineMarkdownMaximumLength, or with more than eight distinct words).
std::optional<std::vector<StyledRun>> parseInlineMarkdown(const std::vector<TemplatePiece>& markdownTemplate,
                                                          const std::vector<std::string>& words);

// The runs' texts joined.
std::string plainText(const std::vector<StyledRun>& runs);

}  // namespace kestrum
