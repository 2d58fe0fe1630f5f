# Run after the program is linked: fails, naming the product code to blame,
# when the GNU linker took the C++ library's exception machinery into the
# program. The program is built without exceptions, yet a library part that
# can throw (std::string or std::vector growing, operator new, std::stoi)
# still brings throwing, unwinding and the terminate handler with its name
# demangler: about 150 KB of the program's code.
#
# Reads the linker's map (-Wl,-Map), whose first section lists each archive
# member the linker took and the file and symbol it was taken for.
# Usage: cmake -DMAP=<program>.map -DPROGRAM=<program> -P CheckNoExceptionMachinery.cmake
# On failure the program is removed, so that the next build links again and
# fails again instead of keeping it.

file(READ "${MAP}" map)
set(heading "Archive member included to satisfy reference by file (symbol)\n\n")
string(FIND "${map}" "${heading}" start)
if(start EQUAL -1)
  return()  # nothing taken from any archive
endif()
string(LENGTH "${heading}" heading_length)
math(EXPR start "${start} + ${heading_length}")
string(SUBSTRING "${map}" ${start} -1 section)
string(FIND "${section}" "\n\n" end)
string(SUBSTRING "${section}" 0 ${end} section)
# Entries as a CMake list: ';' and brackets in demangled names would split
# or group it, so they are replaced first.
string(REPLACE ";" "," section "${section}")
string(REPLACE "[" "<" section "${section}")
string(REPLACE "]" ">" section "${section}")
# An entry is "member" then, after white space that may include a line
# break, "referrer (symbol)".
string(REGEX REPLACE "\n[ \t]+" " " section "${section}")
string(REPLACE "\n" ";" entries "${section}")

# The toolchain's C++ and support libraries, as opposed to product code.
set(library_member "lib(stdc\\+\\+|supc\\+\\+|gcc|gcc_eh)\\.a\\(([^)]*)\\)")
# The exception machinery: the unwinder, and the members that throw, catch,
# or end the program on an uncaught exception.
set(machinery_member "libgcc_eh\\.a\\(|lib(stdc|supc)\\+\\+\\.a\\((eh_[a-z_]+|functexcept)\\.o\\)")

set(index 0)
foreach(entry IN LISTS entries)
  # Paths may hold spaces; each ends in an object file, alone or in an archive.
  if(NOT entry MATCHES "^(.+\\.o(bj)?\\)?) +(.+\\.o(bj)?\\)?) \\((.*)\\)$")
    continue()
  endif()
  set(member_${index} "${CMAKE_MATCH_1}")
  set(referrer_${index} "${CMAKE_MATCH_3}")
  set(symbol_${index} "${CMAKE_MATCH_5}")
  math(EXPR index "${index} + 1")
endforeach()
set(count ${index})
if(count EQUAL 0)
  return()
endif()
math(EXPR last "${count} - 1")

# For each machinery member, follows what it was taken for back through the
# library's own members to the product file that started the chain.
set(culprits "")
foreach(i RANGE ${last})
  if(NOT member_${i} MATCHES "${machinery_member}")
    continue()
  endif()
  set(current ${i})
  set(steps 0)
  while(referrer_${current} MATCHES "${library_member}" AND steps LESS count)
    set(found "")
    foreach(j RANGE ${last})
      if(member_${j} STREQUAL referrer_${current})
        set(found ${j})
        break()
      endif()
    endforeach()
    if(found STREQUAL "")
      break()
    endif()
    set(current ${found})
    math(EXPR steps "${steps} + 1")
  endwhile()
  string(REGEX REPLACE "^.*[/\\\\]" "" culprit "${referrer_${current}}")
  string(REGEX MATCH "\\(([^()]*)\\)$" object "${culprit}")
  if(object)
    set(culprit "${CMAKE_MATCH_1}")  # the object inside its static library
  endif()
  list(APPEND culprits "  ${culprit} uses ${symbol_${current}}")
endforeach()

if(culprits)
  file(REMOVE "${PROGRAM}")
  get_filename_component(PROGRAM "${PROGRAM}" NAME)
  list(REMOVE_DUPLICATES culprits)
  list(SORT culprits)
  list(JOIN culprits "\n" culprits)
  message(FATAL_ERROR
          "${PROGRAM} links the C++ library's exception machinery (throwing, unwinding and "
          "the terminate handler: about 150 KB), though it is built without exceptions. "
          "Product code must not use library parts that can throw: std::string, "
          "std::vector, operator new, std::stoi and the like; use fixed-size buffers and "
          "std::string_view. These product files start it (the linker names only the first "
          "use of each library part; `nm -C -u` on an object lists all of them):\n"
          "${culprits}\nThe whole chain is in the linker's map: ${MAP}")
endif()
