// The program catches no exceptions and is built without them. What the
// GNU C++ library would still throw from inside std::string and
// std::vector (out of memory, a length beyond max_size(), an index past the
// end) would end the program uncaught; these versions end it at once, the
// same outcome, without linking the exception objects, the unwinder, the
// thread library and the terminate handler with its name demangler behind
// them: 160 KB of the 200 KB of code this program had.
// Built only with the GNU toolchain (see app/CMakeLists.txt).
#include <cstdlib>
#include <new>

// The library's operator new throws std::bad_alloc itself; this one ends
// the program like the hooks below. The delete operators go with it.
void* operator new(std::size_t size) {
  if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
  std::abort();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace std {

void __throw_bad_alloc() { std::abort(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }

}  // namespace std
