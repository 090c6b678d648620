# The table formats: CSV files, an SQLite database, SPSS and Stata data
# files (through ReadStat), DDI Codebook and Parquet files (pages compressed
# with zstd) cut from the raw data of the tagged variables, and the driver
# that runs them. They sit above the writers and the export; the outputs area
# runs them from its format table.
find_package(SQLite3 REQUIRED)
# The DDI Codebook output writes its XML with libxml2.
find_package(LibXml2 REQUIRED)
# Parquet pages are compressed with zstd (Debian: libzstd-dev).
include(${PROJECT_SOURCE_DIR}/cmake/QavnZstd.cmake)
qavn_area(formats DEPENDS catalogue writers export
          EXTERNAL SQLite::SQLite3 qavn::readstat LibXml2::LibXml2 qavn::zstd)
