#include "ProtocolRig.h"

#include "Command.h"
#include "RawString.h"

CProtocolRig::CProtocolRig(const CSimOptions& ADeviceOptions, CProtocolTimes ATimes)
    : ACore(AImages, ATimes), ADevice(ADeviceOptions, ARecorder)
{
}

bool CProtocolRig::Connect()
{
    // The port's probe: the device's first 0x45 since it was opened.
    ADevice.OnHostOpened();
    ADevice.React(CSimResponder::MakeFrame(Cmd::InfoRequest, std::vector<std::uint8_t>{3}));
    ACore.Connect(3, tNow);
    Pump();
    return ACore.GetLink() == CUpdateProtocol::ELink::Ready;
}

EStartResult CProtocolRig::Start()
{
    const EStartResult eStart = ACore.StartUpdate(tNow);
    Pump();
    return eStart;
}

CResults CProtocolRig::Run()
{
    Start();
    for (int i = 0; i < 600 && ACore.IsRunning(); ++i)
        Advance(CMillis(1000));
    return Results();
}

void CProtocolRig::Inject(const CSimBytes& Frame)
{
    m_Incoming.push_back(Frame);
    Pump();
}

void CProtocolRig::Deliver(const CSimBytes& Frame)
{
    ARecorder.Log(ESimLogKind::Sent, Frame);
    const CRawString strFrame(Frame.data(), static_cast<std::int32_t>(Frame.size()));
    ACore.OnReply(m_Deal.Decode(strFrame), tNow);
}

void CProtocolRig::Pump()
{
    for (;;) {
        std::vector<CProtocolAction> Actions = ACore.TakeActions();
        if (Actions.empty()) {
            if (m_Incoming.empty())
                return;
            const CSimBytes Frame = m_Incoming.front();
            m_Incoming.pop_front();
            Deliver(Frame);
            continue;
        }
        for (const CProtocolAction& AAction : Actions) {
            switch (AAction.eKind) {
            case CProtocolAction::EKind::Notify: ANotes.SendMessage(AAction.uMessage, AAction.wParam, AAction.lParam); break;
            case CProtocolAction::EKind::Trace: break;
            case CProtocolAction::EKind::Write: {
                const std::uint8_t btCommand = AAction.Frame[3];
                const bool bWritten = FailWriteOf != btCommand;
                Wire.push_back(btCommand);
                WireTimes.push_back(tNow);
                ACore.OnWritten(btCommand, bWritten, tNow);
                if (!bWritten)
                    break;
                ARecorder.Log(ESimLogKind::Received, AAction.Frame);
                const CSimReaction AReaction = ADevice.React(AAction.Frame);
                m_Incoming.insert(m_Incoming.end(), AReaction.Answers.begin(), AReaction.Answers.end());
                if (AReaction.bDeviceRequest)
                    m_Incoming.push_back(CSimResponder::MakeDeviceRequest());
                if (AReaction.bHangup)
                    ACore.OnPortLost(tNow);
                break;
            }
            }
        }
    }
}

void CProtocolRig::Advance(CMillis tStep)
{
    const CMillis tEnd = tNow + tStep;
    for (int i = 0; i < 100000; ++i) {
        const std::optional<CMillis> WakeUp = ACore.GetWakeUp();
        tNow = WakeUp && *WakeUp > tNow && *WakeUp < tEnd ? *WakeUp : tEnd;
        ACore.OnTime(tNow);
        Pump();
        if (tNow >= tEnd)
            return;
    }
}
