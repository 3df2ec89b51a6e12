#include "SystemHandles.h"

#include "common/Unique.h"

#include <cstddef>
#include <cwctype>
#include <vector>

// The ntdll side of the handle table, declared here because mingw's headers vary.
namespace {

using NtStatus = LONG;
constexpr NtStatus kStatusInfoLengthMismatch = static_cast<NtStatus>(0xC0000004L);
constexpr ULONG kSystemExtendedHandleInformation = 64;  // full process ids and handle values
constexpr ULONG kObjectNameInformation = 1;
constexpr ULONG kObjectTypeInformation = 2;

struct HandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handleValue;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG handleAttributes;
    ULONG reserved;
};

struct HandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};

// UNICODE_STRING; both ObjectNameInformation and ObjectTypeInformation begin with one.
struct CountedString {
    USHORT length;  // in bytes
    USHORT maximumLength;
    PWSTR buffer;
};

}  // namespace

extern "C" {
NTSYSAPI NtStatus NTAPI NtQuerySystemInformation(ULONG infoClass, PVOID info, ULONG infoLength,
                                                 PULONG returnLength);
NTSYSAPI NtStatus NTAPI NtQueryObject(HANDLE handle, ULONG infoClass, PVOID info, ULONG infoLength,
                                      PULONG returnLength);
}

namespace {

std::vector<ULONG_PTR> SnapshotHandleTable() {
    std::vector<ULONG_PTR> table(64 * 1024 / sizeof(ULONG_PTR));
    for (int attempt = 0; attempt < 16; ++attempt) {
        const ULONG bytes = static_cast<ULONG>(table.size() * sizeof(ULONG_PTR));
        const NtStatus status =
            NtQuerySystemInformation(kSystemExtendedHandleInformation, table.data(), bytes, nullptr);
        if (status == kStatusInfoLengthMismatch) {
            table.resize(table.size() * 2);
            continue;
        }
        if (status < 0) break;
        return table;
    }
    return {};
}

std::wstring QueryObjectString(HANDLE handle, ULONG infoClass) {
    std::vector<ULONG_PTR> info(4096 / sizeof(ULONG_PTR));
    ULONG needed = 0;
    NtStatus status = NtQueryObject(handle, infoClass, info.data(),
                                    static_cast<ULONG>(info.size() * sizeof(ULONG_PTR)), &needed);
    if (status < 0 && needed > info.size() * sizeof(ULONG_PTR)) {
        info.resize(needed / sizeof(ULONG_PTR) + 1);
        status = NtQueryObject(handle, infoClass, info.data(),
                               static_cast<ULONG>(info.size() * sizeof(ULONG_PTR)), &needed);
    }
    if (status < 0) return {};
    const auto* text = reinterpret_cast<const CountedString*>(info.data());
    if (!text->buffer) return {};
    return std::wstring(text->buffer, text->length / sizeof(wchar_t));
}

bool EndsWithNoCase(const std::wstring& text, const std::wstring& suffix) {
    if (suffix.size() > text.size()) return false;
    const wchar_t* tail = text.data() + (text.size() - suffix.size());
    for (std::wstring::size_type i = 0; i < suffix.size(); ++i)
        if (std::towupper(tail[i]) != std::towupper(suffix[i])) return false;
    return true;
}

}  // namespace

std::wstring KernelKeyName(HKEY key) { return QueryObjectString(key, kObjectNameInformation); }

int CountOpenKeyHandles(const std::wstring& pathSuffix) {
    const std::vector<ULONG_PTR> snapshot = SnapshotHandleTable();
    if (snapshot.empty()) return -1;
    const auto* table = reinterpret_cast<const HandleTable*>(snapshot.data());
    // Never past the buffer, whatever count the table claims.
    const size_t fits =
        (snapshot.size() * sizeof(ULONG_PTR) - offsetof(HandleTable, entries)) / sizeof(HandleEntry);
    const size_t entries = table->count < fits ? table->count : fits;
    const ULONG_PTR self = GetCurrentProcessId();
    const HANDLE process = GetCurrentProcess();

    int count = 0;
    for (size_t i = 0; i < entries; ++i) {
        const HandleEntry& entry = table->entries[i];
        if (entry.processId != self) continue;
        // Queried through a copy we own, so another thread closing the original cannot pull it away.
        UniqueHandle copy;
        if (!DuplicateHandle(process, reinterpret_cast<HANDLE>(entry.handleValue), process, copy.put(), 0,
                             FALSE, DUPLICATE_SAME_ACCESS))
            continue;
        // Asking the name of some objects (pipes) can block; keys answer at once.
        if (QueryObjectString(copy.get(), kObjectTypeInformation) != L"Key") continue;
        if (EndsWithNoCase(QueryObjectString(copy.get(), kObjectNameInformation), pathSuffix)) ++count;
    }
    return count;
}
