// iap-sim: the virtual device as a program.
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "SimDevice.h"

namespace {
volatile std::sig_atomic_t g_bEnd = 0;  // set by SIGINT/SIGTERM
void OnSignal(int) { g_bEnd = 1; }
} // namespace

int main(int argc, char** argv)
{
    std::string strError;
    const auto AOptions = CSimOptions::Parse(std::vector<std::string>(argv + 1, argv + argc), strError);
    if (!AOptions) {
        std::fprintf(stderr, "iap-sim: %s\n%s", strError.c_str(), CSimOptions::Usage());
        return 64;
    }
    if (AOptions->bHelp) {
        std::fputs(CSimOptions::Usage(), stdout);
        return 0;
    }
    CSimDevice ADevice(*AOptions);
    if (!ADevice.Open(strError)) {
        std::fprintf(stderr, "iap-sim: %s\n", strError.c_str());
        return 1;
    }
    struct sigaction AAction {};
    AAction.sa_handler = OnSignal;
    sigaction(SIGINT, &AAction, nullptr);
    sigaction(SIGTERM, &AAction, nullptr);
    std::printf("iap-sim: device on %s -> %s\n", ADevice.GetLinkPath().c_str(), ADevice.GetSlavePath().c_str());
    std::fflush(stdout);
    std::thread AWatch([&] {
        while (!g_bEnd)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ADevice.Stop();
    });
    ADevice.Serve();
    g_bEnd = 1;
    AWatch.join();
    return 0;  // the destructor removes the link
}
