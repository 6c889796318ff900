#pragma once
// A throwaway handler for the settings scheme, registered in private XDG folders, that records
// the URL it receives. The desktop's URL opener is made deterministic: a generic desktop
// (X-Generic), a display name so that it consults the scheme handlers (the name is never
// connected to), and no system-wide data or configuration folders.
#include <chrono>
#include <filesystem>
#include <thread>

#include "HelperProcess.hpp"

namespace kestrum::e2e {

class RecordingURLHandler {
public:
    RecordingURLHandler() {
        // The handler also prints, to prove that nothing it writes reaches the helper's streams.
        temp.write("record",
                   "#!/bin/sh\n"
                   "echo handler-noise\n"
                   "echo handler-noise >&2\n"
                   "printf '%s' \"$1\" > \"" + temp / "received.tmp" + "\" && mv \"" + temp / "received.tmp" +
                       "\" \"" + temp / "received" + "\"\n",
                   true);
        temp.write("data/applications/kestrum-record.desktop",
                   "[Desktop Entry]\nType=Application\nName=Record\nExec=" + temp / "record" +
                       " %u\nMimeType=x-scheme-handler/x-apple.systempreferences;\nNoDisplay=true\n");
        temp.write("config/mimeapps.list",
                   "[Default Applications]\nx-scheme-handler/x-apple.systempreferences=kestrum-record.desktop\n");
        std::filesystem::create_directories(temp / "empty");
        std::filesystem::create_directories(temp / "home");
    }

    // The environment that leads the opener to this handler; `path` is the PATH entry, if any.
    std::vector<std::string> environment(const std::optional<std::string>& path = "PATH=/usr/bin:/bin") const {
        std::vector<std::string> result{"LC_ALL=C.UTF-8",
                                        "HOME=" + temp / "home",
                                        "XDG_DATA_HOME=" + temp / "data",
                                        "XDG_DATA_DIRS=" + temp / "empty",
                                        "XDG_CONFIG_HOME=" + temp / "config",
                                        "XDG_CONFIG_DIRS=" + temp / "empty",
                                        "XDG_CURRENT_DESKTOP=X-Generic",
                                        "DISPLAY=:kestrum-unused"};
        if (path) result.push_back(*path);
        return result;
    }

    // What the handler received; the opener runs on after the helper has ended.
    std::optional<std::string> awaitURL() const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            if (auto received = readWholeFile(temp / "received")) return received;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return std::nullopt;
    }
    void forget() const { std::filesystem::remove(temp / "received"); }

    TempDirectory temp;
};

}  // namespace kestrum::e2e
