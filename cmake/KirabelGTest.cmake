# GoogleTest for the tests, and kirabel_add_gtest(), which registers a test
# program with CTest.

if(CMAKE_CROSSCOMPILING)
    # The Linux libraries cannot link into Windows programs: build GoogleTest
    # from the sources libgtest-dev ships, with the same toolchain.
    set(KIRABEL_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
    set(BUILD_GMOCK OFF)
    set(INSTALL_GTEST OFF)
    # Our warning flags are for our code; SYSTEM keeps its headers quiet in ours.
    get_directory_property(kirabel_options COMPILE_OPTIONS)
    set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
    add_subdirectory(${KIRABEL_GTEST_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR}/googletest
                     EXCLUDE_FROM_ALL SYSTEM)
    set_directory_properties(PROPERTIES COMPILE_OPTIONS "${kirabel_options}")
else()
    find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# kirabel_add_gtest(target [NO_PRETTY_VALUES] [PROPERTIES name value ...])
# Natively, one CTest test per test case. Through an emulator (Wine), each
# start costs far more than a case, so one CTest test runs the whole program.
function(kirabel_add_gtest target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "NO_PRETTY_VALUES" "" "PROPERTIES")
    if(CMAKE_CROSSCOMPILING_EMULATOR)
        add_test(NAME ${target} COMMAND ${target})
        if(arg_PROPERTIES)
            set_tests_properties(${target} PROPERTIES ${arg_PROPERTIES})
        endif()
    else()
        set(extra)
        if(arg_NO_PRETTY_VALUES)
            list(APPEND extra NO_PRETTY_VALUES)
        endif()
        if(arg_PROPERTIES)
            list(APPEND extra PROPERTIES ${arg_PROPERTIES})
        endif()
        gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST ${extra})
    endif()
endfunction()
