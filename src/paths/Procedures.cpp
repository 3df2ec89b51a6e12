#include "paths/Procedures.h"

void StripFileName(std::wstring& path) {
    const std::wstring::size_type last = path.rfind(L'\\');
    if (last != std::wstring::npos) path.resize(last + 1);
}
