// One exchange over TCP, against the simulated car served on 127.0.0.1 by this program: a minimal
// client (one thread, blocking send and receive) and the application's client (the Wi-Fi
// transport with the session reading one parameter) in alternating rounds, both against the same
// server in the same run; then the application's client against an adapter that answers after
// 30 ms.
// Client CPU is the process's CPU less the server thread's.
//
// What it prints: round trips per second and the client's CPU per exchange of both clients and
// their ratios; against the slow adapter, the share of one core the polling loop keeps busy.
#include "BenchEnvironment.hpp"
#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQTransport/ELM327Emulator.hpp"
#include "VEQTransport/Platform/WiFiTransport.hpp"
#include "VEQTransport/VehicleSimulation.hpp"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double processCPUSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double threadCPUSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The simulated car as a TCP adapter: one connection at a time, each command line answered by
// the emulator, after `latency` when one is set. Its thread's CPU is kept apart from the client's.
class CarServer {
public:
    CarServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 4) != 0) {
            throw std::runtime_error("exchange benchmark: no listening socket on 127.0.0.1");
        }
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::jthread([this](std::stop_token stop) { serve(stop); });
    }
    ~CarServer() {
        thread_.request_stop();
        thread_.join();
        ::close(listener_);
    }

    std::uint16_t port() const { return port_; }
    void setLatency(std::chrono::milliseconds latency) { latencyMs_ = static_cast<int>(latency.count()); }
    double cpuSeconds() const { return cpu_.load(); }

private:
    void serve(std::stop_token stop) {
        const double start = threadCPUSeconds();
        const auto account = [&] { cpu_.store(threadCPUSeconds() - start); };
        while (!stop.stop_requested()) {
            pollfd waiting{listener_, POLLIN, 0};
            account();
            if (::poll(&waiting, 1, 100) <= 0) continue;
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) continue;
            const int on = 1;
            ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            answer(client, stop, account);
            ::close(client);
        }
    }

    template <typename Account>
    void answer(int client, std::stop_token stop, const Account& account) {
        veq::ELM327Emulator emulator;
        const veq::VehicleSimulation simulation;
        const auto connected = Clock::now();
        std::string line;
        char buffer[4096];
        while (!stop.stop_requested()) {
            pollfd waiting{client, POLLIN, 0};
            account();
            const int ready = ::poll(&waiting, 1, 100);
            if (ready == 0) continue;
            const ssize_t count = ::recv(client, buffer, sizeof buffer, 0);
            if (count <= 0) return;
            for (ssize_t i = 0; i < count; ++i) {
                if (buffer[i] != '\r') {
                    line += buffer[i];
                    continue;
                }
                const double seconds = std::chrono::duration<double>(Clock::now() - connected).count();
                const veq::ELM327Emulator::Bytes reply = emulator.respond(line, simulation.state(seconds));
                line.clear();
                if (const int latency = latencyMs_.load(); latency > 0) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(latency));
                }
                if (::send(client, reply.data(), reply.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(reply.size())) return;
            }
        }
    }

    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<int> latencyMs_{0};
    std::atomic<double> cpu_{0};
    std::jthread thread_;
};

struct Figures {
    double exchanges = 0;
    double seconds = 0;
    double clientCPU = 0;

    Figures& operator+=(const Figures& other) {
        exchanges += other.exchanges;
        seconds += other.seconds;
        clientCPU += other.clientCPU;
        return *this;
    }

    double perSecond() const { return exchanges / seconds; }
    double cpuMicrosPerExchange() const { return clientCPU / exchanges * 1e6; }
    double shareOfCore() const { return clientCPU / seconds; }
};

// Measures `loop` (run until the deadline, returning its exchange count) with the server's CPU
// taken out of the process's.
template <typename Loop>
Figures measure(const CarServer& server, std::chrono::milliseconds duration, const Loop& loop) {
    const double cpuBefore = processCPUSeconds();
    const double serverBefore = server.cpuSeconds();
    const auto started = Clock::now();
    const double exchanges = static_cast<double>(loop(started + duration));
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    // The server's figure is published each time it goes back to wait, so it is current here.
    const double clientCPU = (processCPUSeconds() - cpuBefore) - (server.cpuSeconds() - serverBefore);
    return {exchanges, seconds, clientCPU};
}

