// A main for the harnesses without libFuzzer, so that any compiler builds and runs them (the
// test suite does, under the sanitizers in CI):
//
//   fuzz_<target> [-seconds=N] [-seed=N] [-max_len=N] input-or-folder...
//
// Every input file (a folder: the files in it) goes through the harness once; then, for the
// seconds asked, inputs made from them by small random changes (bits and bytes changed,
// integers nudged to their edges, pieces cut, repeated or spliced from another input) do.
// The changes are not guided by coverage: this is a smoke test of the harnesses and of the
// readers on inputs near the seeds, not a substitute for a libFuzzer run. The same seed makes
// the same inputs. On a sanitizer's report, a crash or an input that runs longer than
// 20 seconds, the input is written to ./crash-<target>-<n> and the program fails.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);
// Present when the program is built with a sanitizer.
extern "C" __attribute__((weak)) void __sanitizer_set_death_callback(void (*callback)(void));

namespace {

using Bytes = std::vector<std::uint8_t>;

// The input being run, for the reports; written only between runs.
const Bytes* g_current = nullptr;
// Where a failing input goes, named before any run.
char g_crash_name[256] = "crash";
constexpr unsigned k_input_seconds = 20;

// Writes the current input where the report says; async-signal-safe calls only.
void write_current_input()
{
    if (!g_current) return;
    const char* name = g_crash_name;
    const int fd = ::open(name, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    std::size_t done = 0;
    while (done < g_current->size()) {
        const ssize_t w = ::write(fd, g_current->data() + done, g_current->size() - done);
        if (w <= 0) break;
        done += static_cast<std::size_t>(w);
    }
    ::close(fd);
    const char head[] = "replay: the failing input is in ./";
    (void)!::write(2, head, sizeof head - 1);
    (void)!::write(2, name, std::strlen(name));
    (void)!::write(2, "\n", 1);
}

void on_signal(int sig)
{
    if (sig == SIGALRM) {
        const char text[] = "replay: an input ran longer than the limit\n";
        (void)!::write(2, text, sizeof text - 1);
    }
    write_current_input();
    ::signal(sig == SIGALRM ? SIGABRT : sig, SIG_DFL);
    ::raise(sig == SIGALRM ? SIGABRT : sig);
}

// The crash signals are caught here, on a stack of their own so that a stack overflow is
// caught too, except where a sanitizer is built in: it reports a crash with its stack and
// calls the death callback, which saves the input, and a handler put in its place would leave
// the report out. Aborts and the time limit are always caught here.
void catch_signals(bool sanitized)
{
    struct sigaction action{};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    if (!sanitized) {
        static char alternate_stack[1 << 16];
        stack_t stack{};
        stack.ss_sp = alternate_stack;
        stack.ss_size = sizeof alternate_stack;
        if (::sigaltstack(&stack, nullptr) == 0) action.sa_flags = SA_ONSTACK;
    }
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGALRM}) {
        if (sanitized && (sig == SIGSEGV || sig == SIGBUS || sig == SIGFPE)) continue;
        (void)::sigaction(sig, &action, nullptr);
    }
}

void run(const Bytes& input)
{
    g_current = &input;
    ::alarm(k_input_seconds);
    // A copy of exactly the input's size, so that reads past its end are seen; never a null
    // pointer, even for no bytes, as libFuzzer passes.
    const std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[input.size()]);
    if (!input.empty()) std::memcpy(copy.get(), input.data(), input.size());
    (void)LLVMFuzzerTestOneInput(copy.get(), input.size());
    ::alarm(0);
    g_current = nullptr;
}

