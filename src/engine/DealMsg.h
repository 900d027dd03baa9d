#pragma once
#include <cstdint>
#include <string>

#include "CommandQueue.h"
#include "RawString.h"
#include "ReplyListener.h"
#include "Singleton.h"

// Deals with the device's messages: decodes every frame the device sends
// into what it means (DispatchReply), builds the commands the host sends
// outside the update stages, and translates device status codes into
// texts. The worker owns the one there is; it holds nothing else and looks
// nothing up: what a frame means goes to the listener it is given.
class CDealMsg : public Singleton<CDealMsg> {
public:
    CDealMsg() = default;
    ~CDealMsg() override = default;

    // One frame, start byte to checksum, on the thread that read it. A frame
    // too short for its kind, 0x13 and commands outside the protocol tell
    // the listener nothing.
    void DispatchReply(const CRawString& strFrame, CReplyListener& AListener) const;

    static std::wstring GetStatusText(std::uint8_t btStatus);

    static void SendInfoRequest(CCommandQueue& AQueue, std::uint8_t btPort);
    // The acknowledgement of a device request.
    static void SendAck(CCommandQueue& AQueue);
    static void SendReadSettings(CCommandQueue& AQueue);
    static void SendReadSettingsI(CCommandQueue& AQueue);

private:
    static void DispatchStatus(std::uint8_t btAnswered, std::uint8_t btStatus, CReplyListener& AListener);
};
