quenda_add_test(test_sheets sheet_reader_test.cpp sheet_hostile_test.cpp sheet_numfmt_test.cpp
  sheet_corpora_test.cpp reader_test_support.h)
target_link_libraries(test_sheets PRIVATE PkgConfig::LIBZIP)
target_compile_definitions(test_sheets PRIVATE QUENDA_CORPORA_DIR="${QUENDA_CORPORA_DIR}")
