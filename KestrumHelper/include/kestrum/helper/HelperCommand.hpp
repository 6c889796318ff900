#pragma once
// The helper's command line: the action, the permission kind and, for authorize, the host
// application's bundle; for wait, how long to wait.
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

enum class HelperAction { authorize, open, status, wait };

template <>
struct RawEnumTable<HelperAction> {
    static constexpr std::array<std::pair<HelperAction, std::string_view>, 4> entries{{
        {HelperAction::authorize, "authorize"},
        {HelperAction::open, "open"},
        {HelperAction::status, "status"},
        {HelperAction::wait, "wait"},
    }};
};

// How long wait waits when --timeout is not given: as long as authorize keeps its panel.
inline constexpr double kDefaultWaitTimeout = 300;
// The longest --timeout: a day is more than anyone spends in the settings, and every timer of
// both platforms holds it exactly. A host that means longer runs wait again.
inline constexpr double kMaximumWaitTimeout = 86400;

// A parsed command: one of four cases, each with its payload.
struct HelperCommand {
    struct Authorize {
        KestrumPane kind;
        URL appURL;  // absolute, standardized file URL whose extension is "app" in some letter case
        bool closeWhenGranted = false;  // --close-when-granted
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
    struct Wait {
        KestrumPane kind;
        double timeout = kDefaultWaitTimeout;  // seconds, from 0 to kMaximumWaitTimeout
        friend bool operator==(const Wait&, const Wait&) = default;
    };

    std::variant<Authorize, Open, Status, Wait> value;

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
inline constexpr std::string_view kTimeoutMessage = "--timeout must be a number of seconds from 0 to 86400";

// The arguments without the program name. Reads the current directory (through `fileSystem`, or
// the installed FileSystem port) only to resolve a relative app path.
ParseCommandResult parseCommand(const std::vector<std::string>& arguments, FileSystem& fileSystem);
ParseCommandResult parseCommand(const std::vector<std::string>& arguments);

// The bundle URL after the first "--app-url", when it names an ".app" (any letter case).
std::optional<URL> parseAppURL(const std::vector<std::string>& arguments, FileSystem& fileSystem);

// A number of seconds written as digits with an optional decimal fraction ("30", "2.5"), from 0
// to kMaximumWaitTimeout; nothing for anything else (signs, exponents, spaces, "inf", "nan").
std::optional<double> parseSeconds(std::string_view text);

}  // namespace kestrum
