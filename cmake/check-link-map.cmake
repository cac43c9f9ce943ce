# Fails the installer's link when the linker map shows a library object that
# framework/cxx_runtime.cpp keeps out, or one that brings printf or iostreams:
#   cmake -DMAP=Kgsetup.map -P check-link-map.cmake
# Each is named with the object and symbol that brought it in.
set(unwanted
  "libstdc\\+\\+\\.a\\((vterminate|cp-demangle)\\.o\\)"          # terminate handler, demangler
  "libstdc\\+\\+\\.a\\((functexcept|cow-[a-z-]+|stdexcept|snprintf_lite)\\.o\\)"  # throw helpers, old string
  "libstdc\\+\\+\\.a\\(string-inst\\.o\\)"                        # std::string all at once
  "libstdc\\+\\+\\.a\\([a-z_-]*(ios|locale|stream)[a-z_0-9-]*\\.o\\)"  # iostreams
  "libmingwex\\.a\\([a-z0-9_-]*pformat\\.o\\)")                     # the library's printf
file(STRINGS ${MAP} lines)
set(included FALSE)
set(member "")
set(failures "")
foreach(line IN LISTS lines)
  if(line MATCHES "^Archive member included")
    set(included TRUE)
  elseif(line MATCHES "^(Discarded input sections|Memory Configuration|Allocating common symbols)")
    set(included FALSE)
  elseif(included)
    # The member, then what needed it: on one line, or the second indented
    # on the next.
    set(reason "")
    if(line MATCHES "^([^ \t]+)[ \t]+(.+)$")
      set(member "${CMAKE_MATCH_1}")
      set(reason "${CMAKE_MATCH_2}")
    elseif(line MATCHES "^[^ \t]")
      string(STRIP "${line}" member)
    else()
      string(STRIP "${line}" reason)
    endif()
    if(NOT reason STREQUAL "")
      foreach(pattern IN LISTS unwanted)
        if(member MATCHES "${pattern}")
          string(REGEX REPLACE ".*/" "" name "${member}")
          string(APPEND failures "\n  ${name}, needed by ${reason}")
        endif()
      endforeach()
    endif()
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "The installer links library code that framework/cxx_runtime.cpp keeps out "
    "(see the comments there):${failures}")
endif()
