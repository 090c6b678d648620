# The import area: reads survey data sets (ReadStat for SPSS, Stata and SAS
# files, a CSV reader of its own, DDI codebooks with libxml2 and zlib) and writes whole projects from them. It
# sits beside the features, on the codebook layer.
find_package(LibXml2 REQUIRED)
find_package(ZLIB REQUIRED)
qavn_area(import DEPENDS codebook EXTERNAL qavn::readstat LibXml2::LibXml2 ZLIB::ZLIB)
target_link_libraries(qavn_core INTERFACE qavn::import)
