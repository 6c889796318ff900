#include "kestrum/helper/HelperCommand.hpp"

#include <algorithm>

#include "kestrum/ports/Platform.hpp"

namespace kestrum {
namespace {

constexpr std::string_view kAppURLOption = "--app-url";

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

}  // namespace

HelperAction HelperCommand::action() const {
    switch (value.index()) {
        case 0: return HelperAction::authorize;
        case 1: return HelperAction::open;
        default: return HelperAction::status;
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

ParseCommandResult parseCommand(const std::vector<std::string>& arguments, FileSystem& fileSystem) {
    if (arguments.size() < 2) return fail(kUsageMessage);
    const auto action = fromRawValue<HelperAction>(arguments[0]);
    if (!action) return fail(kUnsupportedActionPrefix, arguments[0]);
    const auto kind = fromRawValue<KestrumPane>(arguments[1]);
    if (!kind) return fail(kUnsupportedKindPrefix, arguments[1]);

    switch (*action) {
        case HelperAction::open: return HelperCommand{HelperCommand::Open{*kind}};
        case HelperAction::status: return HelperCommand{HelperCommand::Status{*kind}};
        case HelperAction::authorize: break;
    }
    auto appURL = parseAppURL(arguments, fileSystem);
    if (!appURL) return fail(kAppURLMessage);
    return HelperCommand{HelperCommand::Authorize{*kind, std::move(*appURL)}};
}

ParseCommandResult parseCommand(const std::vector<std::string>& arguments) {
    return parseCommand(arguments, *platform().fileSystem);
}

}  // namespace kestrum
