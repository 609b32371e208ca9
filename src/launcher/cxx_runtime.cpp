// The launcher's own pieces of the C++ run-time library, linked into the launcher bodies only
// (varnlet-pack and the tests keep the library's). The launcher is built without exceptions:
// allocation and the library's error paths end the run with a report (core/allocation.h)
// instead of throwing, and no terminate handler is left to name an exception, so the
// exception machinery and the name demangler stay out of the bodies.
#include <bits/functexcept.h>  // the library's declarations of the helpers defined here

#include <cstddef>
#include <cstdlib>
#include <exception>
#include <new>

#include "core/allocation.h"

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
// A caller that asks for null on failure still gets it.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size != 0 ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size != 0 ? size : 1); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
#ifdef __cpp_sized_deallocation  // clang declares (and calls) these only when asked to
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
#endif
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }

namespace {

// The library's text of a broken precondition (an index past the end): a fault of the
// launcher, reported as it stands.
[[noreturn]] void libraryFault(const char* what) { endRunWithError(what); }

[[noreturn]] void terminated() { endRunWithError("The launcher ended on an internal error."); }

}  // namespace

// The library's error paths: a size that cannot be had is memory running out. These replace
// the library's own definitions, which is what the library allows a program without exceptions.
namespace std {  // NOLINT(cert-dcl58-cpp): defining the library's own helpers is the point
void __throw_bad_alloc() { outOfMemory(); }
void __throw_bad_array_new_length() { outOfMemory(); }
void __throw_length_error(const char*) { outOfMemory(); }
void __throw_logic_error(const char* what) { libraryFault(what); }
void __throw_out_of_range(const char* what) { libraryFault(what); }
void __throw_out_of_range_fmt(const char* what, ...) { libraryFault(what); }
void __throw_invalid_argument(const char* what) { libraryFault(what); }
void __throw_bad_function_call() { libraryFault("bad function call"); }
}  // namespace std

// What std::terminate calls (a pure virtual call, a thread left joinable): in place of the
// library's, which prints the active exception's demangled type.
namespace __cxxabiv1 {
std::terminate_handler __terminate_handler = terminated;
}
