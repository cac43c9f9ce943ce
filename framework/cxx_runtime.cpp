// Three parts of the C++ runtime, replaced in the installer program alone (the
// tests keep the library's): as GCC 12's libstdc++ ships them they bring more
// than half of the program, code that it never runs. Each replacement relies
// on how that library is put together, which is no interface of it:
// cmake/check-link-map.cmake fails the program's link when one of the library
// objects kept out here is linked in again, and a library object that comes
// back for another of its symbols fails the link with a second definition.
#include <windows.h>

#include <cstdlib>
#include <new>
#include <string>

// The library's default terminate handler prints the uncaught exception's
// type, demangled: it brings the demangler and, through it, a printf with
// float formatting (about 77 KB). A GUI program has no console to print to.
// The program ends with abort()'s exit code, but without the box in which
// the C runtime's abort() tells of it: run unattended, nobody would answer.
namespace __gnu_cxx {
void __verbose_terminate_handler() { ::TerminateProcess(::GetCurrentProcess(), 3); }
}  // namespace __gnu_cxx

// The library reports misuse of its containers through these helpers, all in
// one object that also brings every standard exception class and, with them,
// a second, older string implementation (about 55 KB). The program catches
// none of those classes by name: a length or position out of range (a fault
// of the program) is thrown as an exception of its own instead, which ends
// where the program catches everything (a window procedure's boundary tells
// of an internal error), as the library's would. Allocation failures throw
// what the library throws. All fifteen helpers of that object are here, so
// that a new use of one never brings the object back.
namespace kg {
struct StandardLibraryFault {};
}  // namespace kg

namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_exception() { throw kg::StandardLibraryFault(); }
void __throw_bad_cast() { throw kg::StandardLibraryFault(); }
void __throw_bad_typeid() { throw kg::StandardLibraryFault(); }
void __throw_logic_error(const char*) { throw kg::StandardLibraryFault(); }
void __throw_domain_error(const char*) { throw kg::StandardLibraryFault(); }
void __throw_invalid_argument(const char*) { throw kg::StandardLibraryFault(); }
void __throw_length_error(const char*) { throw kg::StandardLibraryFault(); }
void __throw_out_of_range(const char*) { throw kg::StandardLibraryFault(); }
void __throw_out_of_range_fmt(const char*, ...) { throw kg::StandardLibraryFault(); }
void __throw_runtime_error(const char*) { throw kg::StandardLibraryFault(); }
void __throw_range_error(const char*) { throw kg::StandardLibraryFault(); }
void __throw_overflow_error(const char*) { throw kg::StandardLibraryFault(); }
void __throw_underflow_error(const char*) { throw kg::StandardLibraryFault(); }
}  // namespace std

// The library instantiates std::string in one object, every member at once.
// Instantiated here, each member gets a section of its own, and the linker
// keeps only the members that the program uses.
template class std::basic_string<char>;
