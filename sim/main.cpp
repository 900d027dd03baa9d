// iap-sim: the virtual device as a program. Serves until SIGINT or SIGTERM,
// or until a hang-up fault unplugs it.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "SimDevice.h"
#include "TextCatalog.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> Args(argv + 1, argv + argc);
    CSimOptions AOptions;
    CCommandLine ALine("iap-sim", Args);
    AOptions.eLanguage = ALine.GetLanguage();
    AOptions.Declare(ALine.GetApp());
    if (const std::optional<int> nExit = ALine.Run(Args, 2))
        return *nExit;

    // The signals are taken with sigtimedwait; blocked before the device's
    // thread starts, so that it inherits the mask and never sees them.
    sigset_t ASignals;
    sigemptyset(&ASignals);
    sigaddset(&ASignals, SIGINT);
    sigaddset(&ASignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &ASignals, nullptr);

    CSimDevice ADevice(AOptions);
    std::string strError;
    if (!ADevice.Start(strError)) {
        std::fprintf(stderr, "iap-sim: %s\n", strError.c_str());
        return 1;
    }
    std::printf("%s\n", FormatText(AOptions.eLanguage, "iap-sim: COM{1} — это {2} -> {3}",
                                   {std::to_string(ADevice.GetCom()), ADevice.GetLinkPath(), ADevice.GetSlavePath()})
                            .c_str());
    std::fflush(stdout);

    const timespec tTick{0, 100'000'000};
    while (ADevice.GetState() == ESimState::Serving) {
        if (sigtimedwait(&ASignals, nullptr, &tTick) > 0)
            break;
    }
    const bool bHungUp = ADevice.GetState() == ESimState::HungUp;
    ADevice.Stop();
    if (bHungUp)
        std::fprintf(stderr, "%s\n",
                     FormatText(AOptions.eLanguage, "iap-sim: COM{1} отключён", {std::to_string(ADevice.GetCom())}).c_str());
    return 0;
}
