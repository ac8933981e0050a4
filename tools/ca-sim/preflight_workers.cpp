// Snapshots checked in worker processes: the simulated machine is one per
// process, and a worker that dies takes only its own machines with it.
#include "preflight.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <stdexcept>

namespace casim {
namespace {

// A check travels as length-prefixed fields, so that the machine's bytes arrive as they are.
class Wire {
public:
    void text(const std::string& s)
    {
        number(s.size());
        bytes_ += s;
    }
    void number(std::size_t n) { bytes_ += std::to_string(n) + ":"; }
    void list(const std::vector<std::string>& items)
    {
        number(items.size());
        for (const auto& item : items) text(item);
    }
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

class Reader {
public:
    Reader(const std::string& bytes, std::size_t at) : bytes_(bytes), at_(at) {}
    std::size_t number()
    {
        const auto colon = bytes_.find(':', at_);
        if (colon == std::string::npos) throw std::runtime_error("cut short");
        const std::size_t n = std::stoul(bytes_.substr(at_, colon - at_));
        at_ = colon + 1;
        return n;
    }
    std::string text()
    {
        const std::size_t n = number();
        if (at_ + n > bytes_.size()) throw std::runtime_error("cut short");
        at_ += n;
        return bytes_.substr(at_ - n, n);
    }
    std::vector<std::string> list()
    {
        std::vector<std::string> items(number());
        for (auto& item : items) item = text();
        return items;
    }
    std::size_t at() const { return at_; }

private:
    const std::string& bytes_;
    std::size_t at_;
};

std::string encode(std::size_t index, const MachineCheck& m)
{
    Wire w;
    w.number(index);
    for (const auto* s : {&m.folder, &m.unreadable, &m.stop, &m.filesInUse, &m.restartFile, &m.removalError}) w.text(*s);
    for (const auto* l : {&m.found, &m.registered, &m.deployed}) w.list(*l);
    w.number(static_cast<std::size_t>(m.installExit));
    w.number(static_cast<std::size_t>(m.removeExit));
    w.number(m.codePage);
    w.number(m.hosts.size());
    for (const auto& h : m.hosts) {
        w.text(h.folder);
        for (int n : {h.added, h.deleted, h.changed, h.orvellaEntries.value_or(-1) + 1, h.otherLinesKept ? *h.otherLinesKept + 1 : 0})
            w.number(static_cast<std::size_t>(n));
        w.number(h.differences.size());
        for (const auto& d : h.differences) {
            w.text(d.text);
            w.number(d.loss);
        }
    }
    return w.bytes();
}

HostSummary decodeHost(Reader& r)
{
    HostSummary h;
    h.folder = r.text();
    h.added = static_cast<int>(r.number());
    h.deleted = static_cast<int>(r.number());
    h.changed = static_cast<int>(r.number());
    if (const auto entries = r.number(); entries > 0) h.orvellaEntries = static_cast<int>(entries - 1);
    if (const auto kept = r.number(); kept > 0) h.otherLinesKept = kept == 2;
    h.differences.resize(r.number());
    for (auto& d : h.differences) {
        d.text = r.text();
        d.loss = r.number() != 0;
    }
    return h;
}

// Decodes every whole record in `bytes` into `results`; returns where the unread rest starts.
std::size_t decode(const std::string& bytes, std::vector<MachineCheck>& results, std::vector<bool>& done)
{
    std::size_t start = 0;
    while (start < bytes.size()) {
        try {
            Reader r(bytes, start);
            const std::size_t index = r.number();
            MachineCheck m;
            for (auto* s : {&m.folder, &m.unreadable, &m.stop, &m.filesInUse, &m.restartFile, &m.removalError}) *s = r.text();
            for (auto* l : {&m.found, &m.registered, &m.deployed}) *l = r.list();
            m.installExit = static_cast<int>(r.number());
            m.removeExit = static_cast<int>(r.number());
            m.codePage = static_cast<unsigned>(r.number());
            m.hosts.resize(r.number());
            for (auto& h : m.hosts) h = decodeHost(r);
            if (index >= results.size()) throw std::logic_error("a worker named a machine it was not given");
            results[index] = std::move(m);
            done[index] = true;
            start = r.at();
        } catch (const std::runtime_error&) {
            break;  // the rest of the record is still on its way
        }
    }
    return start;
}

void writeAll(int fd, const std::string& bytes)
{
    for (std::size_t at = 0; at < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ::_exit(3);
        at += static_cast<std::size_t>(n);
    }
}

struct Worker {
    pid_t pid = -1;
    int fd = -1;
    std::string pending;
};

// Worker `k` of `jobs` checks every jobs-th snapshot from the k-th.
Worker startWorker(int k, int jobs, const std::vector<std::string>& folders, const Package& package,
                   const std::vector<Setting>& properties)
{
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    std::cout.flush();
    std::cerr.flush();
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid == 0) {
        ::close(fds[0]);
        // Each machine is built, changed and deleted in a temporary folder:
        // in memory when the system offers it, as the snapshots are small.
        if (std::getenv("TMPDIR") == nullptr && ::access("/dev/shm", W_OK) == 0) ::setenv("TMPDIR", "/dev/shm", 1);
        for (std::size_t i = static_cast<std::size_t>(k); i < folders.size(); i += static_cast<std::size_t>(jobs))
            writeAll(fds[1], encode(i, checkMachine(folders[i], package, properties)));
        ::_exit(0);
    }
    ::close(fds[1]);
    return {pid, fds[0], {}};
}

// Reads every worker's records as they come, so that none waits on a full pipe.
void collect(std::vector<Worker>& workers, std::vector<MachineCheck>& results, std::vector<bool>& done)
{
    std::size_t open = workers.size();
    while (open > 0) {
        std::vector<pollfd> polls;
        for (const auto& w : workers)
            if (w.fd >= 0) polls.push_back({w.fd, POLLIN, 0});
        if (::poll(polls.data(), polls.size(), -1) < 0 && errno != EINTR) throw std::runtime_error("poll failed");
        for (auto& w : workers) {
            const auto p = std::find_if(polls.begin(), polls.end(), [&](const pollfd& x) { return x.fd == w.fd; });
            if (w.fd < 0 || p == polls.end() || p->revents == 0) continue;
            char buffer[65536];
            const ssize_t n = ::read(w.fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n > 0) {
                w.pending.append(buffer, static_cast<std::size_t>(n));
                w.pending.erase(0, decode(w.pending, results, done));
                continue;
            }
            ::close(w.fd);
            w.fd = -1;
            --open;
        }
    }
}

}  // namespace

std::vector<MachineCheck> checkFleet(const std::vector<std::string>& folders, const Package& package,
                                     const std::vector<Setting>& properties, int jobs)
{
    jobs = std::max(1, std::min<int>(jobs, static_cast<int>(folders.size())));
    std::vector<MachineCheck> results(folders.size());
    std::vector<bool> done(folders.size(), false);
    std::vector<Worker> workers;
    for (int k = 0; k < jobs; ++k) workers.push_back(startWorker(k, jobs, folders, package, properties));
    collect(workers, results, done);
    std::vector<int> statuses;
    for (const auto& w : workers) {
        int status = 0;
        while (::waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
        }
        statuses.push_back(status);
    }
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (done[i]) continue;
        const int status = statuses[i % static_cast<std::size_t>(jobs)];
        results[i].folder = folders[i];
        results[i].unreadable = WIFSIGNALED(status) ? "the simulation stopped with signal " + std::to_string(WTERMSIG(status))
                                                    : "the simulation stopped before this machine";
    }
    return results;
}

}  // namespace casim
