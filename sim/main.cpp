// iap-sim: the virtual device as a program. Serves until SIGINT or SIGTERM,
// or until a hang-up fault unplugs it.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "SimDevice.h"
#include "Version.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> Args(argv + 1, argv + argc);
    CSimOptions AOptions;
    std::string strError;
    switch (CSimOptions::Parse(Args, AOptions, strError)) {
    case CSimOptions::EParse::Help:
        std::fputs(CSimOptions::GetHelpText().c_str(), stdout);
        return 0;
    case CSimOptions::EParse::Version:
        std::printf("iap-sim %s\n", kIapVersion);
        return 0;
    case CSimOptions::EParse::Error:
        std::fprintf(stderr, "iap-sim: %s\n", strError.c_str());
        return 2;
    case CSimOptions::EParse::Run:
        break;
    }

    // The signals are taken with sigtimedwait; blocked before the device's
    // thread starts, so that it inherits the mask and never sees them.
    sigset_t ASignals;
    sigemptyset(&ASignals);
    sigaddset(&ASignals, SIGINT);
    sigaddset(&ASignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &ASignals, nullptr);

    CSimDevice ADevice(AOptions);
    if (!ADevice.Start(strError)) {
        std::fprintf(stderr, "iap-sim: %s\n", strError.c_str());
        return 1;
    }
    std::printf("iap-sim: COM%u is %s -> %s\n", ADevice.GetCom(), ADevice.GetLinkPath().c_str(),
                ADevice.GetSlavePath().c_str());
    std::fflush(stdout);

    const timespec tTick{0, 100'000'000};
    while (ADevice.GetState() == ESimState::Serving) {
        if (sigtimedwait(&ASignals, nullptr, &tTick) > 0)
            break;
    }
    const bool bHungUp = ADevice.GetState() == ESimState::HungUp;
    ADevice.Stop();
    if (bHungUp)
        std::fprintf(stderr, "iap-sim: COM%u unplugged\n", ADevice.GetCom());
    return 0;
}
