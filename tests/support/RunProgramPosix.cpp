// The runner on POSIX systems: posix_spawn with the standard files opened
// as a shell's redirections open them, and waitpid.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "RunProgram.h"

extern char** environ;

namespace test_support {

void Process::Start(const std::vector<std::string>& command, const RunOptions& options,
                    const std::filesystem::path& in, const std::filesystem::path& out,
                    const std::filesystem::path& err) {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        bool replaced = false;
        for (const auto& [name, value] : options.environment) replaced |= text.substr(0, text.find('=')) == name;
        if (!replaced) variables.emplace_back(text);
    }
    for (const auto& [name, value] : options.environment) variables.push_back(name + "=" + value);
    std::vector<std::string> arguments = command;
    std::vector<char*> argv, envp;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    for (std::string& variable : variables) envp.push_back(variable.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    int pipeEnds[2] = {-1, -1};
    if (options.in == RunOptions::Input::Pipe && pipe2(pipeEnds, O_CLOEXEC) != 0) {
        failure_ = std::string("no pipe: ") + std::strerror(errno);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (pipeEnds[0] >= 0)
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, in.empty() ? "/dev/null" : in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (err == out)
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    else
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    pid_t pid = 0;
    const int error =
        command.empty() ? EINVAL : posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (pipeEnds[0] >= 0) close(pipeEnds[0]);
    if (error != 0) {
        failure_ = (command.empty() ? std::string("no program") : command[0]) + ": " + std::strerror(error);
        if (pipeEnds[1] >= 0) close(pipeEnds[1]);
        return;
    }
    started_ = true;
    process_ = id_ = pid;
    input_ = pipeEnds[1];
}

bool Process::Write(std::string_view bytes) {
    if (input_ < 0) return false;
    // A program that has ended makes the write fail rather than end the tests.
    sigset_t brokenPipe, previous;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &brokenPipe, &previous);
    int error = 0;
    while (!bytes.empty() && error == 0) {
        const ssize_t written = write(static_cast<int>(input_), bytes.data(), bytes.size());
        if (written >= 0)
            bytes.remove_prefix(static_cast<std::size_t>(written));
        else if (errno != EINTR)
            error = errno;
    }
    if (error == EPIPE) {
        const timespec now{};
        sigtimedwait(&brokenPipe, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return error == 0;
}

void Process::CloseInput() {
    if (input_ >= 0) close(static_cast<int>(input_));
    input_ = -1;
}

bool Process::Stop() { return started_ && !waited_ && kill(static_cast<pid_t>(process_), SIGTERM) == 0; }

void Process::Kill() {
    if (started_ && !waited_) kill(static_cast<pid_t>(process_), SIGKILL);
}

int Process::Wait() {
    if (!started_ || waited_) return status_;
    CloseInput();
    int status = 0;
    pid_t ended = -1;
    do ended = waitpid(static_cast<pid_t>(process_), &status, 0);
    while (ended < 0 && errno == EINTR);
    waited_ = true;
    status_ = ended >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return status_;
}

}  // namespace test_support
