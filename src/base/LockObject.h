#pragma once
#include <mutex>

// A plain, non-recursive lock held only around short list operations.
class CLockObject {
public:
    CLockObject() = default;
    virtual ~CLockObject() = default;
    CLockObject(const CLockObject&) = delete;
    CLockObject& operator=(const CLockObject&) = delete;

    void Lock();
    void Unlock();

private:
    std::mutex m_Mutex;
};
