# The table formats: CSV files and an SQLite database cut from the raw data of
# the tagged variables. They sit beside the export on the catalogue layer;
# the outputs area runs them from its format table.
find_package(SQLite3 REQUIRED)
qavn_area(formats DEPENDS catalogue writers export EXTERNAL SQLite::SQLite3)
target_link_libraries(qavn_outputs PUBLIC qavn::formats)
