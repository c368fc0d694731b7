// What the runner does the same on every system: its scratch files, the
// names of programs and the profile folder's variables.
#include "RunProgram.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>

namespace test_support {

namespace {

// A program's standard output or error as text: on Windows, where the C
// runtime writes each line end as CR LF, those read back as LF.
std::string Text(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
#ifdef _WIN32
    std::size_t kept = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n') text[kept++] = text[i];
    text.resize(kept);
#endif
    return text;
}

}  // namespace

std::string Executable(const std::string& path) {
#ifdef _WIN32
    if (!std::filesystem::path(path).has_extension()) return path + ".exe";
#endif
    return path;
}

Environment ProfileVariables(const std::filesystem::path& folder) {
    Environment variables{{"HOME", folder.string()}};
#ifdef _WIN32
    variables.emplace_back("USERPROFILE", folder.string());
#endif
    return variables;
}

const char* StopRequestName() {
#ifdef _WIN32
    return "CTRL_BREAK_EVENT";
#else
    return "SIGTERM";
#endif
}

Process::Process(const std::vector<std::string>& command, const RunOptions& options) {
    std::filesystem::path in;
    if (options.in == RunOptions::Input::Text) {
        in = Scratch("input");
        std::ofstream(in, std::ios::binary) << options.input;
    } else if (options.in == RunOptions::Input::File) {
        in = options.input;
    }
    const std::filesystem::path out = options.output.empty() ? output_ = Scratch("output") : options.output;
    std::filesystem::path err = out;
    if (!options.errorsToOutput) err = options.errors.empty() ? errors_ = Scratch("errors") : options.errors;
    if (failure_.empty()) Start(command, options, in, out, err);
}

Process::~Process() {
    if (started_ && !waited_) {
        CloseInput();
        if (!Stop()) Kill();
        Wait();
    }
    std::error_code ignored;
    for (const auto& folder : scratch_) std::filesystem::remove_all(folder, ignored);
}

// A file in a folder of this process's own, so that runs side by side never share one.
std::filesystem::path Process::Scratch(const char* what) {
    if (scratch_.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessary_run_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            failure_ = "no scratch folder could be made";
            return {};
        }
        scratch_.emplace_back(pattern);
    }
    return scratch_.front() / what;
}

std::string Process::Output() const { return output_.empty() ? std::string() : Text(output_); }
std::string Process::Errors() const { return errors_.empty() ? std::string() : Text(errors_); }

RunResult Run(const std::vector<std::string>& command, const RunOptions& options) {
    Process process(command, options);
    const int status = process.Wait();
    return {status, process.Output(), process.Started() ? process.Errors() : process.Failure()};
}

}  // namespace test_support
