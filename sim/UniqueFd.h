#pragma once

// Owns one file descriptor and closes it when it goes.
class CUniqueFd {
public:
    CUniqueFd() = default;
    explicit CUniqueFd(int fd) : m_fd(fd) {}
    ~CUniqueFd() { Reset(); }
    CUniqueFd(const CUniqueFd&) = delete;
    CUniqueFd& operator=(const CUniqueFd&) = delete;
    CUniqueFd(CUniqueFd&& Other) noexcept : m_fd(Other.Release()) {}
    CUniqueFd& operator=(CUniqueFd&& Other) noexcept;

    int Get() const { return m_fd; }
    bool IsValid() const { return m_fd >= 0; }
    // Closes what it holds and takes fd instead.
    void Reset(int fd = -1);
    int Release();

private:
    int m_fd = -1;
};
