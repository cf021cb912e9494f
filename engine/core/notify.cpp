#include "engine/core/notify.h"

#include <cstring>

bool PostNotify(INotifyTarget* pTarget, uint32_t uMsg, WPARAM_T wParam, LPARAM_T lParam)
{
    return pTarget != nullptr && pTarget->Post(uMsg, wParam, lParam);
}

char* NewHeapString(std::string_view strText)
{
    char* p = new char[strText.size() + 2];
    std::memcpy(p, strText.data(), strText.size());
    p[strText.size()] = '\0';
    p[strText.size() + 1] = '\0';
    return p;
}

void FreeHeapString(LPARAM_T lParam)
{
    delete[] reinterpret_cast<char*>(lParam);
}

const char* HeapStringOf(LPARAM_T lParam)
{
    return reinterpret_cast<const char*>(lParam);
}

bool PostHeapString(INotifyTarget* pTarget, uint32_t uMsg, WPARAM_T wParam, std::string_view strText)
{
    if (pTarget == nullptr) return false;
    char* p = NewHeapString(strText);
    if (pTarget->Post(uMsg, wParam, reinterpret_cast<LPARAM_T>(p))) return true;
    // Nobody received it, so nobody will free it: reclaiming it here loses
    // nothing the receiver could still see.
    delete[] p;
    return false;
}
