// The folder's list of DDS files, the order it is kept in and the steps through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Byte order with only the letters A to Z read as a to z; a prefix comes first. Below zero,
// zero or above zero, as strcmp.
int CompareNames(const char* a, const char* b);

// Whether the path ends in ".dds", in any letter case.
bool HasDdsExtension(const char* path);

// The search pattern for the folder's files ("*.DDS" after the folder), or empty when it would
// not fit a buffer of bufferSize bytes with its zero byte.
std::string FolderSearchPattern(const std::string& folder, size_t bufferSize);

// The names found in one folder, held back to back in one pool that grows in fixed steps.
class FileList {
  public:
    static constexpr size_t kPoolStep = 32768;
    static constexpr uint32_t kDirectoryAttribute = 0x10;

    // Empties the list; the pool keeps its capacity.
    void Clear();
    // One entry of the folder search: folders are skipped.
    void AddFound(const char* name, uint32_t attributes);
    // Turns the stored positions into names and sorts them.
    void Finish();

    int32_t Count() const { return int32_t(m_names.size()); }
    const char* At(int32_t index) const { return m_names[size_t(index)]; }
    // The first entry equal to the name in the list's order, or -1.
    int32_t Find(const char* name) const;
    size_t PoolCapacity() const { return m_capacity; }
    size_t PoolGrowths() const { return m_growths; }

  private:
    std::vector<char> m_pool; // its size is the capacity; m_used bytes are in use
    size_t m_capacity = 0, m_used = 0, m_growths = 0;
    std::vector<size_t> m_positions;
    std::vector<const char*> m_names;
};

// Steps: one back, one on, to the first file, to the last.
constexpr int32_t kStepFirst = -10000, kStepLast = +10000;

struct StepDecision {
    bool open = false;  // whether a file is opened
    int32_t index = -1; // the current index afterwards
};

// A step from position index in a list of count names.
StepDecision StepFrom(int32_t index, int32_t count, int32_t step, bool wrapAround);

// The step right after the list was rebuilt: from the current file when the list has it, the
// first file when it has not, and with no current file the last for kStepLast, else the first.
StepDecision StepAfterRebuild(const FileList& list, const char* currentName, int32_t step,
                              bool wrapAround);
