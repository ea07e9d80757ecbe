quenda_add_test(test_rtf rtf_reader_test.cpp rtf_writer_test.cpp)
