#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "RawString.h"

using CBytes = std::vector<std::uint8_t>;

// A scripted device on the master side of a pseudo-terminal whose slave side
// is registered as COM<n> in a port folder. Every frame the host writes is
// cut, recorded and passed to the handler, whose answer (possibly nothing)
// is written back at once.
class CPtyPeer {
public:
    using Handler = std::function<CBytes(const CBytes& Frame)>;

    CPtyPeer(const std::string& strPortDir, unsigned nCom);
    ~CPtyPeer();
    CPtyPeer(const CPtyPeer&) = delete;
    CPtyPeer& operator=(const CPtyPeer&) = delete;

    void SetHandler(Handler AHandler);
    void Write(const CBytes& Bytes);
    // Closes the master side: the host sees the device vanish.
    void Hangup();

    std::vector<CBytes> GetFrames() const;
    CBytes GetRawBytes() const;
    bool WaitForFrames(std::size_t nCount, std::chrono::milliseconds tTimeout) const;
    const std::string& GetSlavePath() const { return m_strSlave; }
    int GetSlaveFd() const { return m_fdSlave; }

    // A device that answers the probe and the queued request 0x45 with 0x46.
    static CBytes InfoAnswer(std::uint8_t btPort);
    static CBytes MakeFrame(std::uint8_t btCommand, const CBytes& Payload);

private:
    void ReadLoop();

    int m_fdMaster = -1;
    int m_fdSlave = -1;
    std::string m_strSlave;
    std::string m_strLink;
    std::atomic<bool> m_bStop{false};
    mutable std::mutex m_Mutex;
    mutable std::condition_variable m_Cond;
    Handler m_Handler;
    std::vector<CBytes> m_Frames;
    CBytes m_RawBytes;
    CRawString m_strReceive;
    std::thread m_Thread;
};
