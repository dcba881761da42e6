#include "view/FileList.h"

#include <algorithm>
#include <cstring>

namespace {
unsigned char Folded(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

} // namespace

int CompareNames(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const unsigned char x = Folded(*a), y = Folded(*b);
        if (x != y) return x < y ? -1 : 1;
        if (x == 0) return 0;
    }
}

bool HasDdsExtension(const char* path) {
    static const char kTail[] = ".dds";
    const size_t length = std::strlen(path), tail = sizeof kTail - 1;
    if (length < tail) return false;
    for (size_t i = 0; i < tail; ++i)
        if (Folded(path[length - tail + i]) != static_cast<unsigned char>(kTail[i])) return false;
    return true;
}

std::string FolderSearchPattern(const std::string& folder, size_t bufferSize) {
    std::string pattern = folder + "*.DDS";
    return pattern.size() < bufferSize ? pattern : std::string();
}

void FileList::Clear() {
    m_used = 0;
    m_positions.clear();
    m_names.clear();
}

void FileList::AddFound(const char* name, uint32_t attributes) {
    if (attributes & kDirectoryAttribute) return;
    const size_t length = std::strlen(name) + 1;
    if (m_used + length > m_capacity) {
        size_t capacity = m_capacity;
        while (m_used + length > capacity) capacity += kPoolStep;
        std::vector<char> larger(capacity);
        std::copy(m_pool.begin(), m_pool.begin() + std::ptrdiff_t(m_used), larger.begin());
        m_pool.swap(larger);
        m_capacity = capacity;
        ++m_growths;
    }
    std::memcpy(m_pool.data() + m_used, name, length);
    m_positions.push_back(m_used);
    m_used += length;
}

void FileList::Finish() {
    m_names.clear();
    m_names.reserve(m_positions.size());
    for (size_t position : m_positions) m_names.push_back(m_pool.data() + position);
    std::stable_sort(m_names.begin(), m_names.end(),
                     [](const char* a, const char* b) { return CompareNames(a, b) < 0; });
}

int32_t FileList::Find(const char* name) const {
    for (size_t i = 0; i < m_names.size(); ++i)
        if (CompareNames(m_names[i], name) == 0) return int32_t(i);
    return -1;
}

StepDecision StepFrom(int32_t index, int32_t count, int32_t step, bool wrapAround) {
    if (count <= 0) return {false, -1};
    if (step == kStepFirst) return {true, 0};
    if (step == kStepLast) return {true, count - 1};
    const int32_t target = index + step;
    if (target >= 0 && target < count) return {true, target};
    if (!wrapAround) return {false, index};
    return {true, target >= count ? target - count : target + count};
}

StepDecision StepAfterRebuild(const FileList& list, const char* currentName, int32_t step,
                              bool wrapAround) {
    const int32_t count = list.Count();
    if (count == 0) return {false, -1};
    if (!currentName || !currentName[0]) return {true, step == kStepLast ? count - 1 : 0};
    const int32_t found = list.Find(currentName);
    if (found < 0) return {true, 0};
    return StepFrom(found, count, step, wrapAround);
}
