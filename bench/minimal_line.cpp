// The floor for whole-process timings: a C++ program that starts, builds one short line and
// writes it to standard output, and nothing else.
#include <cstdio>
#include <string>

int main() {
    const std::string line = R"({"success":true,"kind":"microphone","status":"notGranted"})" "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    return 0;
}
