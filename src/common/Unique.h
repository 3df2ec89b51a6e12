// One owner for every Win32 handle: a small move-only wrapper that closes what it holds.
#pragma once

#include <windows.h>

template <typename T, typename Close, T Invalid = T{}>
class Unique {
public:
    Unique() = default;
    explicit Unique(T value) : value_(value) {}
    ~Unique() { reset(); }

    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : value_(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    T get() const { return value_; }
    explicit operator bool() const { return value_ != Invalid; }

    // For out-parameters of the API: frees what is held, then lends the slot.
    T* put() {
        reset();
        return &value_;
    }

    T release() {
        T value = value_;
        value_ = Invalid;
        return value;
    }

    void reset(T value = Invalid) {
        if (value_ != Invalid) Close{}(value_);
        value_ = value;
    }

private:
    T value_ = Invalid;
};

struct CloseKey {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
struct CloseKernelHandle {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};

struct FreeModule {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
struct DeleteMemoryDc {
    void operator()(HDC dc) const { DeleteDC(dc); }
};

using UniqueHKey = Unique<HKEY, CloseKey>;
using UniqueHandle = Unique<HANDLE, CloseKernelHandle>;
using UniqueMemoryDc = Unique<HDC, DeleteMemoryDc>;
using UniqueModule = Unique<HMODULE, FreeModule>;
template <typename T>
using UniqueGdi = Unique<T, DeleteGdiObject>;
