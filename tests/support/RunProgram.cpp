#include "RunProgram.h"

#include <QDeadlineTimer>

#include <csignal>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

TProgramRun RunProgram(const QString& program, const QStringList& arguments,
                       const QByteArray& input, int timeoutMs) {
    TProgramRun run;
    QList<QByteArray> words{program.toLocal8Bit()};
    for (const QString& a : arguments)
        words << a.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        qFatal("RunProgram: no pipes");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    // A program that exits without reading its input must not end the test with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    if (spawned == 0 && ::write(in[1], input.constData(), size_t(input.size())) < input.size())
        run.Err = "RunProgram: the input was not written whole\n";
    ::close(in[1]);
    const QDeadlineTimer deadline(timeoutMs);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    QByteArray* sinks[2] = {&run.Out, &run.Err};
    int open = spawned == 0 ? 2 : 0;
    while (open > 0 && !deadline.hasExpired()) {
        if (::poll(fds, 2, 200) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buffer[65536];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, n);
            } else {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    ::close(out[0]);
    ::close(err[0]);
    if (spawned != 0) return run;
    // Only the process started here is signalled, by its id.
    if (open > 0) ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.ExitCode = open == 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
