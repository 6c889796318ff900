// How a Mac host runs KestrumHelper: start it as a child of its own process, read its one line as
// soon as it arrives (never wait for the process to end: `authorize` lives on for 300 seconds),
// decode the line, and end `authorize` once done with it.
//
//   swiftc RunKestrumHelper.swift -o run-kestrum-helper
//   run-kestrum-helper <path to KestrumHelper> status|open <kind>
//   run-kestrum-helper <path to KestrumHelper> authorize <kind> <path to Host.app>
//
// It prints the decoded line and exits 0 when the helper's exit code is the one its line calls
// for, 1 when it is another, when no line came or when the line does not decode, 2 on a usage
// error of its own. The macOS workflow runs it against the test host's embedded helper.
import Foundation

/// The helper's line (docs/kestrum-helper-output.schema.json); absent members decode as nil.
struct HelperLine: Decodable {
    enum State: String, Decodable {
        case granted, notGranted, unknown, checking
    }

    let success: Bool
    /// A permission kind, or "unknown" when the command line was refused.
    let kind: String
    let status: State?
    let error: String?

    /// The exit code that goes with the line: 0 for success, 2 for a refused command line,
    /// 1 for the refused full-disk-access state.
    var exitCode: Int32 {
        if success { return 0 }
        return kind == "unknown" ? 2 : 1
    }
}

enum HelperFailure: Error, CustomStringConvertible {
    /// The helper ended without a line; it says why on standard error (a missing resource bundle).
    case noLine(exitCode: Int32, message: String)
    case undecodable(line: String, reason: Error)

    var description: String {
        switch self {
        case let .noLine(exitCode, message):
            return "no line (exit code \(exitCode)): \(message)"
        case let .undecodable(line, reason):
            return "the line does not decode: \(line) (\(reason))"
        }
    }
}

/// One run of the helper, started by this process, so that the system holds the helper to this
/// process's application, as it does for a host.
final class HelperRun {
    let process = Process()
    private let output = Pipe()
    private let errors = Pipe()

    init(helper: URL, arguments: [String]) throws {
        process.executableURL = helper
        process.arguments = arguments
        process.standardInput = FileHandle.nullDevice
        process.standardOutput = output
        process.standardError = errors
        try process.run()
    }

    /// Reads until the first line feed, or until the output ends without one.
    func firstLine() throws -> HelperLine {
        let newline = UInt8(ascii: "\n")
        let reader = output.fileHandleForReading
        var received = Data()
        while !received.contains(newline) {
            // Blocks until the helper writes something; empty once its output has ended.
            let chunk = reader.availableData
            if chunk.isEmpty { break }
            received.append(chunk)
        }
        guard let end = received.firstIndex(of: newline) else {
            process.waitUntilExit()
            let message = try errors.fileHandleForReading.readToEnd() ?? Data()
            throw HelperFailure.noLine(exitCode: process.terminationStatus,
                                       message: String(decoding: message, as: UTF8.self))
        }
        let line = received.prefix(upTo: end)
        do {
            return try JSONDecoder().decode(HelperLine.self, from: line)
        } catch {
            throw HelperFailure.undecodable(line: String(decoding: line, as: UTF8.self), reason: error)
        }
    }

    /// Ends the helper (SIGTERM) and collects it; for `authorize`, whose panel would stay up.
    func end() {
        process.terminate()
        process.waitUntilExit()
    }
}

func fail(_ message: String, code: Int32) -> Never {
    try? FileHandle.standardError.write(contentsOf: Data((message + "\n").utf8))
    exit(code)
}

let arguments = CommandLine.arguments
let usage = "usage: run-kestrum-helper <KestrumHelper> status|open <kind>\n" +
    "       run-kestrum-helper <KestrumHelper> authorize <kind> <Host.app>"
guard arguments.count >= 4 else { fail(usage, code: 2) }
let action = arguments[2]
var helperArguments = [action, arguments[3]]
switch (action, arguments.count) {
case ("status", 4), ("open", 4):
    break
case ("authorize", 5):
    helperArguments += ["--app-url", arguments[4]]
default:
    fail(usage, code: 2)
}

do {
    let run = try HelperRun(helper: URL(fileURLWithPath: arguments[1]), arguments: helperArguments)
    let line = try run.firstLine()
    print("success: \(line.success), kind: \(line.kind), status: \(line.status?.rawValue ?? "-"), error: \(line.error ?? "-")")
    if action == "authorize" && line.success {
        // The panel is on screen now; a host ends the helper when it no longer needs it (here at
        // once) and never starts a second flow while one runs.
        run.end()
        exit(0)
    }
    run.process.waitUntilExit()
    let status = run.process.terminationStatus
    guard run.process.terminationReason == .exit, status == line.exitCode else {
        fail("the helper ended with \(status), its line calls for \(line.exitCode)", code: 1)
    }
} catch {
    fail("\(error)", code: 1)
}
