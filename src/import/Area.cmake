# The import area: reads survey data sets (ReadStat for SPSS, Stata and SAS
# files, a CSV reader of its own, DDI codebooks with libxml2 and zlib) and writes whole projects from them. It
# sits beside the features, on the codebook layer.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(READSTAT QUIET IMPORTED_TARGET readstat)
endif()
if(TARGET PkgConfig::READSTAT)
  set(qavn_readstat PkgConfig::READSTAT)
else()
  # Debian's libreadstat-dev ships no pkg-config file.
  find_path(READSTAT_INCLUDE_DIR readstat.h)
  find_library(READSTAT_LIBRARY readstat)
  if(NOT READSTAT_INCLUDE_DIR OR NOT READSTAT_LIBRARY)
    message(FATAL_ERROR "The import area needs ReadStat (Debian: libreadstat-dev)")
  endif()
  add_library(qavn_readstat_lib UNKNOWN IMPORTED)
  set_target_properties(qavn_readstat_lib PROPERTIES IMPORTED_LOCATION ${READSTAT_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${READSTAT_INCLUDE_DIR})
  set(qavn_readstat qavn_readstat_lib)
endif()
find_package(LibXml2 REQUIRED)
find_package(ZLIB REQUIRED)
qavn_area(import DEPENDS codebook EXTERNAL ${qavn_readstat} LibXml2::LibXml2 ZLIB::ZLIB)
target_link_libraries(qavn_core INTERFACE qavn::import)
