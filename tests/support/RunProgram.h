// Runs a program from a test as a user's shell would, on every system, but
// without a shell: the arguments go to it as they are (blanks and quotes
// included), with variables added to its environment, its standard input
// from a text, a file, nothing or a pipe the test keeps writing to, and its
// standard output and error into files or kept as text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace test_support {

// Names and values added to (or replacing those of) this process's
// environment for the program.
using Environment = std::vector<std::pair<std::string, std::string>>;

struct RunOptions {
    Environment environment;
    // Nothing: the input ends at once (/dev/null, NUL). Text: `input` is
    // what it reads. File: `input` names the file it reads. Pipe: what the
    // test gives to Process::Write, until Process::CloseInput.
    enum class Input { Nothing, Text, File, Pipe } in = Input::Nothing;
    std::string input;
    // Where standard output and error go (made anew); empty: kept as text.
    std::filesystem::path output, errors;
    bool errorsToOutput = false;  // standard error into standard output, as 2>&1
};

// A program built by the project, under the name its system gives it
// (".exe" added on Windows where the path has no extension).
std::string Executable(const std::string& path);

// The variables that make `folder` the program's per-user profile folder:
// HOME; on Windows also USERPROFILE, which the program prefers there.
Environment ProfileVariables(const std::filesystem::path& folder);

// The name the program gives the stop request of Process::Stop.
const char* StopRequestName();

class Process {
public:
    // Started at once; command[0] is the program's path.
    explicit Process(const std::vector<std::string>& command, const RunOptions& options = {});
    // A program still running is asked to stop (ended where it cannot be
    // asked) and waited for.
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return started_; }
    // Why it could not be started.
    const std::string& Failure() const { return failure_; }
    // Its process id, as the program knows it.
    long Id() const { return id_; }
    // To its standard input (RunOptions::Input::Pipe); false once it cannot.
    bool Write(std::string_view bytes);
    // Ends its standard input.
    void CloseInput();
    // Asks it to stop as a user would from outside: SIGTERM, or on Windows a
    // CTRL_BREAK_EVENT to its own console process group.
    bool Stop();
    // Ends its input and waits for it to end: its exit status, or -1 when it
    // was ended by a signal or never started.
    int Wait();
    // Its standard output and error, where kept (after Wait), as text: line
    // ends that the system writes as CR LF read back as LF.
    std::string Output() const;
    std::string Errors() const;

private:
    // Per system: starts the program with its standard input, output and
    // error from these files (input: empty for the null device, or the pipe).
    void Start(const std::vector<std::string>& command, const RunOptions& options, const std::filesystem::path& in,
               const std::filesystem::path& out, const std::filesystem::path& err);
    std::filesystem::path Scratch(const char* what);
    void Kill();  // per system: ends it at once

    bool started_ = false, waited_ = false;
    int status_ = -1;
    long id_ = 0;
    std::string failure_;
    std::intptr_t process_ = -1, input_ = -1;  // a process id or handle; the pipe's writing end
    std::filesystem::path output_, errors_;     // kept as text: the scratch files holding them
    std::vector<std::filesystem::path> scratch_;
};

struct RunResult {
    int status;  // as Process::Wait
    std::string output, errors;
};

// Runs the program to its end.
RunResult Run(const std::vector<std::string>& command, const RunOptions& options = {});

}  // namespace test_support
