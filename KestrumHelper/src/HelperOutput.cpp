#include "kestrum/helper/HelperOutput.hpp"

#include <exception>

#include "kestrum/UTF8.hpp"
#include "kestrum/ports/Platform.hpp"

namespace kestrum {

std::string jsonString(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    const std::string valid = isValidUTF8(text) ? std::string(text) : repairUTF8(text);
    std::string out;
    out.reserve(valid.size() + 2);
    out += '"';
    for (const char c : valid) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '/': out += "\\/"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default: {
                const auto byte = static_cast<unsigned char>(c);
                if (byte < 0x20) {
                    out += "\\u00";
                    out += kHex[byte >> 4];
                    out += kHex[byte & 0x0F];
                } else {
                    out += c;  // everything else, non-ASCII included, stays as it is
                }
            }
        }
    }
    out += '"';
    return out;
}

HelperOutput statusOutput(KestrumPane pane, PermissionAuthorizationState state) {
    return HelperOutput{true, std::string(rawValue(pane)), std::string(reportedStatus(state)), std::nullopt};
}

std::string encodeHelperOutput(const HelperOutput& output) {
    std::string line = "{\"success\":";
    line += output.success ? "true" : "false";
    line += ",\"kind\":";
    line += jsonString(output.kind);
    if (output.status) {
        line += ",\"status\":";
        line += jsonString(*output.status);
    }
    if (output.error) {
        line += ",\"error\":";
        line += jsonString(*output.error);
    }
    line += '}';
    return line;
}

void writeOutput(const HelperOutput& output, double timeLimit) {
    std::string line;
    try {
        line = encodeHelperOutput(output);
    } catch (const std::exception&) {
        // Only memory exhaustion can get here; the fixed line needs no allocation.
        line.clear();
    }
    const Platform& ports = platform();
    const double start = ports.mainLoop ? ports.mainLoop->now() : 0;
    const std::string_view bytes = line.empty() ? kHelperOutputFallbackLine : std::string_view(line);
    // A line cut short gets no line feed: the host must not take it for a whole one.
    if (!ports.output->writeStandardOutput(bytes, timeLimit)) return;
    const double spent = ports.mainLoop ? ports.mainLoop->now() - start : 0;
    ports.output->writeStandardOutput("\n", timeLimit - spent);
}

}  // namespace kestrum
