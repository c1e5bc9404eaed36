# The libraries of the metadata unit, both optional: Exiv2 reads photos and
# TagLib reads music. Without them the engine still builds; its metadata
# functions then say they are unavailable and their tests are skipped.
# VARNWELL_METADATA=OFF leaves both out even where they are installed.
option(VARNWELL_METADATA "Read photo metadata with Exiv2 and music tags with TagLib when found" ON)

# varnwell_metadata_libs carries what was found, the libraries and the
# definitions VARNWELL_HAVE_EXIV2 and VARNWELL_HAVE_TAGLIB, to the engine and
# to the test and the benchmark that make media files with the same libraries.
# Their headers come in through imported targets, hence as system headers
# that the warnings of varnwell_options do not reach.
add_library(varnwell_metadata_libs INTERFACE)
set(VARNWELL_HAVE_EXIV2 OFF)
set(VARNWELL_HAVE_TAGLIB OFF)
if(VARNWELL_METADATA)
  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(EXIV2 QUIET IMPORTED_TARGET exiv2)
    pkg_check_modules(TAGLIB QUIET IMPORTED_TARGET taglib)
    if(TARGET PkgConfig::EXIV2)
      set(VARNWELL_HAVE_EXIV2 ON)
      target_link_libraries(varnwell_metadata_libs INTERFACE PkgConfig::EXIV2)
      target_compile_definitions(varnwell_metadata_libs INTERFACE VARNWELL_HAVE_EXIV2=1)
    endif()
    if(TARGET PkgConfig::TAGLIB)
      set(VARNWELL_HAVE_TAGLIB ON)
      target_link_libraries(varnwell_metadata_libs INTERFACE PkgConfig::TAGLIB)
      target_compile_definitions(varnwell_metadata_libs INTERFACE VARNWELL_HAVE_TAGLIB=1)
    endif()
  endif()
endif()
message(STATUS "Photo metadata (Exiv2): ${VARNWELL_HAVE_EXIV2}; music tags (TagLib): ${VARNWELL_HAVE_TAGLIB}")
