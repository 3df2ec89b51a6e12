// The program catches no C++ exception, so a library error (out of memory, a string
// too long) could only end it through std::terminate. These definitions end it there
// directly, in place of the library's own: that keeps the unwinder, its thread library,
// the exception classes and the symbol demangler of the verbose terminate handler out
// of the executable, which would otherwise be most of its size (190 KB with gcc).
//
// They are GCC runtime internals, not standard C++: the program links with
// --allow-multiple-definition so that a library whose headers call a __throw_ helper
// not listed here still links, pulling its own copies in beside these (bigger, same
// behaviour). The attributes stay on the library's declarations: clang accepts
// [[noreturn]] only on a function's first declaration.
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
// NOLINTNEXTLINE(misc-use-internal-linkage): a replacement, global by definition
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

// NOLINTBEGIN(cert-dcl58-cpp): the library's own helpers, replaced (see above)
namespace std {
void __throw_bad_alloc() { FailFast(); }
void __throw_bad_array_new_length() { FailFast(); }
void __throw_length_error(const char*) { FailFast(); }
void __throw_logic_error(const char*) { FailFast(); }
void __throw_out_of_range(const char*) { FailFast(); }
// NOLINTNEXTLINE(cert-dcl50-cpp): the library's signature, variadic
void __throw_out_of_range_fmt(const char*, ...) { FailFast(); }
void __throw_invalid_argument(const char*) { FailFast(); }
}  // namespace std
// NOLINTEND(cert-dcl58-cpp)

namespace __gnu_cxx {
// The library's name, and global as the library's is.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp,misc-use-internal-linkage)
void __verbose_terminate_handler() { FailFast(); }
}  // namespace __gnu_cxx
