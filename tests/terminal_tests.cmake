# The terminal layer under signals, stops, hang-ups and every terminal's keys, on a pseudo-terminal.
add_executable(terminal_test terminal_test.cpp pty_session.cpp)
target_link_libraries(terminal_test PRIVATE GTest::gtest_main util)
target_compile_definitions(terminal_test PRIVATE SMINATORE_BINARY="$<TARGET_FILE:sminatore>")
add_dependencies(terminal_test sminatore)
gtest_discover_tests(terminal_test PROPERTIES TIMEOUT 120)
