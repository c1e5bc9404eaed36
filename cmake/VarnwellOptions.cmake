# One interface target carries the shared build settings: every library,
# test and benchmark links it.
add_library(varnwell_options INTERFACE)
target_compile_features(varnwell_options INTERFACE cxx_std_20)
target_compile_options(varnwell_options INTERFACE
  -Wall -Wextra -Werror -Wnon-virtual-dtor -Wshadow=local)
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