bool read_file(const std::filesystem::path& path, Bytes& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// One small random change of the input, or a splice with another.
void mutate(Bytes& b, const std::vector<Bytes>& pool, std::mt19937_64& rng, std::size_t max_len)
{
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    static const std::uint32_t edges[] = {0,      1,      0x7F,       0x80,        0xFF,       0x7FFF,
                                          0x8000, 0xFFFF, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu};
    switch (pick(b.empty() ? 2 : 9)) {
    case 0:  // insert random bytes
    case 1: {
        const std::size_t at = b.empty() ? 0 : pick(b.size() + 1), n = 1 + pick(8);
        for (std::size_t i = 0; i < n; ++i) b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), std::uint8_t(rng()));
        break;
    }
    case 2: b[pick(b.size())] ^= static_cast<std::uint8_t>(1u << pick(8)); break;
    case 3: b[pick(b.size())] = static_cast<std::uint8_t>(rng()); break;
    case 4: {  // an integer of 1, 2 or 4 bytes, little-endian, set to an edge or nudged
        const std::size_t width = std::size_t{1} << pick(3);
        if (b.size() < width) break;
        const std::size_t at = pick(b.size() - width + 1);
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < width; ++i) v |= std::uint32_t(b[at + i]) << (8 * i);
        v = pick(2) ? edges[pick(std::size(edges))] : v + static_cast<std::uint32_t>(static_cast<int>(pick(33)) - 16);
        for (std::size_t i = 0; i < width; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        break;
    }
    case 5: {  // erase a piece
        const std::size_t at = pick(b.size()), n = 1 + pick(std::min<std::size_t>(b.size() - at, 64));
        b.erase(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n));
        break;
    }
    case 6: {  // repeat a piece
        const std::size_t at = pick(b.size()), n = 1 + pick(std::min<std::size_t>(b.size() - at, 64));
        const Bytes piece(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n));
        b.insert(b.begin() + static_cast<std::ptrdiff_t>(pick(b.size() + 1)), piece.begin(), piece.end());
        break;
    }
    case 7: b.resize(pick(b.size())); break;  // cut short
    default: {
        // This input's head, another's tail.
        const Bytes& other = pool[pick(pool.size())];
        if (other.empty()) break;
        b.resize(pick(b.size() + 1));
        b.insert(b.end(), other.begin() + static_cast<std::ptrdiff_t>(pick(other.size())), other.end());
        break;
    }
    }
    if (b.size() > max_len) b.resize(max_len);
}

}  // namespace

int main(int argc, char** argv)
{
    std::snprintf(g_crash_name, sizeof g_crash_name, "crash-%s-%d",
                  std::filesystem::path(argv[0]).filename().string().c_str(), static_cast<int>(::getpid()));
    double seconds = 0;
    unsigned long long seed = 1;
    std::size_t max_len = 0;
    std::vector<Bytes> pool;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("-seconds=", 0) == 0) {
            seconds = std::strtod(a.c_str() + 9, nullptr);
        } else if (a.rfind("-seed=", 0) == 0) {
            seed = std::strtoull(a.c_str() + 6, nullptr, 10);
        } else if (a.rfind("-max_len=", 0) == 0) {
            max_len = std::strtoull(a.c_str() + 9, nullptr, 10);
        } else if (std::filesystem::is_directory(a)) {
            std::vector<std::filesystem::path> files;
            for (const auto& e : std::filesystem::directory_iterator(a))
                if (e.is_regular_file()) files.push_back(e.path());
            std::sort(files.begin(), files.end());
            for (const auto& f : files) {
                pool.emplace_back();
                if (!read_file(f, pool.back())) pool.pop_back();
            }
        } else {
            pool.emplace_back();
            if (!read_file(a, pool.back())) {
                std::fprintf(stderr, "replay: cannot read %s\n", a.c_str());
                return 2;
            }
        }
    }
    if (LLVMFuzzerInitialize) (void)LLVMFuzzerInitialize(&argc, &argv);
    if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(write_current_input);
    catch_signals(__sanitizer_set_death_callback != nullptr);

    for (const Bytes& input : pool) run(input);
    std::printf("replay: %zu inputs\n", pool.size());
    if (seconds <= 0) return 0;

    if (pool.empty()) pool.emplace_back();
    if (max_len == 0) {
        for (const Bytes& b : pool) max_len = std::max(max_len, b.size());
        max_len = std::max<std::size_t>(2 * max_len, 4096);
    }
    std::mt19937_64 rng(seed);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    unsigned long long runs = 0;
    Bytes input;
    while (std::chrono::steady_clock::now() < end) {
        input = pool[rng() % pool.size()];
        for (int k = 1 + static_cast<int>(rng() % 4); k > 0; --k) mutate(input, pool, rng, max_len);
        run(input);
        ++runs;
    }
    std::printf("replay: %llu changed inputs in %.0f s, seed %llu\n", runs, seconds, seed);
    return 0;
}
