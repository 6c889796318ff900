// Runs the helper's parsing and output in process over an argument list made from the input
// (arguments separated by NUL bytes, as a real argument vector cannot hold one), with faked
// ports (the resource bundle present or not), and checks the contract of what it writes: exactly one line, a strictly valid compact
// JSON object in well-formed UTF-8 with the expected members, and an exit code of 0, 1 or 2.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrum/KestrumPane.hpp"
#include "kestrum/PermissionAuthorizationState.hpp"
#include "kestrum/fakes/FakePlatform.hpp"
#include "kestrum/helper/HelperCommand.hpp"
#include "kestrum/helper/HelperOutput.hpp"
#include "kestrum/helper/KestrumHelperRunner.hpp"

namespace {

[[noreturn]] void fail(const std::string& what, std::string_view line) {
    std::fprintf(stderr, "contract broken: %s\nline: %.*s\n", what.c_str(), static_cast<int>(line.size()), line.data());
    std::abort();
}

// A strict reader of the JSON the helper may write: one object of string and boolean members,
// compact (no whitespace), strings in well-formed UTF-8 with exactly the writer's escapes.
class StrictJSON {
public:
    struct Member {
        std::string name;
        std::optional<bool> boolean;
        std::optional<std::string> text;
    };

    explicit StrictJSON(std::string_view text) : text_(text) {}

    std::optional<std::vector<Member>> object() {
        std::vector<Member> members;
        if (!take('{')) return std::nullopt;
        if (take('}')) return finish(members);
        do {
            Member member;
            auto name = string();
            if (!name || !take(':')) return std::nullopt;
            member.name = std::move(*name);
            if (peek() == '"') {
                member.text = string();
                if (!member.text) return std::nullopt;
            } else if (literal("true")) {
                member.boolean = true;
            } else if (literal("false")) {
                member.boolean = false;
            } else {
                return std::nullopt;  // null, numbers, nested values: never written
            }
            members.push_back(std::move(member));
        } while (take(','));
        if (!take('}')) return std::nullopt;
        return finish(members);
    }

private:
    std::optional<std::vector<Member>> finish(std::vector<Member>& members) {
        if (pos_ != text_.size()) return std::nullopt;  // trailing bytes
        return std::move(members);
    }
    int peek() const { return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_]) : -1; }
    bool take(char c) {
        if (peek() != static_cast<unsigned char>(c)) return false;
        ++pos_;
        return true;
    }
    bool literal(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }

    static int hex(int c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    // One UTF-8 sequence; false when ill-formed (overlong, surrogate, above U+10FFFF, cut short).
    bool utf8(std::string& out) {
        const int lead = peek();
        int length = 0;
        std::uint32_t cp = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            cp = static_cast<std::uint32_t>(lead) & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            cp = static_cast<std::uint32_t>(lead) & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            cp = static_cast<std::uint32_t>(lead) & 0x07;
        } else {
            return false;
        }
        if (text_.size() - pos_ < static_cast<std::size_t>(length)) return false;
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text_[pos_ + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (next & 0x3Fu);
        }
        if ((length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000)) return false;
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return false;
        out.append(text_.substr(pos_, static_cast<std::size_t>(length)));
        pos_ += static_cast<std::size_t>(length);
        return true;
    }

    std::optional<std::string> string() {
        if (!take('"')) return std::nullopt;
        std::string out;
        for (;;) {
            const int c = peek();
            if (c < 0) return std::nullopt;
            if (c == '"') {
                ++pos_;
                return out;
            }
            if (c < 0x20) return std::nullopt;  // raw control character
            if (c == '/') return std::nullopt;  // the writer escapes the solidus
            if (c >= 0x80) {
                if (!utf8(out)) return std::nullopt;
                continue;
            }
            ++pos_;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            const int e = peek();
            ++pos_;
            switch (e) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    int value = 0;
                    for (int k = 0; k < 4; ++k) {
                        const int h = hex(peek());
                        if (h < 0) return std::nullopt;
                        value = value * 16 + h;
                        ++pos_;
                    }
                    // Only control characters without a short escape are written this way.
                    if (value >= 0x20 || value == '\b' || value == '\f' || value == '\n' || value == '\r' ||
                        value == '\t') {
                        return std::nullopt;
                    }
                    out += static_cast<char>(value);
                    break;
                }
                default:
                    return std::nullopt;
            }
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

// Behaves as a process does: once it has exited, nothing more is written.
class ProcessLikeOutput final : public kestrum::fakes::FakeOutput {
public:
    bool writeStandardOutput(std::string_view bytes, double timeLimit) override {
        return !exitCode && FakeOutput::writeStandardOutput(bytes, timeLimit);
    }
    bool writeStandardError(std::string_view bytes, double timeLimit) override {
        return !exitCode && FakeOutput::writeStandardError(bytes, timeLimit);
    }
};

constexpr std::string_view kMissingBundlePrefix = "could not load resource bundle: from ";

