# The table formats: CSV files, an SQLite database and SPSS and Stata data
# files (through ReadStat) cut from the raw data of the tagged variables.
# They sit beside the export on the catalogue layer; the outputs area runs
# them from its format table.
find_package(SQLite3 REQUIRED)
# The DDI Codebook output writes its XML with libxml2.
find_package(LibXml2 REQUIRED)
qavn_area(formats DEPENDS catalogue writers export EXTERNAL SQLite::SQLite3 qavn::readstat LibXml2::LibXml2)
target_link_libraries(qavn_outputs PUBLIC qavn::formats)
