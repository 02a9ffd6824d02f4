#include "harness.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tavtest {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> buildEnv(const RunOptions& opt)
{
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string kv = *e;
        auto eq = kv.find('=');
        if (eq != std::string::npos)
            env[kv.substr(0, eq)] = kv.substr(eq + 1);
    }
    for (const auto& k : opt.unsetEnv)
        env.erase(k);
    for (const auto& [k, v] : opt.env)
        env[k] = v;
    std::vector<std::string> out;
    for (const auto& [k, v] : env)
        out.push_back(k + "=" + v);
    return out;
}

} // namespace

Xvfb::Xvfb(int depth, const std::string& geometry)
{
    int fds[2];
    if (pipe(fds) != 0)
        return;
    const std::string screen = geometry + "x" + std::to_string(depth);
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        setpgid(0, 0);
        int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 0);
        dup2(devnull, 1);
        dup2(devnull, 2);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        close(fds[0]);
        return;
    }
    // Xvfb writes the display number once it accepts connections.
    std::string num;
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < deadline) {
        struct pollfd p {
            fds[0], POLLIN, 0
        };
        if (poll(&p, 1, 200) <= 0)
            continue;
        char c;
        ssize_t n = read(fds[0], &c, 1);
        if (n <= 0)
            break;
        if (c == '\n')
            break;
        num += c;
    }
    close(fds[0]);
    if (!num.empty())
        display_ = ":" + num;
}

Xvfb::~Xvfb()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int st = 0;
        for (int i = 0; i < 50; ++i) {
            if (waitpid(pid_, &st, WNOHANG) == pid_)
                return;
            usleep(20000);
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, &st, 0);
    }
}

TempDir::TempDir()
{
    char tmpl[] = "/tmp/tavtest.XXXXXX";
    if (char* p = mkdtemp(tmpl))
        path_ = p;
}

TempDir::~TempDir()
{
    if (!keep_ && !path_.empty() && path_.rfind("/tmp/tavtest.", 0) == 0) {
        const std::string cmd = "rm -rf '" + path_ + "'";
        if (std::system(cmd.c_str()) != 0)
            path_.clear();
    }
}

RunResult run(const std::string& program, const RunOptions& opt)
{
    RunResult r;
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err))
        return r;
    std::vector<std::string> envStrings = buildEnv(opt);
    std::vector<char*> envp;
    for (auto& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings;
    argStrings.push_back(program);
    for (const auto& a : opt.args)
        argStrings.push_back(a);
    std::vector<char*> argv;
    for (auto& s : argStrings)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            close(fd);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (!opt.stdinIsTty) {
        // Small inputs fit the pipe; larger ones are written as the child reads.
        size_t done = 0;
        fcntl(in[1], F_SETFL, O_NONBLOCK);
        const auto deadline = Clock::now() + std::chrono::milliseconds(opt.timeoutMs);
        while (done < opt.input.size() && Clock::now() < deadline) {
            ssize_t n = write(in[1], opt.input.data() + done, opt.input.size() - done);
            if (n > 0)
                done += size_t(n);
            else if (n < 0 && errno != EAGAIN)
                break;
            else
                usleep(1000);
        }
        close(in[1]);
        in[1] = -1;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(opt.timeoutMs);
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            r.timedOut = true;
            kill(-pid, SIGKILL);
            break;
        }
        struct pollfd p[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
        if (!outOpen)
            p[0].fd = -1;
        if (!errOpen)
            p[1].fd = -1;
        if (poll(p, 2, int(std::min<long long>(left, 200))) <= 0)
            continue;
        char buf[4096];
        for (int k = 0; k < 2; ++k) {
            if (p[k].revents & (POLLIN | POLLHUP)) {
                ssize_t n = read(p[k].fd, buf, sizeof buf);
                if (n > 0)
                    (k == 0 ? r.out : r.err).append(buf, size_t(n));
                else
                    (k == 0 ? outOpen : errOpen) = false;
            }
        }
    }
    close(out[0]);
    close(err[0]);
    if (in[1] >= 0)
        close(in[1]);
    int st = 0;
    if (r.timedOut) {
        waitpid(pid, &st, 0);
        r.status = -1;
        return r;
    }
    // Output closed: the program is ending; give it the rest of the time to do so.
    while (waitpid(pid, &st, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            r.timedOut = true;
            kill(-pid, SIGKILL);
            waitpid(pid, &st, 0);
            return r;
        }
        usleep(5000);
    }
    if (WIFEXITED(st))
        r.status = WEXITSTATUS(st);
    else if (WIFSIGNALED(st))
        r.status = 128 + WTERMSIG(st);
    return r;
}

std::string tavPath()
{
    return std::string(TAV_TEST_BINDIR) + "/app/tav";
}

std::string writeFile(const std::string& path, const std::string& content)
{
    std::ofstream f(path, std::ios::binary);
    f << content;
    return path;
}

std::string readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

} // namespace tavtest
