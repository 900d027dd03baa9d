#include "LockObject.h"

void CLockObject::Lock() { m_Mutex.lock(); }
void CLockObject::Unlock() { m_Mutex.unlock(); }
