# One interface target carries the shared build settings: every library,
# test and benchmark links it.
add_library(varnwell_options INTERFACE)
target_compile_features(varnwell_options INTERFACE cxx_std_20)
# GCC warns of a local that shadows another local; clang has no such switch
# and gets its nearest ones (the fuzz targets are built with clang).
target_compile_options(varnwell_options INTERFACE
  -Wall -Wextra -Werror -Wnon-virtual-dtor
  $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>
  $<$<CXX_COMPILER_ID:Clang>:-Wshadow -Wshadow-uncaptured-local>)
target_compile_definitions(varnwell_options INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_KEYWORDS
  VARNWELL_VERSION="${PROJECT_VERSION}")

if(VARNWELL_SANITIZE)
  target_compile_options(varnwell_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(varnwell_options INTERFACE -fsanitize=address,undefined)
endif()

# ThreadSanitizer: the project's code is instrumented, the system's libraries
# (Qt among them) are not; scripts/tsan sets aside the reports made inside
# them. -O1 keeps the instrumented tests quick enough; the frame pointers keep
# the reports' stacks whole.
if(VARNWELL_TSAN)
  if(VARNWELL_SANITIZE OR VARNWELL_FUZZ)
    message(FATAL_ERROR "VARNWELL_TSAN cannot be combined with AddressSanitizer: "
                        "turn VARNWELL_SANITIZE and VARNWELL_FUZZ off")
  endif()
  target_compile_options(varnwell_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer -O1)
  target_link_options(varnwell_options INTERFACE -fsanitize=thread)
  # The code tells the runtime of the orderings it cannot see (uPageKit.cpp).
  target_compile_definitions(varnwell_options INTERFACE VARNWELL_TSAN)
endif()

# The fuzz build: everything is compiled with libFuzzer's coverage hooks and
# the sanitizers, so that the engine's branches guide the fuzzer; the fuzz
# targets themselves link the libFuzzer runtime (tests/fuzz). clang only.
if(VARNWELL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VARNWELL_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
  endif()
  target_compile_options(varnwell_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined)
  target_link_options(varnwell_options INTERFACE -fsanitize=address,undefined)
endif()
