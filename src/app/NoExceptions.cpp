// The program catches no C++ exception, so a library error (out of memory, a string
// too long) could only end it through std::terminate. These definitions end it there
// directly, in place of the library's own: that keeps the unwinder, its thread library,
// the exception classes and the symbol demangler of the verbose terminate handler out
// of the executable, which would otherwise be most of its size.
#include <cstddef>
#include <cstdlib>
#include <new>
#include <string>

// The library's prebuilt wide strings carry exception tables; this copy, built
// without exceptions like the rest of the program, is the one that gets linked.
template class std::basic_string<wchar_t>;

namespace {
[[noreturn]] void FailFast() { std::abort(); }
}  // namespace

// The replaceable allocation functions, failing fast where the library's would throw.
void* operator new(std::size_t size) {
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    FailFast();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace std {
[[noreturn]] void __throw_bad_alloc() { FailFast(); }
[[noreturn]] void __throw_bad_array_new_length() { FailFast(); }
[[noreturn]] void __throw_length_error(const char*) { FailFast(); }
[[noreturn]] void __throw_logic_error(const char*) { FailFast(); }
[[noreturn]] void __throw_out_of_range(const char*) { FailFast(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { FailFast(); }
[[noreturn]] void __throw_invalid_argument(const char*) { FailFast(); }
}  // namespace std

namespace __gnu_cxx {
[[noreturn]] void __verbose_terminate_handler() { FailFast(); }
}  // namespace __gnu_cxx
