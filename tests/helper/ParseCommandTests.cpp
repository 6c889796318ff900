#include "kestrum/helper/HelperCommand.hpp"

#include <gtest/gtest.h>

#include "kestrum/fakes/FakePlatform.hpp"

namespace kestrum {
namespace {

using Arguments = std::vector<std::string>;

std::string errorOf(const Arguments& arguments) {
    const auto result = parseCommand(arguments);
    const auto* error = std::get_if<ParseCommandError>(&result);
    return error ? error->message : "(parsed)";
}

HelperCommand commandOf(const Arguments& arguments) {
    auto result = parseCommand(arguments);
    EXPECT_TRUE(std::holds_alternative<HelperCommand>(result)) << errorOf(arguments);
    return std::get<HelperCommand>(std::move(result));
}

std::string appURLText(const Arguments& arguments) {
    const auto url = parseAppURL(arguments, *platform().fileSystem);
    return url ? url->absoluteString() : "(none)";
}

class ParseCommandTests : public testing::Test {
protected:
    void SetUp() override { fake.fileSystem->currentDirectory = "/home/tester/work"; }
    fakes::FakePlatform fake;
};

TEST_F(ParseCommandTests, ChecksCountThenActionThenKindWithExactMessages) {
    const std::string usage = "Usage: authorize|open|status <permission-kind> [--app-url <Tazel.app>]";
    EXPECT_EQ(errorOf({}), usage);
    EXPECT_EQ(errorOf({"status"}), usage);
    EXPECT_EQ(errorOf({"bogus"}), usage);
    // Actions and kinds match exactly, letter case included; the argument is quoted unchanged.
    EXPECT_EQ(errorOf({"Open", "accessibility"}), "Unsupported action: Open");
    EXPECT_EQ(errorOf({"status ", "accessibility"}), "Unsupported action: status ");
    EXPECT_EQ(errorOf({"", "accessibility"}), "Unsupported action: ");
    EXPECT_EQ(errorOf({"frob", "nonsense"}), "Unsupported action: frob");
    EXPECT_EQ(errorOf({"status", "Accessibility"}), "Unsupported permission kind: Accessibility");
    EXPECT_EQ(errorOf({"open", " accessibility"}), "Unsupported permission kind:  accessibility");
    EXPECT_EQ(errorOf({"authorize", "screen_recording", "--app-url", "/A.app"}),
              "Unsupported permission kind: screen_recording");
}

TEST_F(ParseCommandTests, StatusAndOpenIgnoreEveryFurtherArgument) {
    for (const auto pane : allCases<KestrumPane>()) {
        const std::string kind(rawValue(pane));
        EXPECT_EQ(commandOf({"status", kind}), HelperCommand{HelperCommand::Status{pane}});
        EXPECT_EQ(commandOf({"open", kind, "--app-url", "/nope.zip", "extra"}), HelperCommand{HelperCommand::Open{pane}});
        EXPECT_EQ(commandOf({"open", kind, "--app-url"}).action(), HelperAction::open);
    }
}

TEST_F(ParseCommandTests, AuthorizeNeedsAnApplicationBundle) {
    const std::string message = "--app-url must point to the Tazel .app bundle";
    EXPECT_EQ(errorOf({"authorize", "microphone"}), message);
    EXPECT_EQ(errorOf({"authorize", "microphone", "--app-url"}), message);
    EXPECT_EQ(errorOf({"authorize", "microphone", "--app-url", "/Apps/Tazel.zip"}), message);
    EXPECT_EQ(errorOf({"authorize", "microphone", "--app-url", "/Apps/Tazel"}), message);
    EXPECT_EQ(errorOf({"authorize", "microphone", "--app-url", "/Apps/Tazel.app.zip"}), message);
    EXPECT_EQ(errorOf({"authorize", "microphone", "--APP-URL", "/Apps/Tazel.app"}), message);
    // Only the first option counts, even when a later one would have been fine.
    EXPECT_EQ(errorOf({"authorize", "microphone", "--app-url", "/A.zip", "--app-url", "/B.app"}), message);

    const auto command = commandOf({"authorize", "fullDiskAccess", "x", "--app-url", "/Apps/Tazel.app", "y"});
    EXPECT_EQ(command, (HelperCommand{HelperCommand::Authorize{KestrumPane::fullDiskAccess,
                                                              *URL::parse("file:///Apps/Tazel.app")}}));
    EXPECT_EQ(command.kind(), KestrumPane::fullDiskAccess);
    EXPECT_EQ(command.action(), HelperAction::authorize);
}

TEST_F(ParseCommandTests, WaitTakesATimeoutAndAuthorizeTheCloseOption) {
    EXPECT_EQ(commandOf({"wait", "accessibility"}), (HelperCommand{HelperCommand::Wait{KestrumPane::accessibility, 300}}));
    EXPECT_EQ(commandOf({"wait", "microphone", "x", "--timeout", "2.5", "--timeout", "9", "--app-url"}),
              (HelperCommand{HelperCommand::Wait{KestrumPane::microphone, 2.5}}));
    EXPECT_EQ(commandOf({"wait", "microphone", "--timeout", "2.5"}).action(), HelperAction::wait);
    const auto granted = commandOf({"authorize", "microphone", "--close-when-granted", "--app-url", "/A.app"});
    EXPECT_EQ(granted, (HelperCommand{HelperCommand::Authorize{KestrumPane::microphone, URL::fileURL("/A.app"), true}}));
    EXPECT_EQ(commandOf({"authorize", "microphone", "--app-url", "/A.app", "--timeout", "x"}),
              (HelperCommand{HelperCommand::Authorize{KestrumPane::microphone, URL::fileURL("/A.app"), false}}));
    // The new words change nothing for the other actions.
    EXPECT_EQ(commandOf({"status", "bluetooth", "--timeout", "-1", "--close-when-granted"}),
              HelperCommand{HelperCommand::Status{KestrumPane::bluetooth}});
    EXPECT_EQ(errorOf({"wait"}), "Usage: authorize|open|status <permission-kind> [--app-url <Tazel.app>]");
    EXPECT_EQ(errorOf({"Wait", "accessibility"}), "Unsupported action: Wait");
    EXPECT_EQ(errorOf({"wait", "--timeout", "5"}), "Unsupported permission kind: --timeout");

    for (const auto& [text, seconds] : std::vector<std::pair<std::string, double>>{
             {"0", 0}, {"007", 7}, {"2.5", 2.5}, {"0.25", 0.25}, {"86400", 86400}, {"86400.000", 86400}}) {
        EXPECT_EQ(parseSeconds(text), seconds) << text;
    }
    for (const char* text : {"", "abc", "-1", "+5", "1e3", "inf", "nan", " 5", "5 ", ".5", "5.", "0x10", "1,5",
                             "86400.5", "86401", "99999999999999999999999999999999"}) {
        EXPECT_EQ(parseSeconds(text), std::nullopt) << text;
    }
}

TEST_F(ParseCommandTests, AppURLIsAbsoluteStandardizedAndAcceptsAnyLetterCase) {
    EXPECT_EQ(appURLText({"--app-url", "/Apps/Tazel.APP"}), "file:///Apps/Tazel.APP");
    EXPECT_EQ(appURLText({"--app-url", "/Apps/Tazel.App"}), "file:///Apps/Tazel.App");
    EXPECT_EQ(appURLText({"--app-url", "//Apps/./x/../Tazel.app"}), "file:///Apps/Tazel.app");
    EXPECT_EQ(appURLText({"--app-url", "/../../Tazel.app"}), "file:///Tazel.app");
    EXPECT_EQ(appURLText({"--app-url", "/Apps/Tazel.app/"}), "file:///Apps/Tazel.app/");
    // Relative paths hang below the current directory.
    EXPECT_EQ(appURLText({"--app-url", "Tazel.app"}), "file:///home/tester/work/Tazel.app");
    EXPECT_EQ(appURLText({"--app-url", "../Builds/./Tazel.app"}), "file:///home/tester/Builds/Tazel.app");
    // The entry point parses before any platform is installed, with the file system it names.
    fakes::FakeFileSystem other;
    other.currentDirectory = "/srv/host";
    const auto parsed = parseCommand({"authorize", "microphone", "--app-url", "Tazel.app"}, other);
    ASSERT_TRUE(std::holds_alternative<HelperCommand>(parsed));
    EXPECT_EQ(std::get<HelperCommand>(parsed), (HelperCommand{HelperCommand::Authorize{
                                                   KestrumPane::microphone, URL::fileURL("/srv/host/Tazel.app")}}));
    // Characters a URL path cannot carry are percent-encoded; the extension is read decoded.
    EXPECT_EQ(appURLText({"--app-url", "/Apps/Tazel Beta#2.app"}), "file:///Apps/Tazel%20Beta%232.app");
    EXPECT_EQ(appURLText({"--app-url", "/Apps/Caf\xC3\xA9.app"}), "file:///Apps/Caf%C3%A9.app");
    // The option must be spelled exactly, and needs a value.
    EXPECT_EQ(appURLText({"--app-url=/Apps/Tazel.app"}), "(none)");
    EXPECT_EQ(appURLText({"/Apps/Tazel.app", "--app-url"}), "(none)");
    // The extension is that of the last segment only.
    EXPECT_EQ(appURLText({"--app-url", "/Apps/Tazel.app/Contents"}), "(none)");
}

}  // namespace
}  // namespace kestrum
