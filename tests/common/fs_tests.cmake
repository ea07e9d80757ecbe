quenda_add_test(test_common_fs drives_test.cpp shortcuts_test.cpp ../fs/fs_fixture.cpp)
