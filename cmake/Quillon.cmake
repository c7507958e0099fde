# q_add_test(NAME <name> SOURCES <files...> [LIBS <libs...>] [LABELS <labels...>])
# One test program per call. Natively it runs directly (with the sanitizers of
# the host build); in the Windows build ctest starts it through Wine (the
# toolchain's emulator) and the runner serialises it, since all Windows tests
# share one private prefix and its registry.
function(q_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gtest gtest_main)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  if(WIN32)
    add_test(NAME win32.${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(win32.${T_NAME} PROPERTIES RUN_SERIAL TRUE LABELS "win32;${T_LABELS}" TIMEOUT 600)
  else()
    add_test(NAME host.${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(host.${T_NAME} PROPERTIES LABELS "host;${T_LABELS}" TIMEOUT 600)
  endif()
endfunction()

# The source tree's top, also where a project of its own (tests/fuzz) builds
# the product's libraries.
get_filename_component(Q_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

# q_add_library(<name> <folder> <deps...>): a static library of every .cpp in
# <folder> (an interface library while the folder has none yet).
function(q_add_library name folder)
  file(GLOB _sources CONFIGURE_DEPENDS ${folder}/*.cpp)
  if(_sources)
    add_library(${name} STATIC ${_sources})
    target_include_directories(${name} PUBLIC ${Q_ROOT})
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${Q_ROOT})
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# Reproducible builds: the same sources give the same bytes wherever they are
# built. No source or build folder in the binaries (__FILE__, debug data),
# and for Windows no link time in the program image's header.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
                    -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
endif()
