# zstd, the second codec of "Section:Setup.bin"'s contents. Two targets:
#   q_zstd_decoder  what the setup links: decompression only
#   q_zstd_encoder  what the packer links besides: compression (multi-threaded)
# Natively both are Debian's libzstd (libzstd-dev). For Windows there is no
# Debian binary package: both are built here, with this toolchain and
# statically, from Debian's source package of the installed version, which
# scripts/install-deps fetches (Q_ZSTD_SOURCE, default build/third_party/zstd).
if(NOT WIN32)
  find_path(Q_ZSTD_INCLUDE zstd.h REQUIRED)
  find_library(Q_ZSTD_LIBRARY zstd REQUIRED)
  add_library(q_zstd_decoder INTERFACE)
  target_include_directories(q_zstd_decoder SYSTEM INTERFACE ${Q_ZSTD_INCLUDE})
  target_link_libraries(q_zstd_decoder INTERFACE ${Q_ZSTD_LIBRARY})
  add_library(q_zstd_encoder INTERFACE)
  target_link_libraries(q_zstd_encoder INTERFACE q_zstd_decoder)
  return()
endif()

set(_default_source "$ENV{Q_ZSTD_SOURCE}")
if(NOT _default_source)
  get_filename_component(_default_source ${CMAKE_CURRENT_LIST_DIR}/../build/third_party/zstd ABSOLUTE)
endif()
set(Q_ZSTD_SOURCE "${_default_source}" CACHE PATH "Debian's zstd source package, unpacked (scripts/install-deps)")
if(NOT EXISTS ${Q_ZSTD_SOURCE}/lib/zstd.h)
  message(FATAL_ERROR "zstd source not found in ${Q_ZSTD_SOURCE}: run scripts/install-deps")
endif()

set(_lib ${Q_ZSTD_SOURCE}/lib)
file(GLOB _common ${_lib}/common/*.c)
file(GLOB _decompress ${_lib}/decompress/*.c)
file(GLOB _compress ${_lib}/compress/*.c)
# The thread pool serves compression only, built with its threads.
set(_threads ${_lib}/common/pool.c ${_lib}/common/threading.c)
list(REMOVE_ITEM _common ${_threads})
# No assembly (its Windows calling convention is not the one it is written
# for), no legacy formats, no tracing hooks; the library's own code is not
# this project's to warn about.
set(_zstd_options -w -O2)
set(_zstd_definitions ZSTD_DISABLE_ASM ZSTD_LEGACY_SUPPORT=0 ZSTD_TRACE=0 XXH_NAMESPACE=ZSTD_)

add_library(q_zstd_decoder STATIC ${_common} ${_decompress})
target_compile_options(q_zstd_decoder PRIVATE ${_zstd_options})
target_compile_definitions(q_zstd_decoder PRIVATE ${_zstd_definitions})
target_include_directories(q_zstd_decoder SYSTEM PUBLIC ${_lib})
# The source's own folder is no build path to keep out of the programs.
target_compile_options(q_zstd_decoder PRIVATE -ffile-prefix-map=${Q_ZSTD_SOURCE}/=zstd/)

add_library(q_zstd_encoder STATIC ${_compress} ${_threads})
target_compile_options(q_zstd_encoder PRIVATE ${_zstd_options} -ffile-prefix-map=${Q_ZSTD_SOURCE}/=zstd/)
target_compile_definitions(q_zstd_encoder PRIVATE ${_zstd_definitions} ZSTD_MULTITHREAD)
target_link_libraries(q_zstd_encoder PUBLIC q_zstd_decoder)
