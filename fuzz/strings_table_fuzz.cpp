// Localized string tables are read from disk and their panel title is read as inline Markdown:
// neither may crash or misbehave on any input. Checks, besides memory safety:
// - a parse gives a table or an error, never both or neither;
// - every value, used as a title template, yields a title;
// - any text put into a template as a word reads back as itself (UTF-8 mended), whatever the
//   Markdown around it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "kestrum/InlineMarkdown.hpp"
#include "kestrum/KestrumPanelView.hpp"
#include "kestrum/StringsTable.hpp"
#include "kestrum/UTF8.hpp"

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
    const std::string word = kestrum::isValidUTF8(text) ? std::string(text) : kestrum::repairUTF8(text);
    for (const char* markdownTemplate : {"%@", "**%@**", "`%@`", "*[%@](%1$@)*"}) {
        const auto runs = kestrum::parseInlineMarkdown(kestrum::splitObjectTemplate(markdownTemplate, 1), {word});
        if (!runs || kestrum::plainText(*runs) != word) std::abort();
    }
    // As a template, with names that are Markdown themselves.
    (void)kestrum::headerTitle(text, "A*B*C", "Tazel (Beta)");
    return 0;
}