std::vector<std::string> splitArguments(std::string_view bytes) {
    std::vector<std::string> arguments;
    if (bytes.empty()) return arguments;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = bytes.find('\0', start);
        arguments.emplace_back(bytes.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return arguments;
}

bool isStateRawValue(const std::string& text) {
    return kestrum::fromRawValue<kestrum::PermissionAuthorizationState>(text).has_value();
}

void checkLine(const kestrum::fakes::FakeOutput& output, std::optional<int> exitCode) {
    const std::string& written = output.standardOutput;
    if (written.empty() || written.back() != '\n') fail("no line feed at the end", written);
    const std::string_view line(written.data(), written.size() - 1);
    if (line.find('\n') != std::string_view::npos) fail("more than one line", written);
    if (output.writes.size() != 2 || output.writes[1] != "\n") fail("line and line feed not written separately", line);

    auto members = StrictJSON(line).object();
    if (!members) fail("not strictly valid compact JSON in UTF-8", line);

    // Members in the order success, kind, status, error; the last two only when present.
    std::size_t i = 0;
    const auto next = [&](std::string_view name) -> const StrictJSON::Member* {
        if (i < members->size() && (*members)[i].name == name) return &(*members)[i++];
        return nullptr;
    };
    const auto* success = next("success");
    const auto* kind = next("kind");
    const auto* status = next("status");
    const auto* error = next("error");
    if (i != members->size()) fail("unexpected or misordered members", line);
    if (!success || !success->boolean) fail("success missing or not a boolean", line);
    if (!kind || !kind->text) fail("kind missing or not a string", line);
    if (status && (!status->text || !isStateRawValue(*status->text))) fail("status is not a state", line);
    if (error && !error->text) fail("error is not a string", line);
    if (*success->boolean == (error != nullptr)) fail("success and error disagree", line);
    if (*kind->text != "unknown" && !kestrum::fromRawValue<kestrum::KestrumPane>(*kind->text)) {
        fail("kind is neither a pane nor unknown", line);
    }

    if (!exitCode) return;  // authorize: the process goes on; its end is checked by the caller
    if (*exitCode == 2) {
        if (*kind->text != "unknown" || !error) fail("a usage error must report kind unknown and an error", line);
        const std::string& message = *error->text;
        const bool known = message == kestrum::kUsageMessage || message == kestrum::kAppURLMessage ||
                           message == kestrum::kTimeoutMessage ||
                           message.rfind(kestrum::kUnsupportedActionPrefix, 0) == 0 ||
                           message.rfind(kestrum::kUnsupportedKindPrefix, 0) == 0;
        if (!known) fail("unexpected usage message", line);
    } else if (*exitCode == 1) {
        if (*kind->text != "fullDiskAccess" || !error) fail("exit 1 is only the full-disk-access refusal", line);
    } else if (*exitCode == 0) {
        if (!*success->boolean) fail("exit 0 without success", line);
    } else {
        fail("exit code " + std::to_string(*exitCode), line);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);

    kestrum::fakes::FakePlatform fake;
    fake.output = std::make_shared<ProcessLikeOutput>();
    fake.install();
    // The first byte, when there is one, sets the permission answers the fakes give and
    // whether the resource bundle is beside the executable.
    bool bundlePresent = true;
    if (!bytes.empty()) {
        const auto flags = static_cast<unsigned char>(bytes.front());
        bytes.remove_prefix(1);
        fake.permissionQueries->accessibilityTrusted = flags & 1;
        fake.permissionQueries->screenCapture = flags & 2;
        fake.permissionQueries->audio = static_cast<kestrum::AudioCaptureAuthorization>((flags >> 2) % 6);
        bundlePresent = (flags & 0x80) == 0;
    }
    fake.fileSystem->currentDirectory = "/Users/tester/Work";
    if (bundlePresent) fake.fileSystem->directories[fake.fileSystem->bundlePath + "/Kestrum_Kestrum.bundle"] = {};
    kestrum::helperKeepAliveSeconds = 1;

    const auto arguments = splitArguments(bytes);
    auto runner = std::make_shared<kestrum::KestrumHelperRunner>();
    runner->run(arguments);

    const auto& output = *fake.output;
    // wait: its first reading, a fresh process, says granted; the line follows at once.
    const auto parsed = kestrum::parseCommand(arguments, *fake.fileSystem);
    if (const auto* command = std::get_if<kestrum::HelperCommand>(&parsed);
        command && command->action() == kestrum::HelperAction::wait && !output.exitCode) {
        if (fake.childProcesses->started.size() != 1) fail("wait did not start exactly one reading", output.standardOutput);
        if (!output.standardOutput.empty()) fail("wait wrote before its reading answered", output.standardOutput);
        fake.childProcesses->answer(kestrum::encodeHelperOutput(
            kestrum::statusOutput(command->kind(), kestrum::PermissionAuthorizationState::granted)));
        fake.mainLoop->runPendingTasks();
        if (output.exitCode != 0) fail("wait did not end with 0 when granted", output.standardOutput);
    }
    if (!output.standardError.empty()) {
        // The one message allowed there: the resource bundle is missing. The process then ends
        // with status 1 before any line is written.
        const std::string& message = output.standardError;
        if (bundlePresent || message.rfind(kMissingBundlePrefix, 0) != 0 || message.find('\n') != message.size() - 1) {
            fail("unexpected standard error", message);
        }
        if (output.exitCode != 1 || !output.standardOutput.empty()) fail("missing bundle must end with 1, no line", message);
        return 0;
    }
    if (output.exitCode) {
        checkLine(output, output.exitCode);
        return 0;
    }
    // authorize: the line is out at once; the process ends normally once the keep-alive fires.
    checkLine(output, std::nullopt);
    if (fake.application->terminations != 0) fail("terminated before the keep-alive time", output.standardOutput);
    fake.mainLoop->advance(kestrum::helperKeepAliveSeconds + 0.5);
    fake.mainLoop->runPendingTasks();
    if (fake.application->terminations != 1) fail("not terminated once after the keep-alive time", output.standardOutput);
    if (output.writes.size() != 2) fail("more output after the first line", output.standardOutput);
    return 0;
}
