#pragma once
// Local servers that let a client down: a socket that accepts connections and never answers,
// and an X display that passes each connection to a real server until the server has answered
// the handshake, then goes silent or hangs up.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kestrum::e2e {

class UnresponsiveServer {
public:
    enum class Behaviour { silent, silentAfterHandshake, hangUpAfterHandshake };

    // At a path in the file system (a session bus's address, for instance).
    explicit UnresponsiveServer(const std::string& path) { listenAt(address(path, false)); }

    // As the X display ":<number>" of a number no server uses (xcb looks for the abstract socket
    // "/tmp/.X11-unix/X<number>"); `server` is the real display (":<number>") it relays to.
    UnresponsiveServer(Behaviour behaviour, const std::string& server = {}) : behaviour_(behaviour), server_(server) {
        for (int number = 700; number < 1000 && listener_ < 0; ++number) {
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
            struct stat info {};
            if (::stat(socket.c_str(), &info) == 0) continue;  // a server's file socket
            if (listenAt(address(socket, true))) display_ = ":" + std::to_string(number);
        }
    }

    ~UnresponsiveServer() {
        if (thread_.joinable()) {
            const char stop = 0;
            [[maybe_unused]] const ssize_t written = ::write(stop_[1], &stop, 1);
            thread_.join();
        }
        for (const int descriptor : held_) ::close(descriptor);
        for (const int descriptor : {listener_, stop_[0], stop_[1]}) {
            if (descriptor >= 0) ::close(descriptor);
        }
    }
    UnresponsiveServer(const UnresponsiveServer&) = delete;
    UnresponsiveServer& operator=(const UnresponsiveServer&) = delete;

    bool listening() const { return listener_ >= 0; }
    const std::string& display() const { return display_; }

private:
    static std::optional<sockaddr_un> address(const std::string& path, bool abstract) {
        sockaddr_un result{};
        result.sun_family = AF_UNIX;
        if (path.size() + 1 >= sizeof result.sun_path) return std::nullopt;
        std::memcpy(result.sun_path + (abstract ? 1 : 0), path.data(), path.size());
        return result;
    }
    static socklen_t length(const sockaddr_un& address) {
        const bool abstract = address.sun_path[0] == '\0';
        return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + (abstract ? 1 : 0) +
                                      std::strlen(address.sun_path + (abstract ? 1 : 0)));
    }

    bool listenAt(const std::optional<sockaddr_un>& at) {
        const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (!at || descriptor < 0 || ::bind(descriptor, reinterpret_cast<const sockaddr*>(&*at), length(*at)) != 0 ||
            ::listen(descriptor, 64) != 0 || ::pipe2(stop_, O_CLOEXEC) != 0) {
            if (descriptor >= 0) ::close(descriptor);
            return false;
        }
        listener_ = descriptor;
        thread_ = std::thread([this] { serve(); });
        return true;
    }

    void serve() {
        pollfd descriptors[2] = {{listener_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
        while (::poll(descriptors, 2, -1) >= 0 && !(descriptors[1].revents & POLLIN)) {
            if (!(descriptors[0].revents & POLLIN)) continue;
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            if (behaviour_ != Behaviour::silent) relayHandshake(client);
            held_.push_back(client);  // never answered again, until the server ends
        }
    }

    // Passes bytes both ways until the server's answer to the handshake (8 bytes whose last two
    // give the length of the rest in units of 4) has reached the client, then stops.
    void relayHandshake(int client) {
        const auto server = address("/tmp/.X11-unix/X" + server_.substr(1), true);
        const int upstream = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (!server || upstream < 0 || ::connect(upstream, reinterpret_cast<const sockaddr*>(&*server), length(*server)) != 0) {
            if (upstream >= 0) ::close(upstream);
            return;
        }
        std::string answer;
        std::size_t expected = 8;
        pollfd descriptors[2] = {{client, POLLIN, 0}, {upstream, POLLIN, 0}};
        while (answer.size() < expected && ::poll(descriptors, 2, 10000) > 0) {
            char buffer[4096];
            for (int side = 0; side < 2; ++side) {
                if (!(descriptors[side].revents & (POLLIN | POLLHUP))) continue;
                const ssize_t count = ::read(descriptors[side].fd, buffer, sizeof buffer);
                if (count <= 0) return;
                if (side == 0) {
                    [[maybe_unused]] const ssize_t sent = ::write(upstream, buffer, static_cast<std::size_t>(count));
                    continue;
                }
                answer.append(buffer, static_cast<std::size_t>(count));
                if (answer.size() >= 8) {
                    expected = 8 + 4 * (static_cast<unsigned char>(answer[6]) | static_cast<unsigned char>(answer[7]) << 8);
                }
            }
        }
        [[maybe_unused]] const ssize_t sent = ::write(client, answer.data(), std::min(answer.size(), expected));
        held_.push_back(upstream);
        if (behaviour_ == Behaviour::hangUpAfterHandshake) ::shutdown(client, SHUT_RDWR);
    }

    Behaviour behaviour_ = Behaviour::silent;
    std::string server_;
    std::string display_;
    int listener_ = -1;
    int stop_[2] = {-1, -1};
    std::vector<int> held_;
    std::thread thread_;
};

}  // namespace kestrum::e2e
