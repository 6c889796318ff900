// Localized string tables are read from disk and their panel title is read as inline Markdown:
// neither may crash or misbehave on any input. Checks, besides memory safety:
// - a parse gives a table or an error, never both or neither;
// - every value, used as a title template, yields a title;
// - any text escaped for Markdown reads back as itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "kestrum/InlineMarkdown.hpp"
#include "kestrum/KestrumPanelView.hpp"
#include "kestrum/StringsTable.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const auto parsed = kestrum::StringsTable::parse(text);
    if (parsed.table.has_value() == parsed.error.has_value()) std::abort();
    if (parsed.table) {
        for (const auto& [key, value] : parsed.table->entries()) {
            if (kestrum::headerTitle(value, "Tazel", "Media & Apple Music").empty() && !value.empty()) std::abort();
        }
    }

    (void)kestrum::parseInlineMarkdown(text);
    if (size <= kestrum::kInlineMarkdownMaximumLength / 2) {
        if (const auto runs = kestrum::parseInlineMarkdown(kestrum::escapeInlineMarkdown(text))) {
            if (kestrum::plainText(*runs) != text) std::abort();
        }
    }
    return 0;
}
