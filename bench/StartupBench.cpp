// What a script pays to start a command, beside what it pays to start /bin/true: each run is
// one spawn and wait, as a shell loop makes it, without the shell.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

extern char** environ;

namespace {

void Spawn(benchmark::State& state, std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0 ||
            waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the command did not run to a clean exit");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

void BM_StartTrue(benchmark::State& state)
{
    Spawn(state, {"/bin/true"});
}
BENCHMARK(BM_StartTrue)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A command that needs no drawing: the check of one notation.
void BM_StartCliCheck(benchmark::State& state)
{
    Spawn(state, {TAMBREL_CLI, "check", "--bells", "8", "--notation", "x18x18,12"});
}
BENCHMARK(BM_StartCliCheck)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The drawing program started for the same check: the cost of Qt's libraries.
void BM_StartCliWithQt(benchmark::State& state)
{
    Spawn(state, {TAMBREL_CLI_RENDER, "check", "--bells", "8", "--notation", "x18x18,12"});
}
BENCHMARK(BM_StartCliWithQt)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
