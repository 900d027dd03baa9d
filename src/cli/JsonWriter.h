#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Writes one JSON value as text, for scripts that read iap-cli's answers.
// Strings go in as UTF-8 and come out escaped as JSON wants them; commas
// are placed by the writer. One thread.
class CJsonWriter {
public:
    CJsonWriter& BeginObject() { return Open('{'); }
    CJsonWriter& EndObject() { return Close('}'); }
    CJsonWriter& BeginArray() { return Open('['); }
    CJsonWriter& EndArray() { return Close(']'); }
    // The name of the next member of the open object.
    CJsonWriter& Key(std::string_view strName);
    CJsonWriter& String(std::string_view strText);
    CJsonWriter& Number(double dValue);
    CJsonWriter& Number(std::uint64_t uValue);
    CJsonWriter& Bool(bool bValue);
    CJsonWriter& Null();
    const std::string& GetText() const { return m_strText; }

    static std::string Quote(std::string_view strText);

private:
    void BeforeValue();
    CJsonWriter& Open(char chBracket);
    CJsonWriter& Close(char chBracket);

    std::string m_strText;
    std::vector<bool> m_bFirst;  // per open object or array: no member yet
    bool m_bAfterKey = false;
};
