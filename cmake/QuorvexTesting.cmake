# GoogleTest built from Debian's source package (googletest) in each build tree,
# so the same framework serves the native, win64 and win32 builds.
set(QUORVEX_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${QUORVEX_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found at ${QUORVEX_GTEST_SOURCE}: apt-get install googletest")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${QUORVEX_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/third_party/googletest EXCLUDE_FROM_ALL)
if(QUORVEX_SANITIZE)
  # Mixing instrumented and plain std:: containers across the gtest boundary
  # confuses the container-overflow check; instrument gtest too.
  foreach(t gtest gtest_main)
    target_compile_options(${t} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer)
  endforeach()
endif()

include(GoogleTest)

# quorvex_add_tests(<name> SOURCES ... LIBS ...)
# One executable; CTest shows one test per test case, named <name>.<Suite>.<Case>
# so a failure names what broke. Under a cross build the cases are discovered at
# test time through the emulator (Wine).
function(quorvex_add_tests name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} quorvex_test_support gtest gtest_main quorvex_options)
  gtest_discover_tests(${name}
    TEST_PREFIX "${name}."
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT 300)
endfunction()
