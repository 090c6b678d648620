# Publishing the codebook: a static HTML site (its script and style sheet
# live in publish/site and are built into the program) and an xlsx data
# dictionary written with libxlsxwriter (Debian: libxlsxwriter-dev).
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(XLSXWRITER QUIET IMPORTED_TARGET xlsxwriter)
endif()
if(TARGET PkgConfig::XLSXWRITER)
  set(qavn_xlsxwriter PkgConfig::XLSXWRITER)
else()
  find_library(QAVN_XLSXWRITER_LIBRARY xlsxwriter)
  find_path(QAVN_XLSXWRITER_INCLUDE xlsxwriter.h)
  if(NOT QAVN_XLSXWRITER_LIBRARY OR NOT QAVN_XLSXWRITER_INCLUDE)
    message(FATAL_ERROR "QAVN needs libxlsxwriter (Debian: libxlsxwriter-dev)")
  endif()
  add_library(qavn_xlsxwriter_lib UNKNOWN IMPORTED)
  set_target_properties(qavn_xlsxwriter_lib PROPERTIES IMPORTED_LOCATION ${QAVN_XLSXWRITER_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${QAVN_XLSXWRITER_INCLUDE})
  set(qavn_xlsxwriter qavn_xlsxwriter_lib)
endif()
qavn_area(publish DEPENDS catalogue writers export query EXTERNAL ${qavn_xlsxwriter})

set(qavn_site_assets ${CMAKE_CURRENT_SOURCE_DIR}/publish/site/site.js ${CMAKE_CURRENT_SOURCE_DIR}/publish/site/site.css)
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/publish/SiteAssets.cpp
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/publish/SiteAssets.cpp
          -DSCRIPT=${CMAKE_CURRENT_SOURCE_DIR}/publish/site/site.js
          -DSTYLE=${CMAKE_CURRENT_SOURCE_DIR}/publish/site/site.css
          -P ${CMAKE_CURRENT_SOURCE_DIR}/publish/EmbedAssets.cmake
  DEPENDS ${qavn_site_assets} ${CMAKE_CURRENT_SOURCE_DIR}/publish/EmbedAssets.cmake
  COMMENT "Building the codebook site's script and style sheet into the program")
target_sources(qavn_publish PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/publish/SiteAssets.cpp)
