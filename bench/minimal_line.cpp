// The floors for whole-process timings: a C++ program that starts, builds one short line and
// writes it to standard output, and nothing else.
//
// With --start-program it first starts /bin/true the way a program starts another without
// waiting for it (posix_spawn): the floor for `open`, which must start the URL opener.
#include <spawn.h>

#include <cstdio>
#include <cstring>
#include <string>

extern char** environ;

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--start-program") == 0) {
        char program[] = "/bin/true";
        char* arguments[] = {program, nullptr};
        pid_t child = -1;
        posix_spawn(&child, program, nullptr, nullptr, arguments, environ);
    }
    const std::string line = R"({"success":true,"kind":"microphone","status":"notGranted"})" "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    return 0;
}
