#include "JsonWriter.h"

#include <cmath>
#include <cstdio>

std::string CJsonWriter::Quote(std::string_view strText)
{
    std::string strOut = "\"";
    for (const char ch : strText) {
        switch (ch) {
        case '"': strOut += "\\\""; break;
        case '\\': strOut += "\\\\"; break;
        case '\n': strOut += "\\n"; break;
        case '\r': strOut += "\\r"; break;
        case '\t': strOut += "\\t"; break;
        default:
            if (static_cast<unsigned char>(ch) < 0x20) {
                char szEscape[8];
                std::snprintf(szEscape, sizeof szEscape, "\\u%04x", static_cast<unsigned>(ch));
                strOut += szEscape;
            } else {
                strOut += ch;
            }
        }
    }
    return strOut + "\"";
}

void CJsonWriter::BeforeValue()
{
    if (m_bAfterKey) {
        m_bAfterKey = false;
        return;
    }
    if (!m_bFirst.empty()) {
        if (!m_bFirst.back())
            m_strText += ',';
        m_bFirst.back() = false;
    }
}

CJsonWriter& CJsonWriter::Open(char chBracket)
{
    BeforeValue();
    m_strText += chBracket;
    m_bFirst.push_back(true);
    return *this;
}

CJsonWriter& CJsonWriter::Close(char chBracket)
{
    m_strText += chBracket;
    m_bFirst.pop_back();
    return *this;
}

CJsonWriter& CJsonWriter::Key(std::string_view strName)
{
    BeforeValue();
    m_strText += Quote(strName) + ':';
    m_bAfterKey = true;
    return *this;
}

CJsonWriter& CJsonWriter::String(std::string_view strText)
{
    BeforeValue();
    m_strText += Quote(strText);
    return *this;
}

CJsonWriter& CJsonWriter::Number(double dValue)
{
    BeforeValue();
    // JSON has no infinities or NaN; three decimals are a millisecond.
    char szValue[32];
    std::snprintf(szValue, sizeof szValue, "%.3f", std::isfinite(dValue) ? dValue : 0.0);
    m_strText += szValue;
    return *this;
}

CJsonWriter& CJsonWriter::Number(std::uint64_t uValue)
{
    BeforeValue();
    m_strText += std::to_string(uValue);
    return *this;
}

CJsonWriter& CJsonWriter::Bool(bool bValue)
{
    BeforeValue();
    m_strText += bValue ? "true" : "false";
    return *this;
}

CJsonWriter& CJsonWriter::Null()
{
    BeforeValue();
    m_strText += "null";
    return *this;
}
