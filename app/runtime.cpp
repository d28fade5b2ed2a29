// Parts of the C++ run-time library that the statically linked program replaces, so that it does
// not carry code it never runs: the library's default terminate handler names the exception type
// through the symbol demangler, and its throw helpers build exception objects with a second copy
// of the string code. The program catches no exception, so each of these failures (out of memory,
// a length or range error inside the library) already ended it through std::terminate; now it
// ends at the same point, at once, without the message that a GUI program has nowhere to show.
#include <bits/functexcept.h>

#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_exception() { abort(); }
void __throw_bad_alloc() { abort(); }
void __throw_bad_array_new_length() { abort(); }
void __throw_bad_cast() { abort(); }
void __throw_bad_typeid() { abort(); }
void __throw_logic_error(const char *) { abort(); }
void __throw_domain_error(const char *) { abort(); }
void __throw_invalid_argument(const char *) { abort(); }
void __throw_length_error(const char *) { abort(); }
void __throw_out_of_range(const char *) { abort(); }
void __throw_out_of_range_fmt(const char *, ...) { abort(); }
void __throw_runtime_error(const char *) { abort(); }
void __throw_range_error(const char *) { abort(); }
void __throw_overflow_error(const char *) { abort(); }
void __throw_underflow_error(const char *) { abort(); }
void __throw_ios_failure(const char *) { abort(); }
void __throw_ios_failure(const char *, int) { abort(); }
void __throw_system_error(int) { abort(); }
void __throw_future_error(int) { abort(); }
void __throw_bad_function_call() { abort(); }
}  // namespace std
