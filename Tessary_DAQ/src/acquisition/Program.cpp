#include "Program.h"

#include "Output.h"
#include "Session.h"
#include "Signals.h"

namespace tessary {

ProgramError RunProgram(const ProgramOptions& options, platform::KeyInput& keys, std::FILE* out) {
    Session session(keys, out);
    ProgramError error = session.Start(options);
    if (error == ProgramError::None) error = session.Loop();
    return session.Shutdown(error);
}

ProgramError RunProgram(const ProgramOptions& options) {
    platform::ConfigureOutput();
    platform::InstallStopSignals();
    platform::ConsoleKeys keys;
    return RunProgram(options, keys, stdout);
}

}  // namespace tessary
