#pragma once

// Registry of the one program-wide object of type T. The object registers
// itself by deriving from Singleton<T>; there is no lazy creation. The
// pointer is null before the object is constructed and after it is destroyed.
template <class T>
class Singleton {
public:
    static T* GetInstance() { return s_pInstance ? static_cast<T*>(s_pInstance) : nullptr; }

protected:
    Singleton() { s_pInstance = this; }
    virtual ~Singleton() { s_pInstance = nullptr; }
    Singleton(const Singleton&) = delete;
    Singleton& operator=(const Singleton&) = delete;

private:
    // Kept as the base pointer: the downcast happens only on access, once the
    // complete object exists.
    // NOLINTNEXTLINE(cppcoreguidelines-avoid-non-const-global-variables): the one instance it gives access to
    static inline Singleton* s_pInstance = nullptr;
};
