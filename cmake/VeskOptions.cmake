# Warning flags and sanitizers, applied through one interface target that every vesk target links.
add_library(vesk_options INTERFACE)
target_compile_options(vesk_options INTERFACE -Wall -Wextra -Wpedantic
  $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>)  # clang has no -Wshadow=local
if(VESK_WERROR)
  target_compile_options(vesk_options INTERFACE -Werror)
endif()
# GCC 12 for Windows sees overlapping copies in std::string's own inlined code at -O2 (GCC bug
# 105329, a false report); the native GCC builds keep the warning.
if(WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(vesk_options INTERFACE -Wno-restrict)
endif()

if(VESK_SANITIZER STREQUAL "address")
  set(_san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
elseif(VESK_SANITIZER STREQUAL "thread")
  set(_san -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT VESK_SANITIZER STREQUAL "")
  message(FATAL_ERROR "VESK_SANITIZER must be empty, 'address' or 'thread'")
endif()
if(_san)
  target_compile_options(vesk_options INTERFACE ${_san})
  target_link_options(vesk_options INTERFACE ${_san})
endif()
