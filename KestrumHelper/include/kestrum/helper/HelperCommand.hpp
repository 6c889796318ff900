#pragma once
// The helper's command line: the action, the permission kind and, for authorize, the host
// application's bundle.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "kestrum/KestrumPane.hpp"
#include "kestrum/RawEnum.hpp"
#include "kestrum/URL.hpp"

namespace kestrum {

class FileSystem;

enum class HelperAction { authorize, open, status };

template <>
struct RawEnumTable<HelperAction> {
    static constexpr std::array<std::pair<HelperAction, std::string_view>, 3> entries{{
        {HelperAction::authorize, "authorize"},
        {HelperAction::open, "open"},
        {HelperAction::status, "status"},
    }};
};

// A parsed command: one of three cases, each with its payload.
struct HelperCommand {
    struct Authorize {
        KestrumPane kind;
        URL appURL;  // absolute, standardized file URL whose extension is "app" in some letter case
        friend bool operator==(const Authorize&, const Authorize&) = default;
    };
    struct Open {
        KestrumPane kind;
        friend bool operator==(const Open&, const Open&) = default;
    };
    struct Status {
        KestrumPane kind;
        friend bool operator==(const Status&, const Status&) = default;
    };

    std::variant<Authorize, Open, Status> value;

    HelperAction action() const;
    KestrumPane kind() const;
    friend bool operator==(const HelperCommand&, const HelperCommand&) = default;
};

struct ParseCommandError {
    std::string message;
    friend bool operator==(const ParseCommandError&, const ParseCommandError&) = default;
};

using ParseCommandResult = std::variant<HelperCommand, ParseCommandError>;

inline constexpr std::string_view kUsageMessage =
    "Usage: authorize|open|status <permission-kind> [--app-url <Tazel.app>]";
inline constexpr std::string_view kUnsupportedActionPrefix = "Unsupported action: ";
inline constexpr std::string_view kUnsupportedKindPrefix = "Unsupported permission kind: ";
inline constexpr std::string_view kAppURLMessage = "--app-url must point to the Tazel .app bundle";

// The arguments without the program name. Reads the current directory (through `fileSystem`, or
// the installed FileSystem port) only to resolve a relative app path.
ParseCommandResult parseCommand(const std::vector<std::string>& arguments, FileSystem& fileSystem);
ParseCommandResult parseCommand(const std::vector<std::string>& arguments);

// The bundle URL after the first "--app-url", when it names an ".app" (any letter case).
std::optional<URL> parseAppURL(const std::vector<std::string>& arguments, FileSystem& fileSystem);

}  // namespace kestrum
