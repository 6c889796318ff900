// What the test build of the helper takes from the end-to-end tests, through its environment:
//   KESTRUM_TEST_PERMISSION_ANSWERS=<file>  lines "<kind>=<state>" (accessibility, screenRecording,
//       microphone; granted, notGranted, or unknown for the microphone), read at every question, so
//       that a test can grant a permission while the helper waits; a kind the file does not name
//       gets the platform's answer;
//   KESTRUM_TEST_KEEP_ALIVE_SECONDS=<seconds>  authorize's keep-alive instead of the build's.
// Linked into the test build only; its entry point calls these two functions.
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "kestrum/ports/Platform.hpp"

namespace kestrum::testbuild {
namespace {

class AnswersFromFile final : public PermissionQueries {
public:
    AnswersFromFile(std::string path, std::shared_ptr<PermissionQueries> platform)
        : path_(std::move(path)), platform_(std::move(platform)) {}

    bool isAccessibilityTrusted() override {
        const auto answer = answerFor("accessibility");
        return answer ? *answer == "granted" : platform_->isAccessibilityTrusted();
    }
    bool screenCapturePreflight() override {
        const auto answer = answerFor("screenRecording");
        return answer ? *answer == "granted" : platform_->screenCapturePreflight();
    }
    AudioCaptureAuthorization audioCaptureAuthorization() override {
        const auto answer = answerFor("microphone");
        if (!answer) return platform_->audioCaptureAuthorization();
        if (*answer == "granted") return AudioCaptureAuthorization::authorized;
        if (*answer == "notGranted") return AudioCaptureAuthorization::denied;
        return static_cast<AudioCaptureAuthorization>(42);  // no authorization the platform knows
    }
    void requestAudioCapture(std::function<void(bool)> completion) override {
        platform_->requestAudioCapture(std::move(completion));
    }

private:
    std::optional<std::string> answerFor(const std::string& kind) const {
        std::ifstream file(path_);
        for (std::string line; std::getline(file, line);) {
            if (line.rfind(kind + "=", 0) == 0) return line.substr(kind.size() + 1);
        }
        return std::nullopt;
    }

    std::string path_;
    std::shared_ptr<PermissionQueries> platform_;
};

}  // namespace

void adjustPorts(Platform& ports) {
    const char* answers = std::getenv("KESTRUM_TEST_PERMISSION_ANSWERS");
    if (answers && *answers) ports.permissionQueries = std::make_shared<AnswersFromFile>(answers, ports.permissionQueries);
}

double keepAliveSeconds(double built) {
    const char* seconds = std::getenv("KESTRUM_TEST_KEEP_ALIVE_SECONDS");
    return seconds && *seconds ? std::atof(seconds) : built;
}

}  // namespace kestrum::testbuild
