#include "robustnesssupport.h"

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <cstring>
#include <filesystem>

#include "conversion/wvwriter.h"
#include "testsupport.h"

namespace robustness {

std::string Tone16(int pairs, double amplitude)
{
    std::string bytes(static_cast<size_t>(pairs) * 4, '\0');
    for (int k = 0; k < pairs; ++k) {
        const double phase = 2 * M_PI * k / 50.0;
        const auto i = static_cast<int16_t>(std::lround(amplitude * std::cos(phase)));
        const auto q = static_cast<int16_t>(std::lround(amplitude * std::sin(phase)));
        std::memcpy(&bytes[4 * static_cast<size_t>(k)], &i, 2);
        std::memcpy(&bytes[4 * static_cast<size_t>(k) + 2], &q, 2);
    }
    return bytes;
}

std::string SparseToneInput(const std::string &path, int64_t size)
{
    testsupport::MakeSparseFile(path, size);
    const std::string tone = Tone16(100000, 8000.0);
    std::FILE *file = std::fopen(path.c_str(), "r+b");
    if (!file) throw std::runtime_error("cannot open " + path);
    const bool written = std::fwrite(tone.data(), 1, tone.size(), file) == tone.size();
    std::fclose(file);
    if (!written) throw std::runtime_error("cannot write " + path);
    return path;
}

void StartPlain(Session &session)
{
    testsupport::StartWithDefaults(session);
    testsupport::Edit(session, "headerSource", "User");
    testsupport::Edit(session, "headerValue", "0");
    testsupport::Edit(session, "trailerSource", "User");
    testsupport::Edit(session, "trailerValue", "0");
    testsupport::Edit(session, "commentSource", "User");
    testsupport::Edit(session, "commentBegin", "abc");
    testsupport::Edit(session, "samplerateSource", "User");
    testsupport::Edit(session, "samplerateValue", "1.0");
}

int Start(Session &session, RecordedRun &run, EventHook hook)
{
    return onConversion(session, [&run, hook = std::move(hook)](const ConversionEvent &event) {
        if (hook) hook(event);
        std::lock_guard lock(run.mutex);
        run.events.push_back(event);
        if (event.kind == ConversionEvent::Kind::RunFinished) run.finished.notify_all();
    });
}

void Finish(Session &session, RecordedRun &run)
{
    std::unique_lock lock(run.mutex);
    run.finished.wait(lock, [&run] {
        return !run.events.empty() && run.events.back().kind == ConversionEvent::Kind::RunFinished;
    });
    for (const ConversionEvent &event : run.events) Conversion_ApplyEvent(session, event);
}

void ConvertAll(Session &session, EventHook hook)
{
    RecordedRun run;
    if (Start(session, run, std::move(hook))) Finish(session, run);
}

std::string Status(const Session &session, int job) { return session.jobs.items[job * kItemsPerJob + kJobStatus].label; }

int Image(const Session &session, int job) { return session.jobs.items[job * kItemsPerJob + kJobStatus].image; }

std::vector<std::string> TemporaryFiles(const std::string &directory)
{
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (Conversion_IsTemporaryOutputName(name) || name.find(".quelvor-tmp-") != std::string::npos)
            names.push_back(name);
    }
    return names;
}

int RunInChild(const std::function<int()> &body)
{
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) ::_exit(body());
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

bool DropFilePermissionOverride()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
        data[CAP_TO_INDEX(capability)].effective &= ~CAP_TO_MASK(capability);
        data[CAP_TO_INDEX(capability)].permitted &= ~CAP_TO_MASK(capability);
    }
    return ::syscall(SYS_capset, &header, data) == 0;
}

long PeakRssKilobytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace robustness
