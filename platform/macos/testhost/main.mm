// The test host: an ordinary application whose bundle carries the helper, as a host's does.
//
// Launched with `--run-embedded-helper <report folder> <helper arguments...>` it shows nothing and
// runs the embedded helper the way a host does, from inside its own process (NSTask, as Process
// in Swift): so the system attributes the helper's permission queries to this application, its
// responsible application, and not to whatever started the test. It reads the helper's first line
// as it arrives, ends authorize once that line has come (or after 20 seconds without it), reads
// status and open to their end, and writes everything the helper wrote to standard output to its
// own. The helper's standard error is this application's. Into the report folder go how the
// helper ended ("exit N", or "signal" for an uncaught signal) in `status`, and dyld's log of the
// images it loaded in `images` (DYLD_PRINT_TO_FILE: the helper points its standard error at
// /dev/null, where dyld would otherwise print them). Tests launch it through `open`, so that it is
// its own responsible application (host_tests.sh).
#import <AppKit/AppKit.h>
#import <Foundation/Foundation.h>
#include <poll.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr double firstLineTimeLimit = 20;

// Whether the descriptor has something to read (data or its end) within `seconds`.
bool readable(int descriptor, double seconds) {
    pollfd watched{descriptor, POLLIN, 0};
    const int result = ::poll(&watched, 1, static_cast<int>(seconds * 1000) + 1);
    return result > 0 || (result < 0 && errno != EINTR);  // an error: the read that follows tells it
}

int runEmbeddedHelper(NSString* report, NSArray<NSString*>* arguments) {
    NSTask* task = [[NSTask alloc] init];
    task.executableURL = [NSBundle.mainBundle.bundleURL URLByAppendingPathComponent:@"Contents/Helpers/KestrumHelper"];
    task.arguments = arguments;
    // The log is asked of the helper alone: the system ignores DYLD_ variables of protected
    // programs, and this application's own images are of no interest.
    NSMutableDictionary<NSString*, NSString*>* environment = [NSProcessInfo.processInfo.environment mutableCopy];
    environment[@"DYLD_PRINT_LIBRARIES"] = @"1";
    environment[@"DYLD_PRINT_TO_FILE"] = [report stringByAppendingPathComponent:@"images"];
    task.environment = environment;
    NSPipe* output = [NSPipe pipe];
    task.standardOutput = output;

    NSError* error = nil;
    if (![task launchAndReturnError:&error]) {
        std::fprintf(stderr, "could not start the embedded helper: %s\n", error.localizedDescription.UTF8String);
        return 1;
    }
    // A helper that never writes its line is ended too; its output then ends without one.
    NSDate* deadline = [NSDate dateWithTimeIntervalSinceNow:firstLineTimeLimit];
    bool lineArrived = false;
    bool ended = false;
    const bool endsAfterItsLine = arguments.count > 0 && [arguments[0] isEqualToString:@"authorize"];
    NSMutableData* written = [NSMutableData data];
    NSFileHandle* reading = output.fileHandleForReading;
    for (;;) {
        if (!lineArrived && !ended) {
            const double left = deadline.timeIntervalSinceNow;
            if (left <= 0 || !readable(reading.fileDescriptor, left)) {
                [task terminate];
                ended = true;
            }
        }
        NSData* chunk = [reading availableData];  // waits for what comes next; nothing at the end
        if (chunk.length == 0) break;
        [written appendData:chunk];
        if (!lineArrived && std::memchr(written.bytes, '\n', written.length)) {
            lineArrived = true;
            if (endsAfterItsLine && !ended) {
                [task terminate];
                ended = true;
            }
        }
    }
    [task waitUntilExit];

    std::fwrite(written.bytes, 1, written.length, stdout);
    std::fflush(stdout);
    // The exit status has a documented meaning only for a task that exited.
    NSString* end = task.terminationReason == NSTaskTerminationReasonExit
                        ? [NSString stringWithFormat:@"exit %d\n", task.terminationStatus]
                        : @"signal\n";
    if (![end writeToFile:[report stringByAppendingPathComponent:@"status"]
               atomically:YES
                 encoding:NSUTF8StringEncoding
                    error:&error]) {
        std::fprintf(stderr, "could not write the report: %s\n", error.localizedDescription.UTF8String);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, const char* argv[]) {
    // Looked for anywhere: Launch Services may put arguments of its own first.
    for (int at = 1; at + 1 < argc; ++at) {
        if (std::strcmp(argv[at], "--run-embedded-helper") != 0) continue;
        @autoreleasepool {
            NSMutableArray<NSString*>* arguments = [NSMutableArray array];
            for (int index = at + 2; index < argc; ++index) [arguments addObject:@(argv[index])];
            return runEmbeddedHelper(@(argv[at + 1]), arguments);
        }
    }
    return NSApplicationMain(argc, argv);
}
