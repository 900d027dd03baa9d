#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "RawString.h"
#include "Singleton.h"
#include "Stages.h"

class CWork_BK;

// Deals with the device's messages: decodes every frame the device sends
// (DispatchReply), builds the commands and whole stages the host sends, and
// translates device status codes into texts.
class CDealMsg : public Singleton<CDealMsg> {
public:
    CDealMsg() = default;
    ~CDealMsg() override = default;

    virtual std::wstring GetStatusText(std::uint8_t btStatus);
    virtual std::int32_t GetFirstValue() const { return m_nFirstValue; }
    virtual void SetFirstValue(std::int32_t nValue) { m_nFirstValue = nValue; }
    virtual std::uint8_t GetSecondValue() const { return m_btSecondValue; }
    virtual void SetSecondValue(std::uint8_t btValue) { m_btSecondValue = btValue; }

    void DispatchReply(const CRawString& strFrame);

    void SendInfoRequest(std::uint8_t btPort);
    void SendAck();
    void SendProjectStart();
    void SendProjectEnd();
    void SendEDogStart();
    void SendEDogEnd();
    void SendMusicStart();
    void SendMusicEnd();
    void SendRadarStart();
    void SendRadarEnd();
    void SendReadSettings();
    void SendReadSettingsI();
    void SendWriteSettings();
    int SendProjectPackets();
    int SendEDogPackets();
    int SendMusicPackets();
    int SendRadarPackets();
    // The same, for any stage of the stage table: its start command with the
    // payload it carries, its end command, and all its data frames followed
    // by the end command (answers 0 when the image has nothing to send).
    void SendStageStart(const CStage& AStage);
    void SendStageEnd(const CStage& AStage);
    int SendStagePackets(const CStage& AStage);
    void StoreSettingsReply(const CRawString& strFrame);

private:
    void DispatchStatus(const CRawString& strFrame);
    void DispatchDeviceInfo(const CRawString& strFrame);
    void DispatchGoAhead(const CStage& AStage);
    void DispatchBlockAnswer(const CStage& AStage, std::uint8_t btAnswered, std::uint8_t btStatus);
    void Queue(std::uint8_t btCommand, const std::uint8_t* pPayload = nullptr, std::uint16_t uLen = 0);

    std::int32_t m_nFirstValue = 2;
    std::uint8_t m_btSecondValue = 0;
};