// The smallest client there is: "010C\r" out, bytes in until the prompt, on one thread.
Figures minimalClient(const CarServer& server, std::chrono::milliseconds duration) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in address{.sin_family = AF_INET, .sin_port = htons(server.port()), .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        throw std::runtime_error("exchange benchmark: the minimal client could not connect");
    }
    const auto exchange = [fd](std::string_view command) {
        if (::send(fd, command.data(), command.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(command.size())) return false;
        char buffer[4096];
        for (;;) {
            const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
            if (count <= 0) return false;
            if (buffer[count - 1] == '>') return true;
        }
    };
    exchange("ATE0\r"); // as the session's initialisation leaves the adapter
    const Figures figures = measure(server, duration, [&](Clock::time_point deadline) {
        std::uint64_t count = 0;
        while (Clock::now() < deadline && exchange("010C\r")) ++count;
        return count;
    });
    ::close(fd);
    return figures;
}

// The application's client: Wi-Fi transport and session, reading the engine speed in a loop.
Figures applicationClient(const CarServer& server, std::chrono::milliseconds duration, std::uint64_t& failures) {
    auto transport = std::make_shared<veq::WiFiTransport>(std::vector<veq::WiFiTransport::Endpoint>{{"127.0.0.1", server.port()}});
    veq::ELM327Session session(transport);
    session.connect();
    session.runInitialization();
    const Figures figures = measure(server, duration, [&](Clock::time_point deadline) {
        std::uint64_t count = 0;
        while (Clock::now() < deadline) {
            if (!session.read(0x0C)) ++failures;
            ++count;
        }
        return count;
    });
    session.disconnect();
    return figures;
}

std::chrono::milliseconds phaseLength() {
    return std::chrono::seconds(static_cast<int>(veq::bench::lengthFromEnvironment("VEQ_BENCH_EXCHANGE_SECONDS", 3, 1)));
}

void BM_ExchangeOverLoopback(benchmark::State& state) {
    ::unsetenv("VEQ_TRACE");
    const std::chrono::milliseconds duration = phaseLength();
    for (auto _ : state) {
        CarServer server;
        std::uint64_t failures = 0;
        // The two loopback clients take turns in short rounds, so that whatever else the machine
        // does weighs on both alike.
        constexpr int rounds = 6;
        Figures minimal, application;
        for (int round = 0; round < rounds; ++round) {
            minimal += minimalClient(server, duration / rounds);
            application += applicationClient(server, duration / rounds, failures);
        }
        server.setLatency(std::chrono::milliseconds(30));
        const Figures slow = applicationClient(server, duration, failures);

        const double rateRatio = application.perSecond() / minimal.perSecond();
        const double cpuRatio = application.cpuMicrosPerExchange() / minimal.cpuMicrosPerExchange();
        std::printf("loopback     minimal client: %8.0f round trips/s, %6.1f us client CPU per exchange\n",
                    minimal.perSecond(), minimal.cpuMicrosPerExchange());
        std::printf("loopback application client: %8.0f round trips/s, %6.1f us client CPU per exchange\n",
                    application.perSecond(), application.cpuMicrosPerExchange());
        std::printf("ratios: round trips %.2f of the minimal client's (target >= 0.80), CPU per exchange %.2f times (target <= 2)\n",
                    rateRatio, cpuRatio);
        std::printf("30 ms adapter: %.1f exchanges/s, %.1f us CPU per exchange, %.3f %% of a core (target < 0.3 %%)\n",
                    slow.perSecond(), slow.cpuMicrosPerExchange(), slow.shareOfCore() * 100);
        std::fflush(stdout);

        state.counters["minimal_rt_per_s"] = minimal.perSecond();
        state.counters["client_rt_per_s"] = application.perSecond();
        state.counters["rt_ratio"] = rateRatio;
        state.counters["minimal_cpu_us"] = minimal.cpuMicrosPerExchange();
        state.counters["client_cpu_us"] = application.cpuMicrosPerExchange();
        state.counters["cpu_ratio"] = cpuRatio;
        state.counters["slow_core_pct"] = slow.shareOfCore() * 100;
        state.counters["failed_reads"] = static_cast<double>(failures);
    }
}

} // namespace

BENCHMARK(BM_ExchangeOverLoopback)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv) {
    // The Wi-Fi transport runs Qt's event loop on its own thread, which needs the application object.
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
