#include "kestrum/helper/HelperCommand.hpp"

#include <algorithm>

#include "kestrum/ports/Platform.hpp"

namespace kestrum {
namespace {

constexpr std::string_view kAppURLOption = "--app-url";
constexpr std::string_view kTimeoutOption = "--timeout";
constexpr std::string_view kCloseWhenGrantedOption = "--close-when-granted";

std::string asciiLowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

ParseCommandError fail(std::string_view prefix, std::string_view detail = {}) {
    std::string message(prefix);
    message += detail;
    return ParseCommandError{std::move(message)};
}

// Options follow the action and the kind; the first of a name counts.
std::vector<std::string>::const_iterator findOption(const std::vector<std::string>& arguments,
                                                    std::string_view option) {
    return std::find(arguments.begin() + 2, arguments.end(), option);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

HelperAction HelperCommand::action() const {
    switch (value.index()) {
        case 0: return HelperAction::authorize;
        case 1: return HelperAction::open;
        case 2: return HelperAction::status;
        default: return HelperAction::wait;
    }
}

KestrumPane HelperCommand::kind() const {
    return std::visit([](const auto& command) { return command.kind; }, value);
}

std::optional<URL> parseAppURL(const std::vector<std::string>& arguments, FileSystem& fileSystem) {
    const auto option = std::find(arguments.begin(), arguments.end(), kAppURLOption);
    if (option == arguments.end() || std::next(option) == arguments.end()) return std::nullopt;
    const std::string& path = *std::next(option);

    // Only a relative path needs the current directory.
    std::string base = "/";
    if (path.empty() || path.front() != '/') base = fileSystem.currentDirectoryPath();
    const URL url = URL::fileURL(path, base).standardized();

    // Lower-casing only ASCII letters is enough: "app" has no other case forms to match.
    if (asciiLowercase(url.pathExtension()) != "app") return std::nullopt;
    return url;
}

std::optional<double> parseSeconds(std::string_view text) {
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    const auto digits = [](std::string_view part) {
        return !part.empty() && std::all_of(part.begin(), part.end(), isDigit);
    };
    if (!digits(whole) || (point != std::string_view::npos && !digits(fraction))) return std::nullopt;
    // Digit by digit, stopping as soon as the whole part is too large (no digit count overflows).
    double seconds = 0;
    for (const char digit : whole) {
        seconds = seconds * 10 + (digit - '0');
        if (seconds > kMaximumWaitTimeout) return std::nullopt;
    }
    double scale = 0.1;
    for (const char digit : fraction) {
        seconds += (digit - '0') * scale;
        scale /= 10;
    }
    if (seconds > kMaximumWaitTimeout) return std::nullopt;
    return seconds;
}

ParseCommandResult parseCommand(const std::vector<std::string>& arguments, FileSystem& fileSystem) {
    if (arguments.size() < 2) return fail(kUsageMessage);
    const auto action = fromRawValue<HelperAction>(arguments[0]);
    if (!action) return fail(kUnsupportedActionPrefix, arguments[0]);
    const auto kind = fromRawValue<KestrumPane>(arguments[1]);
    if (!kind) return fail(kUnsupportedKindPrefix, arguments[1]);

    switch (*action) {
        case HelperAction::open: return HelperCommand{HelperCommand::Open{*kind}};
        case HelperAction::status: return HelperCommand{HelperCommand::Status{*kind}};
        case HelperAction::wait: break;
        case HelperAction::authorize: {
            auto appURL = parseAppURL(arguments, fileSystem);
            if (!appURL) return fail(kAppURLMessage);
            const bool closeWhenGranted = findOption(arguments, kCloseWhenGrantedOption) != arguments.end();
            return HelperCommand{HelperCommand::Authorize{*kind, std::move(*appURL), closeWhenGranted}};
        }
    }
    HelperCommand::Wait wait{*kind};
    if (const auto option = findOption(arguments, kTimeoutOption); option != arguments.end()) {
        const auto seconds = std::next(option) == arguments.end() ? std::nullopt : parseSeconds(*std::next(option));
        if (!seconds) return fail(kTimeoutMessage);
        wait.timeout = *seconds;
    }
    return HelperCommand{wait};
}

ParseCommandResult parseCommand(const std::vector<std::string>& arguments) {
    return parseCommand(arguments, *platform().fileSystem);
}

}  // namespace kestrum
