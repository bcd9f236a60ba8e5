#include "OneInstance.h"

#include <algorithm>

OneInstance::OneInstance(std::wstring programPath) : name_(std::move(programPath)) {
    std::replace(name_.begin(), name_.end(), L'\\', L'/');
    semaphore_ = UniqueHandle(CreateSemaphoreW(nullptr, 1, 1, name_.c_str()));
    if (!semaphore_.valid()) return;
    if (WaitForSingleObject(semaphore_.get(), 50) == WAIT_OBJECT_0)
        releaseCount_ = 1;
    else
        alreadyRunning_ = true;
}

OneInstance::~OneInstance() {
    if (semaphore_.valid() && releaseCount_ > 0) ReleaseSemaphore(semaphore_.get(), releaseCount_, nullptr);
}

std::wstring OneInstance::programPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) return path.substr(0, length);
        path.resize(path.size() * 2);
    }
}
